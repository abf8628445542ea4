// The player object on a fake engine: start-up checks, time texts, the position clamp, the timer and
// the two callbacks.
#include "AudioEngine.h"
#include "const_sb.h"
#include "dorBass.h"
#include "fifoWatch.h"
#include "sbtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>
#include <map>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Counts the calls that change something (in `calls`, in order) and follows the engine contract:
// handle 0 and freed handles report -1 for both position and length.
class FakeEngine : public IAudioEngine {
public:
    struct Stream {
        qint64 length = 0;
        qint64 position = 0;
        int state = AudioActivity::Stopped;
    };

    quint32 versionValue = 0x02040000;
    bool initResult = true;
    int errorCode = AudioError::Ok;
    int rate = 44100;
    int frameBytes = 4;
    QMap<QString, qint64> files; // path -> length in bytes; other paths do not open
    std::map<quint32, Stream> streams;
    QStringList calls;
    quint32 nextHandle = 1;

    Stream* stream(quint32 h) {
        const auto it = streams.find(h);
        return it == streams.end() ? nullptr : &it->second;
    }
    const Stream* stream(quint32 h) const {
        const auto it = streams.find(h);
        return it == streams.end() ? nullptr : &it->second;
    }

    quint32 version() const override { return versionValue; }
    bool init(int device, quint32 frequency, quint32 flags, quintptr window) override {
        calls << QStringLiteral("init(%1,%2,%3,%4)").arg(device).arg(frequency).arg(flags).arg(window);
        return initResult;
    }
    void release() override { calls << QStringLiteral("release"); }
    int lastError() const override { return errorCode; }
    quint32 openFile(const QString& path) override {
        calls << QStringLiteral("open(%1)").arg(path);
        if (!files.contains(path))
            return 0;
        const quint32 h = nextHandle++;
        streams[h].length = files.value(path);
        return h;
    }
    bool freeStream(quint32 h) override {
        calls << QStringLiteral("free(%1)").arg(h);
        return streams.erase(h) > 0;
    }
    bool play(quint32 h, bool restart) override {
        calls << QStringLiteral("play(%1,%2)").arg(h).arg(restart);
        Stream* s = stream(h);
        if (!s)
            return false;
        if (restart)
            s->position = 0;
        s->state = AudioActivity::Playing;
        return true;
    }
    bool pause(quint32 h) override {
        calls << QStringLiteral("pause(%1)").arg(h);
        Stream* s = stream(h);
        if (!s || s->state != AudioActivity::Playing)
            return false;
        s->state = AudioActivity::Paused;
        return true;
    }
    bool stop(quint32 h) override {
        calls << QStringLiteral("stop(%1)").arg(h);
        Stream* s = stream(h);
        if (!s)
            return false;
        s->state = AudioActivity::Stopped;
        return true;
    }
    int activity(quint32 h) const override {
        const Stream* s = stream(h);
        return s ? s->state : AudioActivity::Stopped;
    }
    qint64 position(quint32 h) const override {
        const Stream* s = stream(h);
        return s ? s->position : -1;
    }
    bool setPosition(quint32 h, qint64 bytes) override {
        calls << QStringLiteral("setPosition(%1,%2)").arg(h).arg(bytes);
        Stream* s = stream(h);
        if (!s || bytes > s->length)
            return false;
        s->position = std::max<qint64>(bytes, 0) / frameBytes * frameBytes;
        return true;
    }
    qint64 length(quint32 h) const override {
        const Stream* s = stream(h);
        return s ? s->length : -1;
    }
    qint64 secondsToBytes(quint32 h, double seconds) const override {
        return stream(h) ? static_cast<qint64>(seconds * rate) * frameBytes : -1;
    }
    double bytesToSeconds(quint32 h, qint64 bytes) const override {
        return stream(h) ? static_cast<double>(bytes) / (rate * frameBytes) : -1.0;
    }
};

// Answers every modal message box with OK and keeps its text.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer.start();
    }
    QStringList texts;

private:
    QTimer timer;
};

constexpr quintptr kWindow = 4242;
constexpr qint64 kBytesPerSecond = 44100 * 4;

} // namespace

