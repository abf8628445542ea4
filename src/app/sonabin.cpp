// Program entry: log lines first, then the application, the log window, the main window and the event loop.
// SIGTERM, SIGINT and SIGHUP end the event loop the normal way, so the main window's shutdown runs and the
// settings are saved.
#include "dorLog.h"
#include "form_log.h"
#include "main.h"

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here: the event loop reads the byte and quits.
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void installSignalHandlers(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
        // The session may be ending with nobody to answer a message box: an error from here on (the
        // settings cannot be saved, say) goes to stderr and the program still ends.
        TFormMain::sessionEnding = true;
        // exit() rather than quit(): quit() does nothing before the main loop runs (a start-up error box)
        // and may be refused by a window; exit() ends every loop running now, a message box's included.
        // main() then skips the main loop when the signal came during start-up.
        QCoreApplication::exit(0);
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}

// The log category prints its lines bare, exactly as the log window shows them.
QtMessageHandler g_previousHandler = nullptr;
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && qstrcmp(context.category, "sonabin.log") == 0) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        std::fflush(stderr);
        return;
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

int main(int argc, char* argv[]) {
    g_previousHandler = qInstallMessageHandler(messageHandler);
    QApplication app(argc, argv);
    installSignalHandlers(app);
    createLogWindow();
    int rc = 0;
    {
        auto* window = new TFormMain();
        // A signal during start-up (while an error box was open, say) ends the program right here.
        if (!TFormMain::sessionEnding) {
            window->show();
            rc = QApplication::exec();
        }
        delete window;
    }
    freeLogWindow();
    return rc;
}
