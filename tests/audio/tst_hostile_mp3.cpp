// Hostile MP3 files given to the player on the real engine: frame sync words every few bytes, and files
// of 200 MB that are almost all hole (sparse, made with ftruncate). None crashes or hangs; a file that
// does not open ends at the first tick, one that opens plays to an end where the position equals the
// length, and the player reports the end once either way.
#include "AudioEngine.h"
#include "dorBass.h"
#include "sbtest.h"
#include "spyEngine.h"

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

class TestHostileMp3 : public QObject {
    Q_OBJECT

    QString dir;

private slots:
    void initTestCase() {
        dir = sbtest::makeTempDir(QStringLiteral("hostile-mp3"));
        // The disk driver without its real-time delay: a junk file that decodes to minutes of noise
        // plays through in moments, and nothing is heard.
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", "/dev/null");
        qputenv("SDL_DISKAUDIODELAY", "0");
    }

    void playsOrSkips_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qint64>("size"); // beyond the head: a hole up to this size
        QTest::addColumn<int>("expect");  // -1 does not open, 1 opens and plays, 0 either
        QTest::addColumn<qint64>("exactLength");

        const QByteArray tagged = sbtest::toneMp3(tone(0.5, true));
        const QByteArray plain = sbtest::toneMp3(tone(0.5, false));
        const qint64 halfSecond = 44100 / 2 * 4;

        for (int step : {2, 3, 4, 5, 8, 13}) {
            const QByteArray junk = syncEvery(step, 256 * 1024);
            QTest::addRow("sync word every %d bytes", step) << junk << qint64(0) << 0 << qint64(-1);
        }
        QTest::newRow("tone, then sync words every 3 bytes")
            << plain + syncEvery(3, 64 * 1024) << qint64(0) << 1 << qint64(-1);
        QTest::newRow("sync words, then a tone")
            << syncEvery(4, 4096) + plain << qint64(0) << 1 << qint64(-1);
        QTest::newRow("sparse 200 MB, nothing but the hole")
            << QByteArray() << kSparseSize << -1 << qint64(-1);
        QTest::newRow("sparse 200 MB after a tone with its length header")
            << tagged << kSparseSize << 1 << halfSecond;
        QTest::newRow("sparse 200 MB after a tone without header") << plain << kSparseSize << 1 << qint64(-1);
        QTest::newRow("sparse 200 MB after sync words")
            << syncEvery(5, 8192) << kSparseSize << 0 << qint64(-1);
    }
    void playsOrSkips() {
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFETCH(int, expect);
        QFETCH(qint64, exactLength);
        const QString path = dir + QStringLiteral("/track.mp3");
        QVERIFY(size > 0 ? writeSparse(path, head, size) : sbtest::writeFile(path, head));
        if (size > 0) {
            // Really a hole: the file takes far less room than its size.
            struct stat st {};
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
            QCOMPARE(qint64(st.st_size), size);
            QVERIFY(qint64(st.st_blocks) * 512 < 16 * 1024 * 1024);
        }

        auto real = createDefaultAudioEngine();
        sbtest::SpyEngine engine(*real);
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

QTEST_MAIN(TestHostileMp3)
#include "tst_hostile_mp3.moc"
