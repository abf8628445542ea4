// The real engine (libmpg123 and FFmpeg decoders, SDL2) on SDL's disk driver: what reaches the "device" is
// read back from the file the driver writes and checked for its tone, its pauses and its seeks. Fixtures are
// made here with libmp3lame, the damaged ones by hand.
#include "AudioEngine.h"
#include "dorBass.h"
#include "engineDouble.h"
#include "sbtest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <random>

namespace {

constexpr int kDeviceRate = 44100;
constexpr qint64 kBytesPerSecond = 44100 * 4;

// The device output (16-bit stereo at 44.1 kHz) cut into 20 ms windows, each loud or silent, with the
// rising zero crossings of the left channel counted per window.
struct Output {
    static constexpr int kWindow = kDeviceRate / 50;
    std::vector<qint16> left;
    std::vector<bool> loud;
    std::vector<int> crossings;

    explicit Output(const QByteArray& raw) {
        const auto* s = reinterpret_cast<const qint16*>(raw.constData());
        const size_t frames = static_cast<size_t>(raw.size()) / 4;
        left.resize(frames);
        for (size_t i = 0; i < frames; ++i)
            left[i] = s[2 * i];
        for (size_t w = 0; w + kWindow <= frames; w += kWindow) {
            double sum = 0;
            int rising = 0;
            for (size_t i = w; i < w + kWindow; ++i) {
                sum += double(left[i]) * left[i];
                if (i > 0 && left[i - 1] < 0 && left[i] >= 0)
                    ++rising;
            }
            loud.push_back(std::sqrt(sum / kWindow) > 2000);
            crossings.push_back(rising);
        }
    }
    double windowFrequency(size_t w) const { return crossings[w] * 50.0; }
    bool isLow(size_t w) const { return loud[w] && windowFrequency(w) < 660; }
    bool isHigh(size_t w) const { return loud[w] && windowFrequency(w) >= 660; }
    // Seconds of windows that match.
    template <typename F> double seconds(F match) const {
        int n = 0;
        for (size_t w = 0; w < loud.size(); ++w)
            n += match(w) ? 1 : 0;
        return n / 50.0;
    }
    // Frequency over the matching windows whose neighbours match too (edges hold part of a tone).
    template <typename F> double frequency(F match) const {
        long rising = 0;
        int n = 0;
        for (size_t w = 1; w + 1 < loud.size(); ++w)
            if (match(w - 1) && match(w) && match(w + 1)) {
                rising += crossings[w];
                ++n;
            }
        return n ? rising * 50.0 / n : 0;
    }
    // Longest run of silent windows between the first and the last loud window, in seconds.
    double longestInnerSilence() const {
        const auto first = std::find(loud.begin(), loud.end(), true);
        const auto last = std::find(loud.rbegin(), loud.rend(), true).base();
        int best = 0;
        int run = 0;
        for (auto it = first; it < last; ++it) {
            run = *it ? 0 : run + 1;
            best = std::max(best, run);
        }
        return best / 50.0;
    }
    // Seconds from the first to the last sample above a quarter of full scale.
    double toneSeconds() const {
        const auto isLoud = [](qint16 v) { return std::abs(int(v)) > 8000; };
        const auto first = std::find_if(left.begin(), left.end(), isLoud);
        const auto last = std::find_if(left.rbegin(), left.rend(), isLoud).base();
        return first < last ? double(last - first) / kDeviceRate : 0;
    }
};

QByteArray id3v2Frame(const char* id, const QByteArray& body) {
    QByteArray f(id, 4);
    const quint32 n = static_cast<quint32>(body.size());
    f.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    f.append(2, '\0');
    return f + body;
}

// An ID3v2.3 tag: a title and, when `pictureBytes` > 0, a cover picture of that many random bytes.
QByteArray id3v2Tag(int pictureBytes) {
    QByteArray frames = id3v2Frame("TIT2", QByteArray("\0Only a title", 13));
    if (pictureBytes > 0) {
        std::mt19937 rng(7);
        QByteArray picture(pictureBytes, '\0');
        for (char& c : picture)
            c = char(rng());
        frames += id3v2Frame("APIC", QByteArray("\0image/jpeg\0\3\0", 14) + picture);
    }
    frames += QByteArray(512, '\0'); // padding
    const quint32 n = static_cast<quint32>(frames.size());
    QByteArray tag("ID3\3\0\0", 6);
    tag.append(char((n >> 21) & 0x7f)).append(char((n >> 14) & 0x7f)).append(char((n >> 7) & 0x7f));
    tag.append(char(n & 0x7f));
    return tag + frames;
}

sbtest::ToneSpec tone(double seconds, double frequency, int rate = 44100, int channels = 2,
                      bool lameTag = true) {
    sbtest::ToneSpec s;
    s.seconds = seconds;
    s.frequency = frequency;
    s.sampleRate = rate;
    s.channels = channels;
    s.bitrate = rate < 16000 ? 32 : 128;
    s.lameTag = lameTag;
    return s;
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

private:
    QString dir;
    int outputs = 0;
    QList<int> exitCodes;
    TBassPlayer::TExitHook previousHook;

    // A fresh engine whose device writes into a new file of the test folder.
    std::unique_ptr<IAudioEngine> diskEngine(QString* outputPath = nullptr) {
        const QString out = dir + QStringLiteral("/device-%1.raw").arg(++outputs);
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(out));
        if (outputPath)
            *outputPath = out;
        return createDefaultAudioEngine();
    }
    QString fixture(const QString& name, const QByteArray& bytes) {
        const QString path = dir + QLatin1Char('/') + name;
        if (!sbtest::writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    static void waitForEnd(IAudioEngine& e, quint32 h, int timeoutMs) {
        QTRY_VERIFY_WITH_TIMEOUT(e.activity(h) == AudioActivity::Stopped, timeoutMs);
    }

private slots:
    void initTestCase() {
        dir = sbtest::makeTempDir(QStringLiteral("engine"));
        // A start-up failure must fail the test, not end it quietly with exit code 0.
        previousHook = TBassPlayer::setExitHook([this](int code) { exitCodes << code; });
    }
    void cleanup() { QVERIFY(exitCodes.isEmpty()); }
    void cleanupTestCase() { TBassPlayer::setExitHook(previousHook); }

    void versionAndInit() {
        auto e = diskEngine();
        QCOMPARE(e->version() >> 16, 0x0204u);
        QCOMPARE(e->openFile(fixture(QStringLiteral("early.mp3"), sbtest::toneMp3(tone(0.2, 440)))), 0u);
        QCOMPARE(e->lastError(), int(AudioError::NotInit));
        QVERIFY(e->init(-1, 44100, 0, 0));
        QVERIFY(!e->init(-1, 44100, 0, 0));
        QCOMPARE(e->lastError(), int(AudioError::AlreadyInit));
        e->release();
        QVERIFY(e->init(-1, 44100, 0, 0)); // a released engine can start again
        QVERIFY(e->openFile(dir + QStringLiteral("/early.mp3")) != 0);
        e->release();
    }

    void lengthsAndConversions_data() {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<qint64>("bytes");

        QTest::newRow("90 s 44.1 kHz stereo") << 90.0 << 44100 << 2 << qint64(15876000);
        QTest::newRow("2 s 8 kHz mono") << 2.0 << 8000 << 1 << qint64(32000);
        QTest::newRow("1 s 48 kHz stereo") << 1.0 << 48000 << 2 << qint64(192000);
    }
    void lengthsAndConversions() {
        QFETCH(double, seconds);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(qint64, bytes);
        auto e = diskEngine();
        QVERIFY(e->init(-1, 44100, 0, 0));
        const quint32 h = e->openFile(
            fixture(QStringLiteral("len.mp3"), sbtest::toneMp3(tone(seconds, 440, rate, channels))));
        QVERIFY(h != 0);
        QCOMPARE(e->length(h), bytes);
        QCOMPARE(e->position(h), qint64(0));
        QCOMPARE(e->activity(h), int(AudioActivity::Stopped));
        const qint64 perSecond = qint64(rate) * channels * 2;
        QCOMPARE(e->secondsToBytes(h, 1.0), perSecond);
        QCOMPARE(e->secondsToBytes(h, 0.5), perSecond / 2);
        QCOMPARE(e->bytesToSeconds(h, bytes), seconds);
        QVERIFY(e->freeStream(h));
        e->release();
    }

    // Without the LAME header the frames are counted at open; the count must be the decoder's.
    void lengthWithoutHeaderIsExact() {
        auto e = diskEngine();
        QVERIFY(e->init(-1, 44100, 0, 0));
        const quint32 big = e->openFile(
            fixture(QStringLiteral("noheader90.mp3"), sbtest::toneMp3(tone(90, 440, 44100, 2, false))));
        QVERIFY(big != 0);
        // Encoder delay and padding stay in (no header says how much): whole MPEG frames of 1152.
        QCOMPARE(e->length(big) % (1152 * 4), qint64(0));
        QVERIFY(e->length(big) > 15876000 && e->length(big) < 15876000 + 3 * 1152 * 4);

        const quint32 h = e->openFile(
            fixture(QStringLiteral("noheader.mp3"), sbtest::toneMp3(tone(0.5, 440, 44100, 2, false))));
        const qint64 length = e->length(h);
        QVERIFY(e->play(h, false));
        waitForEnd(*e, h, 5000);
        QCOMPARE(e->length(h), length);
        QCOMPARE(e->position(h), length);
        e->release();
    }

    void invalidHandles() {
        auto e = diskEngine();
        QVERIFY(e->init(-1, 44100, 0, 0));
        const quint32 freed = e->openFile(fixture(QStringLiteral("h.mp3"), sbtest::toneMp3(tone(0.3, 440))));
        QVERIFY(freed != 0);
        QVERIFY(e->freeStream(freed));
        for (const quint32 h : {0u, freed, 999u}) {
            QCOMPARE(e->position(h), qint64(-1));
            QCOMPARE(e->length(h), qint64(-1));
            QCOMPARE(e->lastError(), int(AudioError::Handle));
            QVERIFY(!e->play(h, false));
            QVERIFY(!e->pause(h));
            QVERIFY(!e->stop(h));
            QVERIFY(!e->setPosition(h, 0));
            QVERIFY(!e->freeStream(h));
            QCOMPARE(e->activity(h), int(AudioActivity::Stopped));
            QCOMPARE(e->secondsToBytes(h, 1.0), qint64(-1));
        }
        // A new stream gets a new handle.
        QVERIFY(e->openFile(dir + QStringLiteral("/h.mp3")) != freed);
        e->release();
    }

    void setPositionRules() {
        auto e = diskEngine();
        QVERIFY(e->init(-1, 44100, 0, 0));
        const quint32 h = e->openFile(fixture(QStringLiteral("pos.mp3"), sbtest::toneMp3(tone(2, 440))));
        const qint64 length = e->length(h);
        QVERIFY(e->setPosition(h, 1003));
        QCOMPARE(e->position(h), qint64(1000)); // whole frames only
        QVERIFY(e->setPosition(h, -5000));
        QCOMPARE(e->position(h), qint64(0)); // before the start is the start
        QVERIFY(e->setPosition(h, 4000));
        QVERIFY(!e->setPosition(h, length + 4));
        QCOMPARE(e->lastError(), int(AudioError::Position));
        QCOMPARE(e->position(h), qint64(4000));
        QVERIFY(e->setPosition(h, length));
        QCOMPARE(e->position(h), length);
        QCOMPARE(e->activity(h), int(AudioActivity::Stopped));
        QVERIFY(!e->pause(h)); // not playing
        QCOMPARE(e->lastError(), int(AudioError::NotPlaying));
        // Playing from the end ends at once; restart plays from the start.
        QVERIFY(e->play(h, false));
        waitForEnd(*e, h, 2000);
        QCOMPARE(e->position(h), length);
        QVERIFY(e->play(h, true));
        QTRY_VERIFY_WITH_TIMEOUT(e->position(h) > 0 && e->position(h) < length, 2000);
        e->release();
    }

    // The device receives the file's tone, converted to 44.1 kHz stereo, without gaps.
    void toneReachesDevice_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("frequency");
        QTest::newRow("44.1 kHz stereo, 440 Hz") << 44100 << 2 << 440.0;
        QTest::newRow("48 kHz stereo, 1000 Hz") << 48000 << 2 << 1000.0;
        QTest::newRow("8 kHz mono, 300 Hz") << 8000 << 1 << 300.0;
    }
    void toneReachesDevice() {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(double, frequency);
        QString outPath;
        auto e = diskEngine(&outPath);
        QVERIFY(e->init(-1, 44100, 0, 0));
        const quint32 h = e->openFile(
            fixture(QStringLiteral("tone.mp3"), sbtest::toneMp3(tone(1.0, frequency, rate, channels))));
        QVERIFY(h != 0);
        QVERIFY(e->play(h, false));
        QCOMPARE(e->activity(h), int(AudioActivity::Playing));
        waitForEnd(*e, h, 5000);
        QCOMPARE(e->position(h), e->length(h));
        e->release();

        const Output out(sbtest::readFile(outPath));
        const auto loud = [&](size_t w) { return bool(out.loud[w]); };
        QVERIFY2(std::abs(out.frequency(loud) - frequency) < frequency * 0.02,
                 qPrintable(QString::number(out.frequency(loud))));
        QVERIFY2(std::abs(out.toneSeconds() - 1.0) < 0.02, qPrintable(QString::number(out.toneSeconds())));
        QCOMPARE(out.longestInnerSilence(), 0.0);
    }

    // The other formats through the whole engine: exact length at open, a pause, a jump past the middle,
    // the end at the length, and the tone at its pitch on the device.
    void everyFormatPlaysSeeksAndEnds_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rate");
        QTest::newRow("FLAC") << "flac"
                              << "tone.flac" << 44100;
        QTest::newRow("Ogg Vorbis") << "vorbis"
                                    << "tone.ogg" << 44100;
        QTest::newRow("Opus") << "opus"
                              << "tone.opus" << 48000;
        QTest::newRow("M4A/AAC") << "aac"
                                 << "tone.m4a" << 48000;
        QTest::newRow("WAV, 22 kHz") << "wav"
                                     << "tone.wav" << 22050;
        QTest::newRow("MP3 named .flac") << "mp3"
                                         << "really-mp3.flac" << 44100;
    }
    void everyFormatPlaysSeeksAndEnds() {
        QFETCH(QString, format);
        QFETCH(QString, name);
        QFETCH(int, rate);
        const qint64 frames = qint64(rate) * 2;
        const QString path = dir + QLatin1Char('/') + name;
        QVERIFY(sbtest::writeToneFfmpeg(path, format, frames, 660.0, rate, 2));
        QString outPath;
        auto e = diskEngine(&outPath);
        QVERIFY(e->init(-1, 44100, 0, 0));
        const quint32 h = e->openFile(path);
        QVERIFY(h != 0);
        QCOMPARE(e->length(h), frames * 4);
        QCOMPARE(e->secondsToBytes(h, 1.0), qint64(rate) * 4);
        QVERIFY(e->play(h, false));
        QTRY_VERIFY_WITH_TIMEOUT(e->position(h) >= qint64(rate) * 4 / 4, 5000);
        QVERIFY(e->pause(h));
        const qint64 pausedAt = e->position(h);
        QTest::qWait(200);
        QCOMPARE(e->position(h), pausedAt);
        QVERIFY(e->setPosition(h, frames * 4 * 3 / 4 + 2)); // snapped to a whole frame
        QCOMPARE(e->position(h), frames * 3);
        QVERIFY(e->play(h, false));
        waitForEnd(*e, h, 5000);
        QCOMPARE(e->position(h), e->length(h));
        QCOMPARE(e->length(h), frames * 4);
        e->release();

        const Output out(sbtest::readFile(outPath));
        const auto loud = [&](size_t w) { return bool(out.loud[w]); };
        QVERIFY2(std::abs(out.frequency(loud) - 660) < 660 * 0.02,
                 qPrintable(QString::number(out.frequency(loud))));
        // What played: up to the pause and the last quarter.
        const double heard = out.seconds(loud);
        const double expected = double(pausedAt) / (rate * 4) + 0.5;
        QVERIFY2(std::abs(heard - expected) < 0.1,
                 qPrintable(QStringLiteral("%1 %2").arg(heard).arg(expected)));
    }

