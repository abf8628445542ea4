// Hostile files given to every reader of text files: settings, language and help files with bytes no
// editor writes. Each reader keeps the valid lines around the damage and never crashes; a folder in the
// place of the file is reported the way each reader reports an unreadable file. Also the inputs the
// fuzz targets found, kept as regression cases.
#include "dorOptions.h"
#include "dorTools.h"
#include "helpFile.h"
#include "languageTexts.h"
#include "sbtest.h"

#include <QDir>
#include <QStringEncoder>
#include <QTest>

namespace {

QByteArray raw(const char* bytes, qsizetype size) {
    return QByteArray(bytes, size);
}

QByteArray utf16le(const QString& text) {
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return encoder.encode(text);
}

const QString megaValue(1024 * 1024, QLatin1Char('x'));

} // namespace

class TstHostile : public QObject {
    Q_OBJECT

    QString dir;

    QString fileWith(const QString& name, const QByteArray& bytes) {
        const QString path = dir + QLatin1Char('/') + name;
        if (!sbtest::writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Rows: a damaged middle line between two valid lines, in the byte forms each reader must survive.
    // `head` and `tail` frame the middle for a reader; `middle` is the damaged key's expected value.
    static void hostileRows() {
        QTest::addColumn<QByteArray>("middle");   // the bytes of "mid=..." without its line break
        QTest::addColumn<QString>("midValue");    // what a reader must give for the key "mid"
        QTest::addColumn<bool>("utf16");          // the whole file is UTF-16 LE with a mark
        QTest::addColumn<QByteArray>("trailing"); // bytes after the last line

        QTest::newRow("nul bytes") << raw("mid=a\0\0b", 8) << QString::fromUtf16(u"a\0\0b", 4) << false
                                   << QByteArray();
        QTest::newRow("line of 1 MB") << "mid=" + megaValue.toLatin1() << megaValue << false << QByteArray();
        QTest::newRow("invalid utf-8") << QByteArray("mid=a\xFF"
                                                     "b\xC3(c\xED\xA0\x80")
                                       << QString() << false << QByteArray();
        QTest::newRow("utf-16 mark, odd byte count")
            << QByteArray("mid=3") << QStringLiteral("3") << true << QByteArray("\x41", 1);
        QTest::newRow("utf-16 mark, odd byte count, cut character")
            << QByteArray("mid=3") << QStringLiteral("3") << true << QByteArray("\x3d\x00\xd8", 3);
    }

    // The file a reader gets: `head`, a first valid line, the damaged middle line, a last valid line.
    static QByteArray hostileFile(const QString& head, const QString& first, const QString& last) {
        QFETCH(QByteArray, middle);
        QFETCH(bool, utf16);
        QFETCH(QByteArray, trailing);
        const QString crlf = QStringLiteral("\r\n");
        if (utf16)
            return "\xFF\xFE" +
                   utf16le(head + first + crlf + QString::fromUtf8(middle) + crlf + last + crlf) + trailing;
        return (head + first + crlf).toUtf8() + middle + (crlf + last + crlf).toUtf8() + trailing;
    }

    static void checkMiddle(const QString& value) {
        QFETCH(QString, midValue);
        if (!midValue.isNull()) {
            QCOMPARE(value.size(), midValue.size());
            QCOMPARE(value, midValue);
            return;
        }
        // Invalid sequences: each becomes U+FFFD, the valid letters between them stay in order.
        QVERIFY2(value.startsWith(QLatin1Char('a')) && value.contains(QChar::ReplacementCharacter) &&
                     value.indexOf(QLatin1Char('b')) < value.indexOf(QStringLiteral("(c")),
                 qPrintable(value));
    }

private slots:
    void init() { dir = sbtest::makeTempDir(QStringLiteral("hostile")); }

    void settingsFile_data() { hostileRows(); }
    void settingsFile() {
        const QString path = fileWith(
            QStringLiteral("sonabin.ini"),
            hostileFile(QStringLiteral("[common]\r\n"), QStringLiteral("first=1"), QStringLiteral("last=2")));
        const QString common = QStringLiteral("common");
        for (int round = 0; round < 2; ++round) {
            // The second round reads what the store saved from the first.
            TOptionsBase options(path);
            QCOMPARE(options.ReadInteger(common, QStringLiteral("first"), 0), 1);
            QCOMPARE(options.ReadInteger(common, QStringLiteral("last"), 0), 2);
            checkMiddle(options.ReadString(common, QStringLiteral("mid"), QString()));
            options.Save();
        }
    }

    void languageFile_data() { hostileRows(); }
    void languageFile() {
        const QString path =
            fileWith(QStringLiteral("Deutsch.lng"),
                     hostileFile(QString(), QStringLiteral("first=1"), QStringLiteral("last=2")));
        for (int round = 0; round < 2; ++round) {
            TTexts texts;
            QVERIFY(texts.loadFromFile(path));
            QCOMPARE(texts.getText(QStringLiteral("first"), QString()), QStringLiteral("1"));
            QCOMPARE(texts.getText(QStringLiteral("last"), QString()), QStringLiteral("2"));
            checkMiddle(texts.value(QStringLiteral("mid")));
            QVERIFY(texts.saveToFile(path));
        }
    }

    void helpFile_data() { hostileRows(); }
    void helpFile() {
        const QString path = fileWith(QStringLiteral("English.help"),
                                      hostileFile(QStringLiteral("[topic] Keys\r\n"),
                                                  QStringLiteral("first=1"), QStringLiteral("last=2")));
        THelpTopics topics;
        QVERIFY(readHelpFile(path, topics));
        QCOMPARE(topics.titles, QStringList{QStringLiteral("Keys")});
        const QStringList lines = topics.contents.value(0).split(QLatin1Char('\n'));
        QVERIFY(lines.size() >= 3);
        QCOMPARE(lines.at(0), QStringLiteral("first=1"));
        QVERIFY(lines.at(1).startsWith(QStringLiteral("mid=")));
        checkMiddle(lines.at(1).mid(4));
        QCOMPARE(lines.at(2), QStringLiteral("last=2"));
    }

    // A folder where the file should be: the settings store reports it with the path, the language
    // store keeps the texts it has, the help viewer keeps the topics it shows.
    void folderInPlaceOfFile() {
        const QString ini = dir + QStringLiteral("/sonabin.ini");
        QVERIFY(QDir().mkdir(ini));
        try {
            TOptionsBase options(ini);
            QFAIL("a folder was read as the settings file");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(ini), qPrintable(e.text()));
        }

        const QString lng = dir + QStringLiteral("/Deutsch.lng");
        QVERIFY(QDir().mkdir(lng));
        TTexts texts;
        texts.fromBytes("k=kept\r\n");
        QVERIFY(!texts.loadFromFile(lng));
        QCOMPARE(texts.lines(), QStringList{QStringLiteral("k=kept")});
        QVERIFY(!texts.saveToFile(lng));
        QVERIFY(QFileInfo(lng).isDir());

        const QString help = dir + QStringLiteral("/English.help");
        QVERIFY(QDir().mkdir(help));
        THelpTopics topics = helpNotFoundTopics();
        QVERIFY(!readHelpFile(help, topics));
        QCOMPARE(topics.titles, helpNotFoundTopics().titles);
    }

    // Inputs found by fuzz/fuzz_texts.
    void languageFuzzFindings_data() {
        QTest::addColumn<QByteArray>("bytes");
        // A file of nothing but a mark was written back without it, and so read back as UTF-8.
        QTest::newRow("utf-8 mark only") << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("utf-16 le mark only") << QByteArray("\xFF\xFE");
        QTest::newRow("utf-16 be mark only") << QByteArray("\xFE\xFF");
    }
    void languageFuzzFindings() {
        QFETCH(QByteArray, bytes);
        TTexts texts;
        texts.fromBytes(bytes);
        TTexts again;
        again.fromBytes(texts.toBytes());
        QCOMPARE(again.lines(), texts.lines());
        QCOMPARE(again.encoding(), texts.encoding());
        QCOMPARE(again.hasBom(), texts.hasBom());
    }
};

QTEST_GUILESS_MAIN(TstHostile)
#include "tst_hostile.moc"
