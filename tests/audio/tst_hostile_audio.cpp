// Hostile audio files given to the player on the real engine: MP3 frame sync words every few bytes, files
// of 200 MB that are almost all hole (sparse, made with ftruncate), and damaged FLAC, Ogg, Opus, MP4 and
// WAV files made from ffmpeg tones. None crashes or hangs; a file that does not open ends at the first
// tick, one that opens plays to an end where the position equals the length, and the player reports the
// end once either way.
#include "AudioEngine.h"
#include "dorBass.h"
#include "engineDouble.h"
#include "sbtest.h"

#include <QFile>
#include <QtTest>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kSparseSize = 200LL * 1024 * 1024;

// An MPEG-1 Layer III frame header (128 kbit/s, 44.1 kHz, joint stereo), that is a frame sync word
// followed by plausible fields.
const QByteArray kHeader("\xFF\xFB\x90\x64", 4);

// `size` bytes with a header every `step` bytes; the bytes between come from a fixed random sequence.
QByteArray syncEvery(int step, qsizetype size) {
    std::mt19937 rng(static_cast<unsigned>(step) * 7919u);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    for (qsizetype at = 0; at + kHeader.size() <= size; at += step)
        bytes.replace(at, kHeader.size(), kHeader);
    return bytes;
}

sbtest::ToneSpec tone(double seconds, bool lameTag) {
    sbtest::ToneSpec s;
    s.seconds = seconds;
    s.lameTag = lameTag;
    return s;
}

QByteArray randomBytes(int size, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    return bytes;
}

// `bytes` with `count` bytes at `at` replaced by `with` (repeated as needed).
QByteArray patched(QByteArray bytes, qsizetype at, const QByteArray& with) {
    if (at >= 0 && at + with.size() <= bytes.size())
        bytes.replace(at, with.size(), with);
    return bytes;
}

// Little-endian 32-bit value.
QByteArray le32(quint32 v) {
    return QByteArray(1, char(v)) + char(v >> 8) + char(v >> 16) + char(v >> 24);
}

// Writes `head` and extends the file to `size` with ftruncate, so that the rest is a hole.
bool writeSparse(const QString& path, const QByteArray& head, qint64 size) {
    if (!sbtest::writeFile(path, head))
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    return ok;
}

} // namespace

class TestHostileAudio : public QObject {
    Q_OBJECT

    QString dir;

private slots:
    void initTestCase() {
        dir = sbtest::makeTempDir(QStringLiteral("hostile-audio"));
        // The disk driver without its real-time delay: a junk file that decodes to minutes of noise
        // plays through in moments, and nothing is heard.
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", "/dev/null");
        qputenv("SDL_DISKAUDIODELAY", "0");
    }

    void playsOrSkips_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qint64>("size"); // beyond the head: a hole up to this size
        QTest::addColumn<int>("expect");  // -1 does not open, 1 opens and plays, 0 either
        QTest::addColumn<qint64>("exactLength");

        const QByteArray tagged = sbtest::toneMp3(tone(0.5, true));
        const QByteArray plain = sbtest::toneMp3(tone(0.5, false));
        const qint64 halfSecond = 44100 / 2 * 4;

        for (int step : {2, 3, 4, 5, 8, 13}) {
            const QByteArray junk = syncEvery(step, 256 * 1024);
            QTest::addRow("sync word every %d bytes", step)
                << QStringLiteral("track.mp3") << junk << qint64(0) << 0 << qint64(-1);
        }
        QTest::newRow("tone, then sync words every 3 bytes")
            << QStringLiteral("track.mp3") << plain + syncEvery(3, 64 * 1024) << qint64(0) << 1 << qint64(-1);
        QTest::newRow("sync words, then a tone")
            << QStringLiteral("track.mp3") << syncEvery(4, 4096) + plain << qint64(0) << 1 << qint64(-1);
        QTest::newRow("sparse 200 MB, nothing but the hole")
            << QStringLiteral("track.mp3") << QByteArray() << kSparseSize << -1 << qint64(-1);
        QTest::newRow("sparse 200 MB after a tone with its length header")
            << QStringLiteral("track.mp3") << tagged << kSparseSize << 1 << halfSecond;
        QTest::newRow("sparse 200 MB after a tone without header")
            << QStringLiteral("track.mp3") << plain << kSparseSize << 1 << qint64(-1);
        QTest::newRow("sparse 200 MB after sync words")
            << QStringLiteral("track.mp3") << syncEvery(5, 8192) << kSparseSize << 0 << qint64(-1);