    // 2 s of 440 Hz then 2 s of 880 Hz: play, pause for half a second, continue, jump to 3 s.
    void pauseAndSeekReachDevice() {
        QString outPath;
        auto e = diskEngine(&outPath);
        QVERIFY(e->init(-1, 44100, 0, 0));
        const QByteArray twoTones =
            sbtest::toneMp3(tone(2, 440, 44100, 2, false)) + sbtest::toneMp3(tone(2, 880, 44100, 2, false));
        const quint32 h = e->openFile(fixture(QStringLiteral("two-tones.mp3"), twoTones));
        QVERIFY(h != 0);
        QVERIFY(e->play(h, false));
        QTRY_VERIFY_WITH_TIMEOUT(e->position(h) >= kBytesPerSecond / 2, 5000);
        QVERIFY(e->pause(h));
        QCOMPARE(e->activity(h), int(AudioActivity::Paused));
        const qint64 pausedAt = e->position(h);
        QTest::qWait(500);
        QCOMPARE(e->position(h), pausedAt);
        QVERIFY(e->play(h, false));
        QTRY_VERIFY_WITH_TIMEOUT(e->position(h) >= kBytesPerSecond * 6 / 5, 5000);
        const qint64 before = e->position(h);
        QVERIFY(e->setPosition(h, 3 * kBytesPerSecond));
        QCOMPARE(e->position(h), 3 * kBytesPerSecond);
        waitForEnd(*e, h, 5000);
        QCOMPARE(e->position(h), e->length(h));
        const double lowSeconds = double(before) / kBytesPerSecond;
        const double highSeconds = double(e->length(h) - 3 * kBytesPerSecond) / kBytesPerSecond;
        e->release();

        const Output out(sbtest::readFile(outPath));
        const auto low = [&](size_t w) { return out.isLow(w); };
        const auto high = [&](size_t w) { return out.isHigh(w); };
        QVERIFY2(std::abs(out.frequency(low) - 440) < 440 * 0.02,
                 qPrintable(QString::number(out.frequency(low))));
        QVERIFY2(std::abs(out.frequency(high) - 880) < 880 * 0.02,
                 qPrintable(QString::number(out.frequency(high))));
        // What was played before the jump, no more and no less; then the rest after 3 s.
        QVERIFY2(std::abs(out.seconds(low) - lowSeconds) < 0.08,
                 qPrintable(QString::number(out.seconds(low))));
        QVERIFY2(std::abs(out.seconds(high) - highSeconds) < 0.08,
                 qPrintable(QString::number(out.seconds(high))));
        // All of the low tone comes before the high one (windows at the edges of a tone are mixed).
        size_t lastLow = 0;
        size_t firstHigh = out.loud.size();
        for (size_t w = 1; w + 1 < out.loud.size(); ++w) {
            if (low(w - 1) && low(w) && low(w + 1))
                lastLow = w;
            if (high(w - 1) && high(w) && high(w + 1))
                firstHigh = std::min(firstHigh, w);
        }
        QVERIFY2(lastLow < firstHigh, qPrintable(QStringLiteral("%1 %2").arg(lastLow).arg(firstHigh)));
        // The pause is silence (the disk driver's pace is only roughly real time, hence the margin).
        QVERIFY2(out.longestInnerSilence() >= 0.25, qPrintable(QString::number(out.longestInnerSilence())));
    }

