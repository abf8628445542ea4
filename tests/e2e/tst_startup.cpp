// Starts the real program headless and ends it with a signal, as a session manager would.
#include "dorTools.h"
#include "fifoWatch.h"
#include "inOrder.h"
#include "sbtest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QPair>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <functional>

class TestStartup : public QObject {
    Q_OBJECT

    static QString iniPath() {
        return getAppDataFolder(QStringLiteral("Sonabin Free"), false) + "sonabin.ini";
    }

    // Runs the program until its log shows `until`, runs `before`, then sends `sig`; returns what it printed.
    // The exit code is -1 after a crash and -3 when the program did not end.
    static QString runUntil(const QString& until, int sig, int* exitCode,
                            const std::function<void()>& before = {},
                            const QList<QPair<QString, QString>>& extraEnv = {},
                            const QString& program = QStringLiteral(SONABIN_BIN_DIR "/sonabin"),
                            const QStringList& args = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_LOGGING_RULES", "sonabin.log.debug=true");
        for (const auto& [name, value] : extraEnv)
            env.insert(name, value);
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(program, args);
        if (!p.waitForStarted(10000))
            return {};
        QString err;
        QElapsedTimer t;
        t.start();
        while (!err.contains(until) && t.elapsed() < 20000) {
            p.waitForReadyRead(100);
            err += QString::fromLocal8Bit(p.readAllStandardError());
        }
        if (before)
            before();
        ::kill(static_cast<pid_t>(p.processId()), sig);
        const bool ended = p.waitForFinished(20000);
        err += QString::fromLocal8Bit(p.readAllStandardError());
        *exitCode = !ended ? -3 : p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return err;
    }

private slots:
    void signalEndsNormallyAndSaves_data() {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalEndsNormallyAndSaves() {
        QFETCH(int, sig);
        QFile::remove(iniPath());
        int rc = -2;
        const QString log = runUntil("initStartFolderPlay", sig, &rc);
        QCOMPARE(rc, 0);
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString ini = QString::fromUtf8(f.readAll());
        QVERIFY2(ini.startsWith("[common]\r\ncounter=1\r\nfolder_curr="), qPrintable(ini));
        QVERIFY2(ini.contains("\r\n[FormMain]\r\nleft=") && ini.contains("\r\n[pnlPlayer]\r\nwidth="),
                 qPrintable(ini));
        QVERIFY2(log.contains("\noptionsSave: currentFolder: "), qPrintable(log));
    }

    // Ended by the session while the settings cannot be saved: the error goes to stderr and the program
    // still ends, instead of waiting on a message box that nobody may see.
    void signalEndsEvenWhenTheSettingsCannotBeSaved() {
        const QString folder = QFileInfo(iniPath()).absolutePath();
        int rc = -2;
        const QString log = runUntil("initStartFolderPlay", SIGTERM, &rc, [&] {
            QDir(folder).removeRecursively();
            QFile blocker(folder); // a file where the settings folder was
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        });
        QFile::remove(folder);
        QDir().mkpath(folder);
        QCOMPARE(rc, 0);
        QVERIFY2(log.contains("\n> Error: ") && log.contains("\nsonabin: "), qPrintable(log));
    }

    // A session's signal while a start-up error box is open (here: the settings file is a folder) closes
    // the box and ends the program the normal way; the error was said once, naming the real path.
    void signalDuringStartupErrorBox_data() { signalEndsNormallyAndSaves_data(); }
    void signalDuringStartupErrorBox() {
        QFETCH(int, sig);
        QFile::remove(iniPath());
        QVERIFY(QDir().mkpath(iniPath()));
        int rc = -2;
        const QString log = runUntil("\n> Error: ", sig, &rc);
        QDir(iniPath()).removeRecursively();
        QCOMPARE(rc, 0);
        QVERIFY2(log.contains("\n> Error: Cannot read settings file \"" + iniPath() + "\""), qPrintable(log));
        QCOMPARE(log.count("> Error: "), 1);
        QVERIFY2(log.contains("\noptionsSave: currentFolder: "), qPrintable(log)); // the normal shutdown ran
    }

    // An audio start that fails is a failed start: its box, then a non-zero exit code (here the box is
    // ended by the session, as nobody is there to answer it).
    void failedAudioStartExitsNonZero() {
        int rc = -2;
        const QString log = runUntil("\n> Audio: ", SIGTERM, &rc, {},
                                     {{QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("no-such-driver")}});
        QVERIFY2(log.contains("\n> Audio: "), qPrintable(log));
        QCOMPARE(rc, 1);
    }

    // A pipe named like a track in the start folder is a file that does not open: never opened (which would
    // freeze the window for good) and passed over like one, and a signal still ends the program. The tracks
    // play one after another whatever their order, so the pipe's turn comes within seconds.
    void pipeNamedLikeTrackIsPassedOver() {
        const QString music = QDir::homePath() + QStringLiteral("/piped/");
        QVERIFY(QDir().mkpath(music));
        sbtest::FifoWatch fifo(music + "x.mp3");
        QVERIFY(fifo.made());
        sbtest::ToneSpec tone;
        tone.seconds = 1;
        QVERIFY(sbtest::writeToneMp3(music + "a.mp3", tone));
        QVERIFY(sbtest::writeToneMp3(music + "z.mp3", tone));
        QVERIFY(
            sbtest::writeFile(iniPath(), "[common]\r\ncounter=1\r\nfolder_curr=" + music.toUtf8() + "\r\n"));
        int rc = -2;
        // Logged once the player has dealt with the file.
        const QString log = runUntil(" file: x.mp3\n", SIGTERM, &rc);
        QFile::remove(iniPath());
        QVERIFY2(log.contains("\nplayTrack (start): " + music + "x.mp3\n"), qPrintable(log));
        QVERIFY2(log.contains(" file: x.mp3\n"), qPrintable(log));
        QCOMPARE(rc, 0);
        QVERIFY(!fifo.wasOpened());
    }

    // FFmpeg is a module beside the program, loaded when the first file that needs it opens. Without it, or
    // with one from another build (an upgrade under a running program), MP3 still plays and the other files
    // are passed over; with its own, they play.
    void ffmpegModuleOnlyItsOwn_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("logged");
        QTest::newRow("its own") << "own" << QString();
        QTest::newRow("missing") << "missing"
                                 << "> FFmpeg module not loaded";
        QTest::newRow("another build") << "other"
                                       << "> FFmpeg module from another build";
    }
    void ffmpegModuleOnlyItsOwn() {
        QFETCH(QString, module);
        QFETCH(QString, logged);
        const QString bin = QStringLiteral(SONABIN_BIN_DIR "/");
        const QString dir = QDir::homePath() + "/installed-" + module + "/";
        const QString music = QDir::homePath() + "/formats-" + module + "/";
        QVERIFY(QDir().mkpath(dir) && QDir().mkpath(music));
        QVERIFY(QFile::copy(bin + "sonabin", dir + "sonabin"));
        QFile own(bin + "libsonabin_ffmpeg.so");
        QVERIFY(own.open(QIODevice::ReadOnly));
        QByteArray lib = own.readAll();
        if (module == "other") {
            QLibrary loaded(own.fileName());
            const auto* build = reinterpret_cast<const char*>(loaded.resolve("sonabinFfmpegModuleBuild"));
            QVERIFY(build && *build);
            const qsizetype at = lib.indexOf(QByteArray(build) + '\0');
            QVERIFY(at >= 0);
            lib[at] = lib[at] == 'x' ? 'y' : 'x';
        }
        if (module != "missing")
            QVERIFY(sbtest::writeFile(dir + "libsonabin_ffmpeg.so", lib));
        QVERIFY(sbtest::writeToneFfmpeg(music + "a.flac", "flac", 5 * 44100));
        sbtest::ToneSpec tone;
        QVERIFY(sbtest::writeToneMp3(music + "b.mp3", tone));
        QFile::remove(iniPath());

        int rc = -2;
        // A file that does not open is passed over at the player's first tick, 250 ms after its start.
        const QString log = runUntil("playTrack (start): " + music + "a.flac\n", SIGTERM, &rc,
                                     [] { QTest::qWait(1500); }, {}, dir + "sonabin", {music});
        QFile::remove(iniPath());
        QCOMPARE(rc, 0);
        QVERIFY2(log.contains("playTrack (start): " + music + "a.flac\n"), qPrintable(log));
        const bool passedOver = log.contains("playTrack (start): " + music + "b.mp3\n");
        if (logged.isEmpty()) {
            QVERIFY2(!log.contains("> FFmpeg module") && !passedOver, qPrintable(log));
        } else {
            QVERIFY2(log.contains(logged) && passedOver, qPrintable(log));
        }
    }

    // The log printed on stderr is the log window's lines, bare and in the start-up order.
    void startupLogOnStderr() {
        int rc = -2;
        const QString log = runUntil("initStartFolderPlay", SIGTERM, &rc);
        const QStringList lines = log.split('\n');
        const QStringList expected = {"FormCreate: TFormMain",
                                      "Options file: " + iniPath(),
                                      "initView",
                                      "optionsLoad",
                                      "> load: Form, Width, AutoNext: True, AutoOffset: False, Random: False",
                                      "> folderLibraryBase: ",
                                      "> currentFolder: ",
                                      "initLanguage: ",
                                      "initStartFolderPlay: "};
        const QString order = sbtest::checkInOrder(lines, expected);
        QVERIFY2(order.isEmpty(), qPrintable(order));
        QVERIFY(lines.contains("initLanguage: "));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
