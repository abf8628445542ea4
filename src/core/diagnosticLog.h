#pragma once
// The diagnostic log's lines. They live in memory from before the application object until the program ends;
// the log window (src/ui/form_log) shows them. Every line also goes to the logging category
// "sonabin.log" (debug level, off by default).
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <functional>

Q_DECLARE_LOGGING_CATEGORY(sonabinLog)

// Appends one line, exactly as given. User-interface thread only.
void addLog(const QString& text);
// addLog(name + ": " + value).
void addLogValue(const QString& name, const QString& value);

// Every line written so far, oldest first.
const QStringList& logLines();
// Receives each new line after it is stored; the log window sets it. Pass {} to detach.
void setLogSink(std::function<void(const QString&)> sink);
