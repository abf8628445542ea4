// Tags of a track for the desktop's player applets: an ID3v2 tag in front, an ID3v1 tag at the end as the
// fallback field by field, and nothing for files that hold no tag or are no track at all.
#include "AudioDecoder.h"
#include "sbtest.h"

#include <QDir>
#include <QTest>
#include <sys/stat.h>

namespace {

QByteArray syncsafe(quint32 n) {
    QByteArray b(4, '\0');
    for (int i = 3; i >= 0; --i, n >>= 7)
        b[i] = char(n & 0x7F);
    return b;
}

// An ID3v2.4 tag with UTF-8 text frames; empty values are left out.
QByteArray id3v2(const QString& title, const QString& artist, const QString& album) {
    QByteArray frames;
    const std::pair<const char*, QString> fields[] = {{"TIT2", title}, {"TPE1", artist}, {"TALB", album}};
    for (const auto& [id, value] : fields) {
        if (value.isEmpty())
            continue;
        const QByteArray data = '\x03' + value.toUtf8(); // encoding 3: UTF-8
        frames += QByteArray(id) + syncsafe(quint32(data.size())) + QByteArray(2, '\0') + data;
    }
    return QByteArray("ID3\x04\x00\x00", 6) + syncsafe(quint32(frames.size())) + frames;
}

QByteArray id3v1(const QByteArray& title, const QByteArray& artist, const QByteArray& album) {
    auto field = [](QByteArray v, int n) { return v.leftJustified(n, '\0', true); };
    return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field("2026", 4) +
           field("", 30) + QByteArray(1, '\xff');
}

} // namespace

class TestTrackTags : public QObject {
    Q_OBJECT
    QByteArray audio;
    QString dir;

private slots:
    void initTestCase() {
        sbtest::ToneSpec tone;
        tone.seconds = 1;
        tone.channels = 1;
        tone.bitrate = 32;
        audio = sbtest::toneMp3(tone);
        QVERIFY(!audio.isEmpty());
        dir = sbtest::makeTempDir(QStringLiteral("tags"));
    }

    void readsTheTags_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("album");
        const QString summer = QStringLiteral("Лето · Été");
        QTest::newRow("ID3v2, any script") << id3v2(summer, "Ночь", "Alb") << QByteArray() << summer
                                           << QStringLiteral("Ночь") << QStringLiteral("Alb");
        QTest::newRow("ID3v1 only") << QByteArray() << id3v1("Old Title", "Old Artist", "Old Album")
                                    << QStringLiteral("Old Title") << QStringLiteral("Old Artist")
                                    << QStringLiteral("Old Album");
        QTest::newRow("ID3v1 in Latin-1")
            << QByteArray() << id3v1("Caf\xe9", "", "") << QStringLiteral("Café") << QString() << QString();
        QTest::newRow("ID3v2 wins, ID3v1 fills its gaps")
            << id3v2("New", "", "") << id3v1("Old", "Artist v1", "") << QStringLiteral("New")
            << QStringLiteral("Artist v1") << QString();
        QTest::newRow("no tag") << QByteArray() << QByteArray() << QString() << QString() << QString();
    }
    void readsTheTags() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, tail);
        const QString path = dir + '/' + QString::fromLatin1(QTest::currentDataTag()) + ".mp3";
        QVERIFY(sbtest::writeFile(path, head + audio + tail));
        const AudioTags tags = readAudioTags(path);
        QTEST(tags.title, "title");
        QTEST(tags.artist, "artist");
        QTEST(tags.album, "album");
    }

    // Nothing to read: empty tags, never a hang on a pipe or an error.
    void notATrackGivesNoTags_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << dir + "/missing.mp3";
        QTest::newRow("folder") << dir;
        QTest::newRow("garbage") << dir + "/garbage.mp3";
        QTest::newRow("fifo") << dir + "/fifo.mp3";
    }
    void notATrackGivesNoTags() {
        QFETCH(QString, path);
        sbtest::writeFile(dir + "/garbage.mp3", QByteArray(5000, 'x'));
        QDir().mkpath(dir);
        ::mkfifo(QFile::encodeName(dir + "/fifo.mp3").constData(), 0600);
        const AudioTags tags = readAudioTags(path);
        QVERIFY(tags.title.isEmpty() && tags.artist.isEmpty() && tags.album.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTrackTags)
#include "tst_tracktags.moc"