class TestPlayer : public QObject {
    Q_OBJECT

private:
    QList<int> exitCodes;
    TBassPlayer::TExitHook previousHook;
    QString folder; // holds a.mp3 and b.mp3: only regular files reach the engine

    QString m(const char* name) const { return folder + QLatin1String(name); }

private slots:
    void initTestCase() {
        previousHook = TBassPlayer::setExitHook([this](int code) { exitCodes << code; });
        folder = sbtest::makeTempDir(QStringLiteral("m")) + QLatin1Char('/');
        for (const char* name : {"a.mp3", "b.mp3"})
            QVERIFY(sbtest::writeFile(m(name), "read by the fake engine only"));
    }
    void cleanupTestCase() { TBassPlayer::setExitHook(previousHook); }
    void init() { exitCodes.clear(); }

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
        FakeEngine engine;
        engine.versionValue = version;
        engine.initResult = initResult;
        MessageBoxWatcher boxes;
        {
            TBassPlayer player(engine, kWindow);
            QCOMPARE(player.Valid(), message.isEmpty());
            QVERIFY(!player.timerActive());
            QCOMPARE(player.PositionMax(), 0);
        }
        if (message.isEmpty()) {
            QVERIFY(boxes.texts.isEmpty());
            QVERIFY(exitCodes.isEmpty());
        } else {
            QCOMPARE(boxes.texts, QStringList{message});
            QCOMPARE(exitCodes, QList<int>{1});
        }
        // The device is asked for only when the version matched.
        const bool versionOk = (version >> 16) == 0x0204;
        QCOMPARE(engine.calls.contains(QStringLiteral("init(-1,44100,0,4242)")), versionOk);
    }

    // Without a test's hook the program really ends, with a failure exit code, once the box is dismissed.
    void startupFailureEndsProgram() {
        if (qEnvironmentVariableIsSet("SONABIN_PLAYER_EXIT_CHILD")) {
            TBassPlayer::setExitHook(previousHook);
            FakeEngine engine;
            engine.versionValue = 0x02050000;
            MessageBoxWatcher boxes;
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
        FakeEngine engine;
        engine.files[m("a.mp3")] = bytes;
        TBassPlayer player(engine, kWindow);
        player.PlayTrack(m("a.mp3"));
        QCOMPARE(player.PositionMax(), bytes);
        QCOMPARE(player.TimeTotal(), text);
        QCOMPARE(player.TimeCurrent(), QStringLiteral("00:00"));
        engine.stream(1)->position = bytes;
        QCOMPARE(player.TimeCurrent(), text);
    }

    void secondsAndBytes() {
        FakeEngine engine;
        engine.files[m("a.mp3")] = 100 * kBytesPerSecond;
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
        FakeEngine engine;
        engine.files[m("a.mp3")] = 60 * kBytesPerSecond;
        TBassPlayer player(engine, kWindow);
        player.PlayTrack(m("a.mp3"));
        player.setPosition(target);
        QCOMPARE(engine.calls.last(), QStringLiteral("setPosition(1,%1)").arg(passed));
    }

    void forwardAndBackward() {
        FakeEngine engine;
        const qint64 max = 60 * kBytesPerSecond;
        engine.files[m("a.mp3")] = max;
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
        FakeEngine engine;
        MessageBoxWatcher boxes;
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
        QVERIFY(boxes.texts.isEmpty());
    }

    void secondTrackReplacesFirst() {
        FakeEngine engine;
        engine.files[m("a.mp3")] = 10 * kBytesPerSecond;
        engine.files[m("b.mp3")] = 20 * kBytesPerSecond;
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
        FakeEngine engine;
        engine.files[m("a.mp3")] = 10 * kBytesPerSecond;
        engine.files[m("b.mp3")] = 20 * kBytesPerSecond;
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
        FakeEngine engine;
        engine.files[m("a.mp3")] = 10 * kBytesPerSecond;
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
        FakeEngine engine;
        TBassPlayer player(engine, kWindow);
        engine.errorCode = 41;
        QCOMPARE(player.getErrorCode(), 41);
    }

    void destructionFreesAndReleases() {
        FakeEngine engine;
        engine.files[m("a.mp3")] = 10 * kBytesPerSecond;
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

QTEST_MAIN(TestPlayer)
#include "tst_player.moc"
