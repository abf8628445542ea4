#include "diagnosticLog.h"

Q_LOGGING_CATEGORY(sonabinLog, "sonabin.log", QtWarningMsg)

namespace {
QStringList& lines() {
    static QStringList all;
    return all;
}
std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> s;
    return s;
}
} // namespace

void addLog(const QString& text) {
    lines().append(text);
    qCDebug(sonabinLog).noquote() << text;
    if (sink())
        sink()(text);
}

void addLogValue(const QString& name, const QString& value) {
    addLog(name + QStringLiteral(": ") + value);
}

const QStringList& logLines() {
    return lines();
}

void setLogSink(std::function<void(const QString&)> s) {
    sink() = std::move(s);
}
