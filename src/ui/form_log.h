#pragma once
// The log window: one program-wide window showing the diagnostic log's lines (src/core/diagnosticLog.h).
#include <QWidget>

class QPlainTextEdit;

class TFormLog : public QWidget {
    Q_OBJECT
public:
    TFormLog();
    ~TFormLog() override;
    QPlainTextEdit* MemoLog = nullptr;
};

// Created right after QApplication, hidden, without owner; freed after the main window.
void createLogWindow();
void freeLogWindow();
TFormLog* logWindow();
// Shows the log window as an ordinary window (not modal); showing it again only raises it.
void showLogWindow();