    // Through the player: the end is seen within half a second with position equal to length; a step
    // forward past the end ends the track at the next tick.
    void playerSeesTheEnd() {
        auto real = diskEngine();
        sbtest::EngineDouble e(*real);
        TBassPlayer player(e, 0);
        QVERIFY(player.Valid());
        int completes = 0;
        qint64 endPosition = 0;
        qint64 endLength = 0;
        qint64 elapsed = 0;
        qint64 reachedEnd = -1;
        QElapsedTimer clock;
        player.setOnComplete([&](TBassPlayer*) {
            ++completes;
            elapsed = clock.elapsed();
            endPosition = e.position(e.lastHandle);
            endLength = e.length(e.lastHandle);
        });
        // Notes when the device has had the last sample, to time how late the player notices.
        QTimer watch;
        watch.setInterval(5);
        connect(&watch, &QTimer::timeout, [&] {
            if (reachedEnd < 0 && e.lastHandle && e.position(e.lastHandle) == e.length(e.lastHandle))
                reachedEnd = clock.elapsed();
        });
        watch.start();
        clock.start();
        player.PlayTrack(fixture(QStringLiteral("one second.mp3"), sbtest::toneMp3(tone(1, 440))));
        QCOMPARE(player.PositionMax(), kBytesPerSecond);
        QCOMPARE(player.TimeTotal(), QStringLiteral("00:01"));
        QTRY_COMPARE_WITH_TIMEOUT(completes, 1, 5000);
        QVERIFY2(reachedEnd >= 950, qPrintable(QString::number(reachedEnd)));
        QVERIFY2(elapsed - reachedEnd <= 500,
                 qPrintable(QStringLiteral("%1 %2").arg(reachedEnd).arg(elapsed)));
        QCOMPARE(endPosition, kBytesPerSecond);
        QCOMPARE(endLength, kBytesPerSecond);
        QVERIFY(!player.timerActive());

        completes = 0;
        player.PlayTrack(fixture(QStringLiteral("five seconds.mp3"), sbtest::toneMp3(tone(5, 440))));
        QTRY_VERIFY_WITH_TIMEOUT(player.Position() > 0, 3000);
        clock.restart();
        player.Forward(10);
        QTRY_COMPARE_WITH_TIMEOUT(completes, 1, 3000);
        QVERIFY2(elapsed <= 750, qPrintable(QString::number(elapsed)));
        QCOMPARE(endPosition, endLength);
        QCOMPARE(endLength, 5 * kBytesPerSecond);
    }

