// The two decoders under the engine, without an audio device: exact lengths with no priming or padding
// heard, seeks that land on the same samples as a straight decode, the decoder picked by content, tags,
// and files that are not regular files. Fixtures are made here with the ffmpeg tool.
#include "AudioDecoder.h"
#include "AudioEngine.h"
#include "fsPath.h"
#include "sbtest.h"

#include <QElapsedTimer>
#include <QtTest>
#include <cmath>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace {

std::unique_ptr<IAudioDecoder> openPath(const QString& path, int& error) {
    const int fd = openRegularFile(path);
    if (fd < 0) {
        error = AudioError::FileOpen;
        return nullptr;
    }
    return openAudioDecoder(fd, error);
}

// Reads everything from the decoder's current position, in steps of an odd size.
std::vector<qint16> readAll(IAudioDecoder& d) {
    std::vector<qint16> all;
    std::vector<unsigned char> buf(size_t(d.frameBytes()) * 1001);
    for (int guard = 0; guard < 100000; ++guard) {
        size_t got = 0;
        const bool more = d.read(buf.data(), buf.size(), got);
        const auto* s = reinterpret_cast<const qint16*>(buf.data());
        all.insert(all.end(), s, s + got / 2);
        if (!more)
            break;
    }
    return all;
}

double rms(const std::vector<qint16>& s, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count && i < s.size(); ++i)
        sum += double(s[i]) * s[i];
    return count ? std::sqrt(sum / double(count)) : 0;
}

// Frequency of channel 0 from its rising zero crossings.
double frequencyOf(const std::vector<qint16>& s, int channels, long rate) {
    int rising = 0;
    const size_t frames = s.size() / size_t(channels);
    for (size_t i = 1; i < frames; ++i)
        if (s[(i - 1) * channels] < 0 && s[i * channels] >= 0)
            ++rising;
    return frames ? rising * double(rate) / double(frames) : 0;
}

struct Format {
    const char* name;
    const char* ext;
    bool lossless;
};
const Format kFormats[] = {{"flac", "flac", true}, {"vorbis", "ogg", false}, {"opus", "opus", false},
                           {"aac", "m4a", false},  {"wav", "wav", true},     {"mp3", "mp3", false}};

} // namespace

class TestDecoders : public QObject {
    Q_OBJECT

    QString dir;

