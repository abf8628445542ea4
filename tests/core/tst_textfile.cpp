// The text-file reader shared by the settings, language and help stores: marks, invalid bytes, the
// limits on what is read, and line breaks. The stores' own tests cover writing back.
#include "sbtest.h"
#include "textFile.h"

#include <QDir>
#include <QTest>
#include <sys/stat.h>

class TstTextFile : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void lineBreaks_data();
    void lineBreaks();
};

namespace {

// How the path is made before it is read.
enum Kind { Regular, Missing, Folder, Fifo, DevZeroLink };

QByteArray raw(const char* bytes, qsizetype size) {
    return QByteArray(bytes, size);
}

} // namespace

void TstTextFile::read_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("maxSize");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("bom");

    const int utf8 = QStringConverter::Utf8;
    const int le = QStringConverter::Utf16LE;
    const int be = QStringConverter::Utf16BE;
    const qint64 limit = 1024;
    const QString text = QString::fromUtf8("a=ü\r\n€");
    const QString bad = QString(QChar::ReplacementCharacter);

    QTest::newRow("utf-8 mark") << int(Regular) << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << limit << true
                                << text << utf8 << true;
    QTest::newRow("utf-16 le mark") << int(Regular) << raw("\xFF\xFE=\0\xFC\0\n\0\xAC\x20", 10) << limit
                                    << true << QString::fromUtf8("=ü\n€") << le << true;
    QTest::newRow("utf-16 be mark") << int(Regular) << raw("\xFE\xFF\0=\0\xFC\0\n\x20\xAC", 10) << limit
                                    << true << QString::fromUtf8("=ü\n€") << be << true;
    QTest::newRow("no mark is utf-8")
        << int(Regular) << text.toUtf8() << limit << true << text << utf8 << false;
    // Invalid bytes become U+FFFD, those of a sequence cut off by the end of the file too; the letters and
    // line breaks around them stay.
    QTest::newRow("invalid utf-8") << int(Regular) << QByteArray("a\n\xFF\xC3(\r\nb\xE2\x82") << limit << true
                                   << "a\n" + bad + bad + "(\r\nb" + bad + bad << utf8 << false;
    QTest::newRow("utf-16 mark, odd byte count")
        << int(Regular) << raw("\xFF\xFEo\0k\0\n\0x", 9) << limit << true << "ok\n" + bad << le << true;
    QTest::newRow("empty file") << int(Regular) << QByteArray() << limit << true << QString() << utf8
                                << false;
    QTest::newRow("at the size limit") << int(Regular) << QByteArray(8, 'x') << qint64(8) << true
                                       << QString(8, QLatin1Char('x')) << utf8 << false;
    QTest::newRow("one byte over the size limit")
        << int(Regular) << QByteArray(9, 'x') << qint64(8) << false << QString() << utf8 << false;
    QTest::newRow("missing") << int(Missing) << QByteArray() << limit << false << QString() << utf8 << false;
    QTest::newRow("folder") << int(Folder) << QByteArray() << limit << false << QString() << utf8 << false;
    // Opening a FIFO would wait for a writer forever.
    QTest::newRow("fifo") << int(Fifo) << QByteArray() << limit << false << QString() << utf8 << false;
    // A device never ends.
    QTest::newRow("link to /dev/zero")
        << int(DevZeroLink) << QByteArray() << limit << false << QString() << utf8 << false;
}

void TstTextFile::read() {
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, maxSize);
    QFETCH(bool, ok);
    QFETCH(QString, text);
    QFETCH(int, encoding);
    QFETCH(bool, bom);

    const QString path = sbtest::makeTempDir(QStringLiteral("textfile")) + QStringLiteral("/file.txt");
    switch (kind) {
    case Regular:
        QVERIFY(sbtest::writeFile(path, bytes));
        break;
    case Folder:
        QVERIFY(QDir().mkdir(path));
        break;
    case Fifo:
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    case DevZeroLink:
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        break;
    default:
        break;
    }

    SbText error;
    const std::optional<TTextFile> file = readTextFile(path, maxSize, &error);
    QCOMPARE(file.has_value(), ok);
    if (!ok) {
        QVERIFY(!error.english().isEmpty());
        return;
    }
    QCOMPARE(file->text, text);
    QCOMPARE(int(file->encoding), encoding);
    QCOMPARE(file->bom, bom);
    // What was read is what the bytes decode to.
    QCOMPARE(decodeTextFile(bytes).text, text);
}

void TstTextFile::lineBreaks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("lone LF") << "a\nb" << QStringList{"a", "b"};
    QTest::newRow("lone CR") << "a\rb\r" << QStringList{"a", "b"};
    QTest::newRow("LF CR is two breaks") << "a\n\rb" << QStringList{"a", "", "b"};
    QTest::newRow("mixed with empty lines") << "a\r\n\r\rb\n\nc" << QStringList{"a", "", "", "b", "", "c"};
    QTest::newRow("only a break") << "\r\n" << QStringList{""};
    QTest::newRow("nothing") << "" << QStringList{};
}

void TstTextFile::lineBreaks() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(splitTextLines(text), lines);
}

QTEST_GUILESS_MAIN(TstTextFile)
#include "tst_textfile.moc"