        // The other formats: one second of tone each, then damaged.
        const qint64 second = 44100 * 4;
        const QByteArray flac = sbtest::toneFfmpeg("flac", 44100);
        const QByteArray vorbis = sbtest::toneFfmpeg("vorbis", 44100);
        const QByteArray opus = sbtest::toneFfmpeg("opus", 48000, 440, 48000);
        const QByteArray m4a = sbtest::toneFfmpeg("aac", 44100); // moov after the audio, as ffmpeg writes it
        const QByteArray fastStart =
            sbtest::toneFfmpeg("aac", 44100, 440, 44100, 2, {"-movflags", "+faststart"});
        const QByteArray wav = sbtest::toneFfmpeg("wav", 44100);
        QVERIFY(!flac.isEmpty() && !vorbis.isEmpty() && !opus.isEmpty() && !m4a.isEmpty() &&
                !fastStart.isEmpty() && !wav.isEmpty());
        QTest::newRow("FLAC, whole") << QStringLiteral("tone.flac") << flac << qint64(0) << 1 << second;
        QTest::newRow("FLAC truncated at 60 %")
            << QStringLiteral("truncated.flac") << flac.left(flac.size() * 3 / 5) << qint64(0) << 1
            << qint64(-1);
        QTest::newRow("FLAC cut inside its header")
            << QStringLiteral("header-only.flac") << flac.left(30) << qint64(0) << -1 << qint64(-1);
        QTest::newRow("FLAC frames overwritten with noise")
            << QStringLiteral("noise-inside.flac") << patched(flac, flac.size() / 3, randomBytes(4096, 1))
            << qint64(0) << 1 << second;
        QTest::newRow("FLAC, then a 200 MB hole")
            << QStringLiteral("hole.flac") << flac << kSparseSize << 0 << qint64(-1);
        // Five seconds, so that there are audio pages well after the headers.
        const QByteArray vorbis5 = sbtest::toneFfmpeg("vorbis", 5 * 44100);
        const qsizetype page = vorbis5.indexOf("OggS", vorbis5.size() * 3 / 4);
        QTest::newRow("Ogg Vorbis with a broken page")
            << QStringLiteral("broken-page.ogg") << patched(vorbis5, page + 40, randomBytes(200, 2))
            << qint64(0) << 1 << qint64(-1);
        QTest::newRow("Ogg Vorbis cut inside a page")
            << QStringLiteral("cut.oga") << vorbis5.left(page + 100) << qint64(0) << 1 << qint64(-1);
        QTest::newRow("Ogg Vorbis cut inside its setup header")
            << QStringLiteral("cut-setup.ogg") << vorbis.left(vorbis.indexOf("OggS", 1) + 200) << qint64(0)
            << -1 << qint64(-1);
        QByteArray noPages = vorbis;
        noPages.replace("OggS", "XggS");
        QTest::newRow("Ogg without capture patterns")
            << QStringLiteral("no-pages.ogg") << noPages << qint64(0) << 0 << qint64(-1);
        const qsizetype head = opus.indexOf("OpusHead");
        QTest::newRow("Opus, whole") << QStringLiteral("tone.opus") << opus << qint64(0) << 1
                                     << qint64(48000 * 4);
        QTest::newRow("Opus header with 0 channels")
            << QStringLiteral("no-channels.opus") << patched(opus, head + 9, QByteArray(1, '\0')) << qint64(0)
            << -1 << qint64(-1);
        QTest::newRow("Opus header of version 255")
            << QStringLiteral("version.opus") << patched(opus, head + 8, QByteArray(1, '\xff')) << qint64(0)
            << 0 << qint64(-1);
        QTest::newRow("Opus pre-skip longer than the stream")
            << QStringLiteral("pre-skip.opus") << patched(opus, head + 10, QByteArray("\xff\xff", 2))
            << qint64(0) << 0 << qint64(-1);
        QTest::newRow("Opus header with 255 channels, mapping 0")
            << QStringLiteral("many-channels.opus") << patched(opus, head + 9, QByteArray(1, '\xff'))
            << qint64(0) << 0 << qint64(-1);
        QTest::newRow("MP4 with moov last")
            << QStringLiteral("moov-last.m4a") << m4a << qint64(0) << 1 << second;
        QTest::newRow("MP4 with moov first")
            << QStringLiteral("moov-first.m4a") << fastStart << qint64(0) << 1 << second;
        QByteArray noMoov = m4a;
        noMoov.replace("moov", "nope"); // not "free": FFmpeg looks for a lost moov inside free atoms
        QTest::newRow("MP4 without moov")
            << QStringLiteral("no-moov.m4a") << noMoov << qint64(0) << -1 << qint64(-1);
        QTest::newRow("MP4 cut before its moov")
            << QStringLiteral("cut-moov.m4a") << m4a.left(m4a.indexOf("moov") + 16) << qint64(0) << -1
            << qint64(-1);
        QTest::newRow("MP4 with a moov size past the end")
            << QStringLiteral("moov-size.m4a")
            << patched(m4a, m4a.indexOf("moov") - 4, QByteArray("\x7f\xff\xff\xf0", 4)) << qint64(0) << 0
            << qint64(-1);
        const qsizetype data = wav.indexOf("data");
        QTest::newRow("WAV, whole") << QStringLiteral("tone.wav") << wav << qint64(0) << 1 << second;
        QTest::newRow("WAV claiming more data than it holds")
            << QStringLiteral("lying-size.wav") << patched(wav, data + 4, le32(0x7ffffff0)) << qint64(0) << 1
            << second;
        QTest::newRow("WAV claiming less data than it holds")
            << QStringLiteral("short-claim.wav") << patched(wav, data + 4, le32(quint32(second / 2)))
            << qint64(0) << 1 << second / 2;
        QTest::newRow("WAV with 0 channels")
            << QStringLiteral("no-channels.wav")
            << patched(wav, wav.indexOf("fmt ") + 10, QByteArray(2, '\0')) << qint64(0) << -1 << qint64(-1);
        QTest::newRow("WAV with a rate of 0")
            << QStringLiteral("no-rate.wav") << patched(wav, wav.indexOf("fmt ") + 12, le32(0)) << qint64(0)
            << -1 << qint64(-1);
        QTest::newRow("WAV with a block size of 0")
            << QStringLiteral("no-block.wav") << patched(wav, wav.indexOf("fmt ") + 20, QByteArray(2, '\0'))
            << qint64(0) << 0 << qint64(-1);
        QTest::newRow("WAV of one second, then a 200 MB hole")
            << QStringLiteral("hole.wav") << wav << kSparseSize << 1 << second;
        for (const char* ext : {"flac", "ogg", "oga", "opus", "m4a", "wav"}) {
            QTest::addRow("random bytes as .%s", ext)
                << QStringLiteral("random.") + QLatin1String(ext) << randomBytes(64 * 1024, 3) << qint64(0)
                << 0 << qint64(-1);
        }
        const QByteArray magics[] = {QByteArray("fLaC"), QByteArray("OggS"),
                                     QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16),
                                     QByteArray("\0\0\0\x20"
                                                "ftypM4A ",
                                                12)};
        for (const QByteArray& magic : magics) {
            QTest::addRow("%s then random bytes", magic.toPercentEncoding().constData())
                << QStringLiteral("magic.m4a") << magic + randomBytes(64 * 1024, 4) << qint64(0) << 0
                << qint64(-1);
        }
    }

    void playsOrSkips() {
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFETCH(int, expect);
        QFETCH(qint64, exactLength);
        const QString path = dir + QLatin1Char('/') + name;
        QVERIFY(size > 0 ? writeSparse(path, head, size) : sbtest::writeFile(path, head));
        if (size > 0) {
            // Really a hole: the file takes far less room than its size.
            struct stat st {};
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
            QCOMPARE(qint64(st.st_size), size);
            QVERIFY(qint64(st.st_blocks) * 512 < 16 * 1024 * 1024);
        }

        auto real = createDefaultAudioEngine();
        sbtest::EngineDouble engine(*real);
        TBassPlayer player(engine, 0);
        QVERIFY(player.Valid());
        int completes = 0;
        qint64 endPosition = -2;
        qint64 endLength = -2;
        player.setOnComplete([&](TBassPlayer* p) {
            ++completes;
            endPosition = p->Position();
            endLength = engine.length(engine.lastHandle);
        });
        player.PlayTrack(path);
        const qint64 atOpen = player.PositionMax();
        if (expect < 0)
            QCOMPARE(atOpen, qint64(-1));
        if (expect > 0)
            QVERIFY2(atOpen > 0, qPrintable(QString::number(atOpen)));
        if (exactLength > 0)
            QCOMPARE(atOpen, exactLength);

        QTRY_COMPARE_WITH_TIMEOUT(completes, 1, 60000);
        if (atOpen < 0) {
            QCOMPARE(endPosition, qint64(-1));
        } else {
            // The end reached is the stream's length, which may have been corrected by the real end.
            QVERIFY2(endPosition > 0, qPrintable(QString::number(endPosition)));
            QCOMPARE(endPosition, endLength);
        }
        // One end only: the timer is off and nothing more is reported.
        QVERIFY(!player.timerActive());
        QTest::qWait(600);
        QCOMPARE(completes, 1);
        QFile::remove(path);
    }
};

QTEST_GUILESS_MAIN(TestHostileAudio)
#include "tst_hostile_audio.moc"