    QString tone(const Format& f, qint64 frames, int rate, int channels, double frequency = 440.0,
                 const QStringList& extra = {}) {
        const QString path = dir + QStringLiteral("/%1-%2-%3-%4.%5")
                                       .arg(f.name)
                                       .arg(rate)
                                       .arg(channels)
                                       .arg(frames)
                                       .arg(QLatin1String(f.ext));
        if (!QFile::exists(path) &&
            !sbtest::writeToneFfmpeg(path, f.name, frames, frequency, rate, channels, extra))
            qFatal("ffmpeg could not make %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase() { dir = sbtest::makeTempDir(QStringLiteral("decoders")); }

    // The length the container records, decoded to the sample: no encoder priming at the start, no
    // padding at the end, the right pitch.
    void exactLength_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<qint64>("frames");
        for (int i = 0; i < int(std::size(kFormats)); ++i) {
            const bool opus = QLatin1String(kFormats[i].name) == QLatin1String("opus");
            QTest::addRow("%s stereo", kFormats[i].name) << i << (opus ? 48000 : 44100) << 2 << qint64(54321);
            QTest::addRow("%s mono", kFormats[i].name) << i << (opus ? 48000 : 22050) << 1 << qint64(12345);
        }
        QTest::newRow("flac 96 kHz") << 0 << 96000 << 2 << qint64(100003);
    }
    void exactLength() {
        QFETCH(int, format);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(qint64, frames);
        const Format& f = kFormats[format];
        int error = AudioError::Ok;
        auto d = openPath(tone(f, frames, rate, channels), error);
        QVERIFY2(d, qPrintable(QString::number(error)));
        QCOMPARE(d->rate(), long(rate));
        QCOMPARE(d->channels(), channels);
        // FFmpeg's Vorbis decoder does not give the first short block of some streams (256 frames of a
        // 22 kHz mono one); the length is then what it does give.
        const qint64 slack = QLatin1String(f.name) == QLatin1String("vorbis") ? 256 : 0;
        QVERIFY2(std::abs(d->frames() - frames) <= slack, qPrintable(QString::number(d->frames())));
        const std::vector<qint16> pcm = readAll(*d);
        QCOMPARE(qint64(pcm.size()) / channels, d->frames());

        // The tone is at half of full scale from the first sample to the last.
        const double full = 0.5 * 32767 / std::sqrt(2.0);
        const size_t edge = size_t(rate / 100) * size_t(channels); // 10 ms
        QVERIFY2(rms(pcm, 0, edge) > 0.6 * full, qPrintable(QString::number(rms(pcm, 0, edge))));
        QVERIFY2(rms(pcm, pcm.size() - edge, edge) > 0.6 * full,
                 qPrintable(QString::number(rms(pcm, pcm.size() - edge, edge))));
        const double hz = frequencyOf(pcm, channels, rate);
        QVERIFY2(std::abs(hz - 440) < 440 * 0.01, qPrintable(QString::number(hz)));
    }

    // A seek lands on the samples a straight decode gives there: exactly for the lossless formats, and
    // for the lossy ones after the codec's run-up.
    void seekMatchesStraightDecode_data() {
        QTest::addColumn<int>("format");
        for (int i = 0; i < int(std::size(kFormats)); ++i)
            QTest::addRow("%s", kFormats[i].name) << i;
    }
    void seekMatchesStraightDecode() {
        QFETCH(int, format);
        const Format& f = kFormats[format];
        const int rate = QLatin1String(f.name) == QLatin1String("opus") ? 48000 : 44100;
        const QString path = tone(f, qint64(rate) * 3 + 7, rate, 2, 523.25);
        int error = AudioError::Ok;
        auto d = openPath(path, error);
        QVERIFY(d);
        const std::vector<qint16> straight = readAll(*d);
        QCOMPARE(qint64(straight.size()) / 2, d->frames());
        const int tolerance = f.lossless ? 0 : 1200;

        for (qint64 target :
             {qint64(rate) * 2 + 4321, qint64(rate) / 3, qint64(0), d->frames() - 3000, d->frames() - 100}) {
            QCOMPARE(d->seek(target), target);
            const std::vector<qint16> after = readAll(*d);
            QCOMPARE(qint64(after.size()) / 2, d->frames() - target);
            int worst = 0;
            const size_t n = std::min<size_t>(after.size(), 8192);
            for (size_t i = 0; i < n; ++i)
                worst = std::max(worst, std::abs(int(after[i]) - int(straight[size_t(target) * 2 + i])));
            QVERIFY2(worst <= tolerance,
                     qPrintable(QStringLiteral("at %1: off by %2").arg(target).arg(worst)));
        }
        // At the end: nothing more.
        QCOMPARE(d->seek(d->frames()), d->frames());
        QVERIFY(readAll(*d).empty());
    }

    // The content decides, not the name: each format under another format's extension.
    void decoderIsPickedByContent_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("name");
        QTest::newRow("MP3 named .flac") << 5 << "mp3-really.flac";
        QTest::newRow("FLAC named .mp3") << 0 << "flac-really.mp3";
        QTest::newRow("Opus named .m4a") << 2 << "opus-really.m4a";
        QTest::newRow("WAV named .ogg") << 4 << "wav-really.ogg";
        QTest::newRow("M4A named .wav") << 3 << "m4a-really.wav";
    }
    void decoderIsPickedByContent() {
        QFETCH(int, format);
        QFETCH(QString, name);
        const Format& f = kFormats[format];
        const int rate = QLatin1String(f.name) == QLatin1String("opus") ? 48000 : 44100;
        const QString renamed = dir + QLatin1Char('/') + name;
        QFile::remove(renamed);
        QVERIFY(QFile::copy(tone(f, 20000, rate, 2), renamed));
        int error = AudioError::Ok;
        auto d = openPath(renamed, error);
        QVERIFY2(d, qPrintable(QString::number(error)));
        QCOMPARE(d->frames(), qint64(20000));
        QCOMPARE(qint64(readAll(*d).size()) / 2, qint64(20000));
    }

