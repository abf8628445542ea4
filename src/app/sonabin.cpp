// Program entry: log lines first, then the application, the log window, the main window and the event loop.
// SIGTERM, SIGINT and SIGHUP end the event loop the normal way, so the main window's shutdown runs and the
// settings are saved.
//
// Command line: `sonabin [FOLDER | FILE...]` opens that folder (playing that file) instead of the remembered
// one; when the program already runs, the running instance opens it and comes up, and this start ends.
// `sonabin --like 1|2` asks the running instance to like the playing track.
#include "audioStartupReport.h"
#include "desktopBus.h"
#include "diagnosticLog.h"
#include "formMainRemote.h"
#include "form_log.h"
#include "fsPath.h"
#include "main.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QSocketNotifier>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <cstring>
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
        TFormMain::setSessionEnding();
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

int usage() {
    std::fprintf(stderr, "usage: sonabin [FOLDER | FILE...]\n       sonabin --like 1|2\n");
    return 2;
}

// `sonabin --like N`: a message to the running instance, without a window of its own.
int likeInRunningInstance(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3 || (std::strcmp(argv[2], "1") != 0 && std::strcmp(argv[2], "2") != 0))
        return usage();
    QString error;
    if (!TDesktopBus::sendLike(QDBusConnection::sessionBus(), argv[2][0] - '0', &error)) {
        std::fprintf(stderr, "sonabin: the running Sonabin did not take the Like: %s\n",
                     error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

// The folder or file named on the command line, absolute; the bytes of the name are kept.
QString commandLinePath(const char* argument) {
    QByteArray bytes(argument);
    if (bytes.startsWith("file://")) // some launchers hand over addresses
        bytes = QByteArray::fromPercentEncoding(QUrl::fromEncoded(bytes).path(QUrl::FullyEncoded).toLatin1());
    if (!bytes.startsWith('/')) {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd))
            bytes = QByteArray(cwd) + '/' + bytes;
    }
    return QDir::cleanPath(pathFromBytes(bytes));
}

} // namespace

int main(int argc, char* argv[]) {
    g_previousHandler = qInstallMessageHandler(messageHandler);
    if (argc >= 2 && std::strcmp(argv[1], "--like") == 0)
        return likeInRunningInstance(argc, argv);
    QApplication app(argc, argv); // takes Qt's own options out of argv
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-')
            return usage();
    }
    // "Open with" on several tracks hands over all of them: the first decides, as with a drop.
    const QString path = argc >= 2 ? commandLinePath(argv[1]) : QString();

    installSignalHandlers(app);
    installAudioStartupReport();
    createLogWindow();
    int rc = 0;
    {
        TDesktopBus desktop(QDBusConnection::sessionBus());
        if (desktop.claim() == TDesktopBus::Claim::Taken) {
            // One instance: the running one opens the path (or just comes up) and this start ends.
            QString error;
            const bool done = path.isEmpty()
                                  ? TDesktopBus::sendRaise(QDBusConnection::sessionBus(), &error)
                                  : TDesktopBus::sendOpen(QDBusConnection::sessionBus(), path, &error);
            if (!done)
                std::fprintf(stderr, "sonabin: the running Sonabin did not open %s: %s\n",
                             displayPath(path).toLocal8Bit().constData(), error.toLocal8Bit().constData());
            rc = done ? 0 : 1;
        } else {
            TFormMain::setStartPath(path);
            auto* window = new TFormMain();
            TFormMainRemote remote(*window);
            desktop.setPlayer(&remote);
            // A signal during start-up (while an error box was open, say) ends the program right here.
            if (!TFormMain::isSessionEnding()) {
                window->show();
                rc = QApplication::exec();
            }
            desktop.setPlayer(nullptr);
            delete window;
        }
    }
    freeLogWindow();
    return rc;
}
