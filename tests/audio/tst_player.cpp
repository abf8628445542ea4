// The player object on a fake engine: start-up checks, time texts, the position clamp, the timer and
// the two callbacks.
#include "AudioEngine.h"
#include "const_sb.h"
#include "dorBass.h"
#include "engineDouble.h"
#include "fifoWatch.h"
#include "sbtest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using sbtest::EngineDouble;

constexpr quintptr kWindow = 4242;
constexpr qint64 kBytesPerSecond = 44100 * 4;

} // namespace

class TestPlayer : public QObject {
    Q_OBJECT

private:
    QList<int> exitCodes;
    QStringList reported; // what the start-up reporter was given
    TBassPlayer::TExitHook previousHook;
    TBassPlayer::TStartupReporter previousReporter;
    QString folder; // holds a.mp3 and b.mp3: only regular files reach the engine

    QString m(const char* name) const { return folder + QLatin1String(name); }

private slots:
    void initTestCase() {
        previousHook = TBassPlayer::setExitHook([this](int code) { exitCodes << code; });
        previousReporter = TBassPlayer::setStartupReporter([this](const QString& text) { reported << text; });
        folder = sbtest::makeTempDir(QStringLiteral("m")) + QLatin1Char('/');
        for (const char* name : {"a.mp3", "b.mp3"})
            QVERIFY(sbtest::writeFile(m(name), "read by the fake engine only"));
    }
    void cleanupTestCase() {
        TBassPlayer::setExitHook(previousHook);
        TBassPlayer::setStartupReporter(previousReporter);
    }
    void init() {
        exitCodes.clear();
        reported.clear();
    }

    void startup_data() {
        QTest::addColumn<quint32>("version");
        QTest::addColumn<bool>("initResult");
        QTest::addColumn<QString>("message");

        QTest::newRow("2.4.0.0") << 0x02040000u << true << QString();
        QTest::newRow("2.4 with any revision") << 0x0204FFFFu << true << QString();
        QTest::newRow("2.4.17.3") << 0x02041103u << true << QString();
        QTest::newRow("2.3") << 0x0203FFFFu << true << sb::audioVersionError;
        QTest::newRow("2.5") << 0x02050000u << true << sb::audioVersionError;
        QTest::newRow("no device") << 0x02040000u << false << sb::audioInitError;
    }
    void startup() {
        QFETCH(quint32, version);
        QFETCH(bool, initResult);
        QFETCH(QString, message);
        EngineDouble engine;
        engine.versionValue = version;
        engine.initResult = initResult;
        {
            TBassPlayer player(engine, kWindow);
            QCOMPARE(player.Valid(), message.isEmpty());
            QVERIFY(!player.timerActive());
            QCOMPARE(player.PositionMax(), 0);
        }
        if (message.isEmpty()) {
            QVERIFY(reported.isEmpty());
            QVERIFY(exitCodes.isEmpty());
        } else {
            QCOMPARE(reported, QStringList{message});
            QCOMPARE(exitCodes, QList<int>{1});
        }
        // The device is asked for only when the version matched.
        const bool versionOk = (version >> 16) == 0x0204;
        QCOMPARE(engine.calls.contains(QStringLiteral("init(-1,44100,0,4242)")), versionOk);
    }

