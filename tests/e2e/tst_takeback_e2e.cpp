// Starts the real program in a real window (an X server with a window manager, driven by xdotool like a
// user's keyboard): F1 copies the playing track into the first collection, Ctrl+Z takes that Like back and
// the copy is gone; the next start goes on at the track that played last.
#include "dorTools.h"
#include "sbtest.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <functional>

namespace {

// Exit codes of the run inside X, apart from those of xvfb-run itself (1 when no X server could start).
constexpr int runFailed = 43;
constexpr int runNoWindow = 44; // the window manager never gave the program's window the focus

// xdotool with its arguments; its output.
QString xdotool(const QStringList& args, bool* ok = nullptr) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    const bool done = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = done;
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// Runs the program and keeps what it logs.
class Program {
public:
    explicit Program() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("sonabin.log.debug=true"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SONABIN_BIN_DIR "/sonabin"), {});
    }
    ~Program() {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
    }
    bool waitFor(const std::function<bool()>& done, int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms) {
            p.waitForReadyRead(50);
            log += QString::fromLocal8Bit(p.readAllStandardError());
        }
        return done();
    }
    // The file name of the next track that starts after what was read so far ("" when none does).
    QString nextStart(int ms = 20000) {
        const QString mark = QStringLiteral("playTrack (start): ");
        qsizetype at = -1;
        waitFor([&] { return (at = log.indexOf(mark, readTo)) >= 0 && log.indexOf('\n', at) >= 0; }, ms);
        if (at < 0 || log.indexOf('\n', at) < 0)
            return {};
        const qsizetype end = log.indexOf('\n', at);
        readTo = end;
        return QFileInfo(log.mid(at + mark.size(), end - at - mark.size())).fileName();
    }
    // Ends the program as a session manager would; true when it ended normally.
    bool end() {
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        const bool ended = p.waitForFinished(20000);
        log += QString::fromLocal8Bit(p.readAllStandardError());
        return ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    QProcess p;
    QString log;
    qsizetype readTo = 0;
};

// Finds the program's main window and gives it the focus, as a click on it would; false when it cannot.
bool activate(const Program& program) {
    bool ok = false;
    const QString id =
        xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--all"), QStringLiteral("--pid"), QString::number(program.p.processId()),
                 QStringLiteral("--name"), QStringLiteral("Sonabin Free")},
                &ok)
            .section('\n', 0, 0);
    if (!ok || id.isEmpty())
        return false;
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id}, &ok);
    return ok && xdotool({QStringLiteral("getactivewindow")}) == id;
}

#define CHECK(cond, what)                                                                                    \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "e2e: %s\n%s\n", what, qPrintable(program.log));                            \
            return runFailed;                                                                                \
        }                                                                                                    \
    } while (0)