    // Bad files never crash or hang; the ones that hold audio play to their end, the others end at the
    // first tick.
    void badInput_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("length"); // -1: does not open; 0: opens, length not fixed in advance

        std::mt19937 rng(20240611);
        QByteArray random(64 * 1024, '\0');
        for (char& c : random)
            c = char(rng());
        const QByteArray second = sbtest::toneMp3(tone(1, 440));

        QTest::newRow("empty file") << "empty.mp3" << QByteArray() << qint64(-1);
        QTest::newRow("random bytes") << "random-bytes.mp3" << random << qint64(-1);
        QTest::newRow("only an ID3 tag") << "id3-only.mp3" << id3v2Tag(0) << qint64(-1);
        QTest::newRow("missing file") << "" << QByteArray() << qint64(-1);
        QTest::newRow("truncated frame")
            << "truncated-frame.mp3" << second.left(second.size() * 3 / 5 + 17) << qint64(0);
        QTest::newRow("large ID3v2 tag with cover")
            << "big-cover.mp3" << id3v2Tag(600 * 1024) + second << kBytesPerSecond;
        QTest::newRow("8 kHz mono") << "8k-mono.mp3" << sbtest::toneMp3(tone(1, 300, 8000, 1))
                                    << qint64(16000);
        QTest::newRow("48 kHz stereo")
            << "48k.mp3" << sbtest::toneMp3(tone(1, 1000, 48000, 2)) << qint64(192000);
        QTest::newRow("spaces and non-ASCII letters")
            << "Ünïcødé trå ck — Öl.mp3" << second << kBytesPerSecond;
    }
    void badInput() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, length);
        const QString path = name.isEmpty() ? dir + QStringLiteral("/not-there.mp3") : fixture(name, bytes);
        auto real = diskEngine();
        sbtest::EngineDouble e(*real);
        TBassPlayer player(e, 0);
        int completes = 0;
        int ticks = 0;
        qint64 endPosition = 0;
        qint64 endLength = 0;
        player.setOnTimer([&](TBassPlayer*) { ++ticks; });
        player.setOnComplete([&](TBassPlayer*) {
            ++completes;
            endPosition = e.position(e.lastHandle);
            endLength = e.length(e.lastHandle);
        });
        player.PlayTrack(path);
        if (length < 0) {
            QCOMPARE(e.lastHandle, 0u);
            QCOMPARE(player.PositionMax(), qint64(-1));
            QTRY_COMPARE_WITH_TIMEOUT(completes, 1, 1000);
            QCOMPARE(ticks, 0);
            return;
        }
        QVERIFY(e.lastHandle != 0);
        const qint64 atOpen = player.PositionMax();
        if (length > 0)
            QCOMPARE(atOpen, length);
        QTRY_COMPARE_WITH_TIMEOUT(completes, 1, 4000);
        QVERIFY(ticks > 0);
        QCOMPARE(endPosition, endLength);
        if (length > 0) {
            QCOMPARE(endLength, length);
        } else {
            // The header promised a second; the real end comes earlier and becomes the length.
            QCOMPARE(atOpen, kBytesPerSecond);
            QVERIFY2(endLength > 0 && endLength < atOpen, qPrintable(QString::number(endLength)));
        }
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