    void tagsOfEveryFormat_data() {
        QTest::addColumn<int>("format");
        for (int i = 0; i < int(std::size(kFormats)); ++i)
            if (QLatin1String(kFormats[i].name) != QLatin1String("wav"))
                QTest::addRow("%s", kFormats[i].name) << i;
    }
    void tagsOfEveryFormat() {
        QFETCH(int, format);
        const Format& f = kFormats[format];
        const QString path = dir + QStringLiteral("/tagged.") + QLatin1String(f.ext);
        QFile::remove(path);
        QVERIFY(sbtest::writeToneFfmpeg(path, f.name, 9600, 440, 48000, 2,
                                        {"-metadata", QString::fromUtf8("title=Söng Title"), "-metadata",
                                         "artist=The Artist", "-metadata", "album=An Album"}));
        const AudioTags t = readAudioTags(path);
        QCOMPARE(t.title, QString::fromUtf8("Söng Title"));
        QCOMPARE(t.artist, QStringLiteral("The Artist"));
        QCOMPARE(t.album, QStringLiteral("An Album"));
        const AudioTags none = readAudioTags(dir + QStringLiteral("/missing.flac"));
        QVERIFY(none.title.isEmpty() && none.artist.isEmpty() && none.album.isEmpty());
    }

    // An MP3 length header claiming far more frames than the file can hold is not believed: trusted, it
    // sent a seek half-way on a search of minutes through a few kilobytes.
    void lyingMp3LengthHeaderIsCounted() {
        sbtest::ToneSpec spec;
        spec.seconds = 0.5;
        QByteArray bytes = sbtest::toneMp3(spec);
        qsizetype at = bytes.indexOf("Info");
        if (at < 0)
            at = bytes.indexOf("Xing");
        QVERIFY(at > 0);
        QVERIFY(bytes.at(at + 7) & 1); // the header carries a frame count
        const char claimed[] = {'\x80', '\x00', '\x00', '\x05'};
        bytes.replace(at + 8, 4, claimed, 4);
        const QString path = dir + QStringLiteral("/lying-length.mp3");
        QVERIFY(sbtest::writeFile(path, bytes));

        int error = AudioError::Ok;
        const auto d = openPath(path, error);
        QVERIFY(d);
        QVERIFY2(d->frames() <= 44100, qPrintable(QString::number(d->frames())));
        QVERIFY(d->frames() > 44100 / 4);
        const qint64 reached = d->seek(d->frames() / 2);
        QVERIFY(reached >= 0 && reached <= d->frames());
    }

    // A WAV whose INFO chunk claims 1.7 GB: that much is never allocated (the fuzzer found it), and the
    // file opens or not as any damaged one.
    void hugeClaimedChunkIsNotAllocated() {
        const QByteArray bytes =
            QByteArray::fromBase64("UklGRoYGAABXQVZFZm10IBAAAAABAAEAQB8AAIA+AAAC/"
                                   "Q8ATElTVBoAAINJTkZPSVNGMFQOY2h1bmtfZHVyYXRpb24AAABMYXZmNTnm"
                                   "MjcuMTAwAGRhdGFABieMBLexu74AAAAAAAA=");
        const QString path = dir + QStringLiteral("/huge-info.wav");
        QVERIFY(sbtest::writeFile(path, bytes));
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        int error = AudioError::Ok;
        openPath(path, error);
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const long grownMiB = (after.ru_maxrss - before.ru_maxrss) / 1024;
        QVERIFY2(grownMiB < 512, qPrintable(QString::number(grownMiB)));
    }

    // A named pipe called like a track is a file that does not open, and nothing waits for a writer.
    void pipesNamedLikeTracksDoNotOpen() {
        qputenv("SDL_AUDIODRIVER", "dummy");
        auto engine = createDefaultAudioEngine();
        QVERIFY(engine->init(-1, 44100, 0, 0));
        for (const char* name : {"x.mp3", "x.flac", "x.opus"}) {
            const QString path = dir + QLatin1Char('/') + QLatin1String(name);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            QElapsedTimer t;
            t.start();
            QCOMPARE(engine->openFile(path), 0u);
            QCOMPARE(engine->lastError(), int(AudioError::FileOpen));
            QVERIFY(readAudioTags(path).title.isEmpty());
            QVERIFY(t.elapsed() < 2000);
        }
        engine->release();
    }
};

QTEST_GUILESS_MAIN(TestDecoders)
#include "tst_decoders.moc"