// Runs inside the X server: 0 when every step did what a user expects.
int runInX(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString music = sbtest::makeTempDir(QStringLiteral("music")) + QLatin1Char('/');
    const QString base = sbtest::makeTempDir(QStringLiteral("collections")) + QLatin1Char('/');
    for (int i = 1; i <= 3; ++i) {
        sbtest::ToneSpec spec;
        spec.seconds = 30;
        spec.frequency = 220.0 * i;
        if (!sbtest::writeToneMp3(music + QStringLiteral("track %1.mp3").arg(i), spec))
            return runFailed;
    }
    const QString ini =
        getAppDataFolder(QStringLiteral("Sonabin Free"), true) + QStringLiteral("sonabin.ini");
    if (!sbtest::writeFile(ini, "[common]\r\ncounter=1\r\nfolder_curr=" + music.toUtf8() +
                                    "\r\nfolder_lib=" + base.toUtf8() + "\r\n"))
        return runFailed;

    QString second; // the track after the first one in the list
    {
        Program program;
        const QString first = program.nextStart();
        CHECK(!first.isEmpty(), "no track started");
        if (!activate(program))
            return runNoWindow;

        const QString copy = base + QStringLiteral("Favorites/") + first;
        xdotool({QStringLiteral("key"), QStringLiteral("F1")});
        CHECK(program.waitFor([&] { return QFileInfo(copy).isFile(); }), "F1 made no copy");
        second = program.nextStart();
        CHECK(!second.isEmpty() && second != first, "the Like did not move on");

        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+z")});
        CHECK(program.waitFor([&] { return !QFileInfo::exists(copy); }), "Ctrl+Z left the copy");
        CHECK(program.nextStart() == first, "the track taken back did not play again");
        CHECK(program.log.contains(QStringLiteral("actUndoLike: ") + copy), "no take-back in the log");
        CHECK(QFileInfo(music + first).isFile(), "the track itself was touched");

        // The track it plays now is where the next start goes on.
        xdotool({QStringLiteral("key"), QStringLiteral("F8")});
        CHECK(program.nextStart() == second, "F8 did not move on");
        CHECK(program.end(), "the program did not end normally");
    }
    {
        Program program;
        CHECK(program.nextStart() == second, "the second start did not go on at the track that played last");
        CHECK(program.nextStart(1000).isEmpty(), "another track started after the remembered one");

        // Two Likes, then Ctrl+Z held down for two seconds while the server repeats it: one is taken back.
        if (!activate(program))
            return runNoWindow;
        xdotool({QStringLiteral("key"), QStringLiteral("F1")});
        const QString third = program.nextStart();
        CHECK(!third.isEmpty() && QFileInfo(base + QStringLiteral("Favorites/") + second).isFile(),
              "the first Like after the restart failed");
        xdotool({QStringLiteral("key"), QStringLiteral("F1")});
        CHECK(
            program.waitFor([&] { return QFileInfo(base + QStringLiteral("Favorites/") + third).isFile(); }),
            "the second Like after the restart failed");
        xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+z")});
        program.waitFor([] { return false; }, 2000);
        xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+z")});
        CHECK(
            program.waitFor([&] { return !QFileInfo::exists(base + QStringLiteral("Favorites/") + third); }),
            "the held Ctrl+Z took nothing back");
        program.waitFor([] { return false; }, 500);
        CHECK(QFileInfo(base + QStringLiteral("Favorites/") + second).isFile(),
              "the held Ctrl+Z took back more than one Like");
        CHECK(program.end(), "the program did not end normally after the second start");
    }
    return 0;
}

} // namespace

class TestTakeBackE2E : public QObject {
    Q_OBJECT
private slots:
    void likeThenTakeBackInARealWindow() {
        for (const char* tool : {"xvfb-run", "Xvfb", "openbox", "xdotool", "xauth"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));
        const QString script = QStringLiteral("openbox --sm-disable >/dev/null 2>&1 & wm=$!; sleep 1; "
                                              "\"$0\" --in-x; rc=$?; kill $wm; exit $rc");
        int rc = -1;
        // Two X servers started at once may race for a display number: try again before giving up.
        for (int attempt = 0; attempt < 3; ++attempt) {
            QProcess run;
            run.setProcessChannelMode(QProcess::ForwardedChannels);
            run.start(QStringLiteral("xvfb-run"),
                      {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x800x24"),
                       QStringLiteral("sh"), QStringLiteral("-c"), script,
                       QCoreApplication::applicationFilePath()});
            QVERIFY(run.waitForFinished(180000));
            rc = run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
            if (rc == 0 || rc == runFailed || rc == runNoWindow)
                break;
        }
        if (rc == runNoWindow)
            QSKIP("the window manager gave the program's window no focus");
        if (rc != 0 && rc != runFailed)
            QSKIP("no X server could be started");
        QCOMPARE(rc, 0);
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--in-x") == 0)
        return runInX(1, argv);
    QCoreApplication app(argc, argv);
    TestTakeBackE2E test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_takeback_e2e.moc"
