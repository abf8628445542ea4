#include "form_log.h"

#include "diagnosticLog.h"
#include "sbWidgets.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
TFormLog* g_logWindow = nullptr;
}

TFormLog::TFormLog() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("FormLog"));
    setWindowTitle(QStringLiteral("Log"));
    resize(640, 480);
    MemoLog = new QPlainTextEdit(this);
    MemoLog->setObjectName(QStringLiteral("MemoLog"));
    // The family is the log's own; its size (in pixels) and colours come from the program's style sheet,
    // as in every other window.
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    MemoLog->setFont(mono);
    setStyleSheet(sonabinStyleSheet());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(MemoLog);
    // Lines written before the window existed (the log starts before QApplication).
    MemoLog->setPlainText(logLines().join(QLatin1Char('\n')));
    setLogSink([this](const QString& line) { MemoLog->appendPlainText(line); });
}

TFormLog::~TFormLog() {
    setLogSink({});
}

void createLogWindow() {
    if (!g_logWindow)
        g_logWindow = new TFormLog();
}

void freeLogWindow() {
    delete g_logWindow;
    g_logWindow = nullptr;
}

TFormLog* logWindow() {
    return g_logWindow;
}

void showLogWindow() {
    createLogWindow();
    g_logWindow->show();
    g_logWindow->raise();
}