    // Without a test's hooks the program really ends, with a failure exit code, and without a reporter the
    // text goes to stderr.
    void startupFailureEndsProgram() {
        if (qEnvironmentVariableIsSet("SONABIN_PLAYER_EXIT_CHILD")) {
            TBassPlayer::setExitHook(previousHook);
            TBassPlayer::setStartupReporter(previousReporter);
            EngineDouble engine;
            engine.versionValue = 0x02050000;
            TBassPlayer player(engine, kWindow);
            QFAIL("the program went on after a failed start");
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SONABIN_PLAYER_EXIT_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("startupFailureEndsProgram")});
        QVERIFY(child.waitForFinished(30000));
        const QByteArray out = child.readAllStandardOutput();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1);
        QVERIFY(child.readAllStandardError().contains(sb::audioVersionError.toLocal8Bit()));
        QVERIFY2(!out.contains("Totals:"), out.constData()); // ended inside the test, not after it
    }

    void timeTexts_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");

        QTest::newRow("3:59.6 rounds up") << qint64(239.6 * 44100) * 4 << "04:00";
        QTest::newRow("90 s") << 90 * kBytesPerSecond << "01:30";
        QTest::newRow("1:02:03 drops the hour") << 3723 * kBytesPerSecond << "02:03";
        QTest::newRow("1 h 5 min") << 3900 * kBytesPerSecond << "05:00";
        QTest::newRow("half to even, down") << qint64(178.5 * 44100) * 4 << "02:58";
        QTest::newRow("half to even, up") << qint64(179.5 * 44100) * 4 << "03:00";
        QTest::newRow("under half a second") << qint64(0.4 * 44100) * 4 << "00:00";
    }
    void timeTexts() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        EngineDouble engine;
        engine.lengths[QStringLiteral("a.mp3")] = bytes;
        TBassPlayer player(engine, kWindow);
        player.PlayTrack(m("a.mp3"));
        QCOMPARE(player.PositionMax(), bytes);
        QCOMPARE(player.TimeTotal(), text);
        QCOMPARE(player.TimeCurrent(), QStringLiteral("00:00"));
        engine.stream(1)->position = bytes;
        QCOMPARE(player.TimeCurrent(), text);
    }

    void secondsAndBytes() {
        EngineDouble engine;
        engine.lengths[QStringLiteral("a.mp3")] = 100 * kBytesPerSecond;
        TBassPlayer player(engine, kWindow);
        QCOMPARE(player.SecondsToPosition(5), -1); // no stream yet
        player.PlayTrack(m("a.mp3"));
        QCOMPARE(player.SecondsToPosition(5), 5 * kBytesPerSecond);
        QCOMPARE(player.PositionToSeconds(5 * kBytesPerSecond + kBytesPerSecond / 2), 6);
        QCOMPARE(player.PositionToSeconds(4 * kBytesPerSecond + kBytesPerSecond / 2), 4);
    }

    void positionClamp_data() {
        QTest::addColumn<qint64>("target");
        QTest::addColumn<qint64>("passed");
        const qint64 max = 60 * kBytesPerSecond;
        QTest::newRow("beyond the end: ten bytes before it") << max + 1 << max - 10;
        QTest::newRow("far beyond") << max * 3 << max - 10;
        QTest::newRow("exactly the length: unchanged") << max << max;
        QTest::newRow("inside") << max / 2 << max / 2;
        QTest::newRow("negative: passed on") << qint64(-4000) << qint64(-4000);
    }
    void positionClamp() {
        QFETCH(qint64, target);
        QFETCH(qint64, passed);
        EngineDouble engine;
        engine.lengths[QStringLiteral("a.mp3")] = 60 * kBytesPerSecond;
        TBassPlayer player(engine, kWindow);
        player.PlayTrack(m("a.mp3"));
        player.setPosition(target);
        QCOMPARE(engine.calls.last(), QStringLiteral("setPosition(1,%1)").arg(passed));
    }

    void forwardAndBackward() {
        EngineDouble engine;
        const qint64 max = 60 * kBytesPerSecond;
        engine.lengths[QStringLiteral("a.mp3")] = max;
        TBassPlayer player(engine, kWindow);
        player.PlayTrack(m("a.mp3"));
        engine.stream(1)->position = 20 * kBytesPerSecond;
        player.Forward(10);
        QCOMPARE(player.Position(), 30 * kBytesPerSecond);
        player.Backward(25);
        QCOMPARE(player.Position(), 5 * kBytesPerSecond);
        // Ten seconds forward with four left lands ten bytes before the end.
        engine.stream(1)->position = 56 * kBytesPerSecond;
        player.Forward(10);
        QCOMPARE(engine.calls.last(), QStringLiteral("setPosition(1,%1)").arg(max - 10));
        // Back past the start asks for a negative position; the engine decides (this one refuses less
        // than 0 by clamping).
        engine.stream(1)->position = 3 * kBytesPerSecond;
        player.Backward(10);
        QCOMPARE(engine.calls.last(), QStringLiteral("setPosition(1,%1)").arg(-7 * kBytesPerSecond));
    }

    // A stream that is not there ends at the first tick: position and length fail alike.
    void noStreamCompletesOnce_data() {
        QTest::addColumn<QString>("kind"); // what PlayTrack is given; empty: Play before any track
        QTest::newRow("missing file") << "missing";
        QTest::newRow("Play before any track") << "";
        // Opening any of these could block the window for good; they are files that do not open.
        QTest::newRow("named pipe") << "fifo";
        QTest::newRow("socket") << "socket";
        QTest::newRow("folder named like a track") << "folder";
        QTest::newRow("link to /dev/zero") << "devzero";
    }
    void noStreamCompletesOnce() {
        QFETCH(QString, kind);
        EngineDouble engine;
        TBassPlayer player(engine, kWindow);
        int completes = 0;
        int ticks = 0;
        player.setOnComplete([&](TBassPlayer* sender) {
            QCOMPARE(sender, &player);
            ++completes;
        });
        player.setOnTimer([&](TBassPlayer*) { ++ticks; });
        const QString path = sbtest::makeTempDir(QStringLiteral("kinds")) + QStringLiteral("/x.mp3");
        const QByteArray name = QFile::encodeName(path);
        std::unique_ptr<sbtest::FifoWatch> fifo;
        if (kind == QLatin1String("fifo")) {
            fifo = std::make_unique<sbtest::FifoWatch>(path);
            QVERIFY(fifo->made());
        } else if (kind == QLatin1String("socket")) {
            const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            QVERIFY(size_t(name.size()) < sizeof(addr.sun_path));
            qstrcpy(addr.sun_path, name.constData());
            QCOMPARE(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
            ::close(sock);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(path));
        } else if (kind == QLatin1String("devzero")) {
            QCOMPARE(::symlink("/dev/zero", name.constData()), 0);
        }
        QElapsedTimer clock;
        clock.start();
        if (!kind.isEmpty()) {
            player.PlayTrack(path);
            QCOMPARE(player.PositionMax(), -1);
            QCOMPARE(player.TimeTotal(), QStringLiteral("00:00"));
            // Only a regular file is handed to the engine (a missing one may be: it cannot block).
            if (kind != QLatin1String("missing"))
                QVERIFY2(!engine.calls.join(' ').contains(QStringLiteral("open(")),
                         qPrintable(engine.calls.join(' ')));
            if (fifo)
                QVERIFY(!fifo->wasOpened());
        } else {
            player.Play();
            QCOMPARE(engine.calls.last(), QStringLiteral("play(0,0)"));
        }
        QVERIFY(player.timerActive());
        QCOMPARE(completes, 0);
        QTRY_COMPARE_WITH_TIMEOUT(completes, 1, 3000);
        QVERIFY(clock.elapsed() >= 200); // one timer period, not at once
        QVERIFY(!player.timerActive());
        QTest::qWait(600);
        QCOMPARE(completes, 1);
        QCOMPARE(ticks, 0);
        QVERIFY(reported.isEmpty());
    }

    void secondTrackReplacesFirst() {
        EngineDouble engine;
        engine.lengths[QStringLiteral("a.mp3")] = 10 * kBytesPerSecond;
        engine.lengths[QStringLiteral("b.mp3")] = 20 * kBytesPerSecond;
        TBassPlayer player(engine, kWindow);
        player.PlayTrack(m("a.mp3"));
        engine.calls.clear();
        player.PlayTrack(m("b.mp3"));
        const QStringList expected{QStringLiteral("stop(1)"), QStringLiteral("free(1)"),
                                   QStringLiteral("open(%1)").arg(m("b.mp3")), QStringLiteral("play(2,0)")};
        QCOMPARE(engine.calls, expected);
        QCOMPARE(engine.streams.size(), size_t(1));
        QCOMPARE(player.PositionMax(), 20 * kBytesPerSecond);
        QCOMPARE(player.TrackFilename(), m("b.mp3"));
    }

    // Position equal to length: Stop, then onComplete, and no onTimer on that tick. The handler may
    // start the next track at once.
    void endOfTrack() {
        EngineDouble engine;
        engine.lengths[QStringLiteral("a.mp3")] = 10 * kBytesPerSecond;
        engine.lengths[QStringLiteral("b.mp3")] = 20 * kBytesPerSecond;
        TBassPlayer player(engine, kWindow);
        int ticks = 0;
        QStringList completedAfter;
        player.setOnTimer([&](TBassPlayer*) { ++ticks; });
        player.setOnComplete([&](TBassPlayer* sender) {
            completedAfter = engine.calls;
            sender->PlayTrack(m("b.mp3"));
        });
        player.PlayTrack(m("a.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 1, 3000);
        engine.stream(1)->position = 10 * kBytesPerSecond;
        const int ticksBefore = ticks;
        QTRY_VERIFY_WITH_TIMEOUT(!completedAfter.isEmpty(), 3000);
        QCOMPARE(ticks, ticksBefore);
        QCOMPARE(completedAfter.last(), QStringLiteral("stop(1)"));
        QVERIFY(player.timerActive());
        QVERIFY(player.isPlaying());
        QCOMPARE(player.TrackFilename(), m("b.mp3"));
        QTRY_VERIFY_WITH_TIMEOUT(ticks > ticksBefore, 3000);
    }

    void pauseStopsTheTimer() {
        EngineDouble engine;
        engine.lengths[QStringLiteral("a.mp3")] = 10 * kBytesPerSecond;
        TBassPlayer player(engine, kWindow);
        int ticks = 0;
        player.setOnTimer([&](TBassPlayer*) { ++ticks; });
        player.PlayTrack(m("a.mp3"));
        QVERIFY(player.isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 1, 3000);
        engine.stream(1)->position = 3 * kBytesPerSecond;
        player.Pause();
        QVERIFY(player.isPaused());
        QVERIFY(!player.isPlaying());
        QVERIFY(!player.timerActive());
        const int paused = ticks;
        QTest::qWait(700);
        QCOMPARE(ticks, paused);
        player.Play();
        QCOMPARE(engine.calls.last(), QStringLiteral("play(1,0)")); // continue, not restart
        QCOMPARE(player.Position(), 3 * kBytesPerSecond);
        QVERIFY(player.isPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(ticks > paused, 3000);
        player.Stop();
        QVERIFY(!player.timerActive());
        QVERIFY(!player.isPlaying() && !player.isPaused());
    }

    void errorCodeIsPassedOn() {
        EngineDouble engine;
        TBassPlayer player(engine, kWindow);
        engine.errorCode = 41;
        QCOMPARE(player.getErrorCode(), 41);
    }

    void destructionFreesAndReleases() {
        EngineDouble engine;
        engine.lengths[QStringLiteral("a.mp3")] = 10 * kBytesPerSecond;
        {
            TBassPlayer player(engine, kWindow);
            player.PlayTrack(m("a.mp3"));
            engine.calls.clear();
        }
        QVERIFY(engine.streams.empty());
        QCOMPARE(engine.calls.last(), QStringLiteral("release"));
        QVERIFY(engine.calls.indexOf(QStringLiteral("stop(1)")) <
                engine.calls.indexOf(QStringLiteral("free(1)")));
    }
};

QTEST_GUILESS_MAIN(TestPlayer)
#include "tst_player.moc"
