// The real program on a private session bus started by the test, driven the way a desktop drives it:
// playerctl (media keys, panel applets), a second start with a folder or file, `sonabin --like`, and
// MPRIS Quit. Without a session bus the program runs alone.
#include "dbusTestBus.h"
#include "dorTools.h"
#include "sbtest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <functional>
#include <memory>

namespace {

const QString program = QStringLiteral(SONABIN_BIN_DIR "/sonabin");

bool waitUntil(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(50);
    }
    return true;
}

QString fileUrl(const QString& path) {
    return QStringLiteral("file://") + path;
}

} // namespace

class TestDesktopE2E : public QObject {
    Q_OBJECT

    sbtest::DBusTestBus busDaemon;
    QString busAddress;
    std::unique_ptr<QProcess> app;
    QString appLog;
    QString music;  // the folder the program starts with
    QString others; // the folder a second start opens

    QProcessEnvironment environment(bool withBus) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("sonabin.log.debug=true"));
        if (withBus)
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        else
            env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        return env;
    }

    // Runs a short command on the private bus; returns its output, trimmed, and its exit code.
    QString run(const QString& command, const QStringList& args, int* exitCode = nullptr) const {
        QProcess p;
        p.setProcessEnvironment(environment(true));
        p.start(command, args);
        if (!p.waitForFinished(15000)) {
            p.kill();
            p.waitForFinished();
            if (exitCode)
                *exitCode = -3;
            return {};
        }
        if (exitCode)
            *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    QString playerctl(const QStringList& args) const {
        return run(QStringLiteral("playerctl"),
                   QStringList{QStringLiteral("-p"), QStringLiteral("sonabin")} + args);
    }
    double position() const { return playerctl({QStringLiteral("position")}).toDouble(); }

    void readAppLog() {
        if (app)
            appLog += QString::fromLocal8Bit(app->readAllStandardError());
    }

private slots:
    void initTestCase() {
        QVERIFY2(busDaemon.start(), "dbus-daemon (package dbus) is needed");
        busAddress = busDaemon.address();
        QVERIFY2(busAddress.startsWith(QStringLiteral("unix:")), qPrintable(busAddress));

        // Tones long enough not to end during the test.
        sbtest::ToneSpec tone;
        tone.seconds = 20;
        tone.channels = 1;
        tone.bitrate = 32;
        music = sbtest::makeTempDir(QStringLiteral("music"));
        others = sbtest::makeTempDir(QStringLiteral("others"));
        for (const QString& name :
             {QStringLiteral("one.mp3"), QStringLiteral("two.mp3"), QStringLiteral("three.mp3")})
            QVERIFY(sbtest::writeToneMp3(music + '/' + name, tone));
        QVERIFY(sbtest::writeToneMp3(others + QStringLiteral("/elsewhere.mp3"), tone));
        QVERIFY(sbtest::writeToneMp3(others + QStringLiteral("/wanted.mp3"), tone));
    }

    void cleanupTestCase() {
        if (app && app->state() != QProcess::NotRunning) {
            app->kill();
            app->waitForFinished();
        }
    }

    void playerctlControlsTheProgram() {
        app = std::make_unique<QProcess>();
        app->setProcessEnvironment(environment(true));
        app->start(program, {music});
        QVERIFY(app->waitForStarted(10000));

        QVERIFY2(waitUntil([&] { return run("playerctl", {"-l"}).split('\n').contains("sonabin"); }),
                 "the player is not listed");
        QVERIFY(waitUntil([&] { return playerctl({"status"}) == "Playing"; }));

        // The metadata names the playing file, from the folder given on the command line.
        const QString first = playerctl({"metadata", "xesam:url"});
        QVERIFY2(first.startsWith(fileUrl(music + '/')) && first.endsWith(".mp3"), qPrintable(first));
        const QString title = playerctl({"metadata", "xesam:title"});
        QCOMPARE(fileUrl(music + '/' + title + ".mp3"), first); // untagged: the file name without extension
        const qint64 length = playerctl({"metadata", "mpris:length"}).toLongLong(); // microseconds
        QVERIFY2(std::abs(length - 20'000'000LL) < 100'000, qPrintable(QString::number(length)));

        playerctl({"next"});
        QVERIFY(waitUntil([&] { return playerctl({"metadata", "xesam:url"}) != first; }));
        QVERIFY(playerctl({"metadata", "xesam:url"}).startsWith(fileUrl(music + '/')));
        QCOMPARE(playerctl({"status"}), QStringLiteral("Playing"));

        playerctl({"pause"});
        QVERIFY(waitUntil([&] { return playerctl({"status"}) == "Paused"; }));
        const double paused = position();
        QTest::qWait(800);
        QCOMPARE(position(), paused);

        playerctl({"play"});
        QVERIFY(waitUntil([&] { return playerctl({"status"}) == "Playing"; }));
        QVERIFY(waitUntil([&] { return position() > paused + 0.3; }));
    }

    // The sorting from a global shortcut: `sonabin --like 1` copies the playing track into collection 1.
    void likeFromTheCommandLine() {
        QVERIFY(app && app->state() == QProcess::Running);
        const QString playing = playerctl({"metadata", "xesam:url"});
        const QString name = playing.mid(playing.lastIndexOf('/') + 1);
        int rc = -2;
        run(program, {"--like", "1"}, &rc);
        QCOMPARE(rc, 0);
        const QString copy = QDir::homePath() + QStringLiteral("/Sonabin/Favorites/") + name;
        QVERIFY2(waitUntil([&] { return QFileInfo::exists(copy); }), qPrintable(copy));
        run(program, {"--like", "3"}, &rc);
        QCOMPARE(rc, 2); // no such button: told at once, nothing sent
    }

    // One instance: a second start hands its file to the running program, which plays it, and ends.
    void secondStartOpensInTheRunningInstance() {
        QVERIFY(app && app->state() == QProcess::Running);
        int rc = -2;
        run(program, {others + "/wanted.mp3"}, &rc);
        QCOMPARE(rc, 0);
        QVERIFY(waitUntil([&] {
            return playerctl({"metadata", "xesam:url"}) == fileUrl(others + "/wanted.mp3");
        }));
        QCOMPARE(playerctl({"status"}), QStringLiteral("Playing"));
        QCOMPARE(app->state(), QProcess::Running);

        run(program, {others + "/no-such-track.mp3"}, &rc);
        QCOMPARE(rc, 1); // refused, and said so
        QCOMPARE(playerctl({"metadata", "xesam:url"}), fileUrl(others + "/wanted.mp3"));
    }

    // Quit over the bus is the normal end: the settings are saved with the folder opened last.
    void quitSavesTheSettings() {
        QVERIFY(app && app->state() == QProcess::Running);
        int rc = -2;
        run(QStringLiteral("dbus-send"),
            {"--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.sonabin", "/org/mpris/MediaPlayer2",
             "org.mpris.MediaPlayer2.Quit"},
            &rc);
        QCOMPARE(rc, 0);
        QVERIFY(app->waitForFinished(15000));
        readAppLog();
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 0);
        QFile ini(getAppDataFolder(QStringLiteral("Sonabin Free"), false) + "sonabin.ini");
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QString settings = QString::fromUtf8(ini.readAll());
        QVERIFY2(settings.contains("folder_curr=" + others + "/"), qPrintable(settings + appLog));
    }

    // No session bus (a bare console): one log line, and the program runs as ever; a file named on the
    // command line replaces the remembered folder and is the track that starts.
    void withoutSessionBusRunsAlone() {
        QProcess p;
        p.setProcessEnvironment(environment(false));
        p.start(program, {music + "/three.mp3"});
        QVERIFY(p.waitForStarted(10000));
        QString log;
        QVERIFY(waitUntil(
            [&] {
                log += QString::fromLocal8Bit(p.readAllStandardError());
                return log.contains("> Play track");
            },
            20000));
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(15000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(log.count("> No session bus"), 1);
        QVERIFY2(log.contains("\nScanFolder: " + music + "/\n"),
                 qPrintable(log)); // not the remembered `others`
        QVERIFY2(log.contains("\nplayTrack (start): " + music + "/three.mp3\n"), qPrintable(log));
    }
};

QTEST_GUILESS_MAIN(TestDesktopE2E)
#include "tst_desktop_e2e.moc"
