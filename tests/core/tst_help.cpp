// The help-file parser: topic markers, titles, trimming and encodings.
#include "dorTools.h"
#include "helpFile.h"
#include "sbtest.h"
#include "textFile.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void topics_data();
    void topics();
    void encodings_data();
    void encodings();
    void invalidBytesKeepValidLines();
    void readHelpFileFailures();
    void readHelpFileReadsTopics();
    void notFoundTopic();
    void anyBytesGiveConsistentLists();
};

void TestHelp::topics_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("contents");

    QTest::newRow("one topic, two lines") << "[topic]Intro\r\nfirst line\r\nsecond line\r\n"
                                          << QStringList{"Intro"} << QStringList{"first line\nsecond line"};
    QTest::newRow("text before the first marker is Untitled")
        << "preface\r\n[topic]A\r\nbody" << QStringList{"Untitled", "A"} << QStringList{"preface", "body"};
    QTest::newRow("one empty line before the first marker is an empty Untitled")
        << "\r\n[topic]A\r\nbody" << QStringList{"Untitled", "A"} << QStringList{"", "body"};
    QTest::newRow("capital T is text")
        << "[Topic]A\r\nbody" << QStringList{"Untitled"} << QStringList{"[Topic]A\nbody"};
    QTest::newRow("leading blank is text")
        << "[topic]A\r\n [topic]B\r\nbody" << QStringList{"A"} << QStringList{"[topic]B\nbody"};
    QTest::newRow("marker inside a line is text")
        << "[topic]A\r\nsee [topic] here" << QStringList{"A"} << QStringList{"see [topic] here"};
    QTest::newRow("marker followed by marker drops the first") << "[topic]A\r\n[topic]B\r\nbody\r\n"
                                                               << QStringList{"B"} << QStringList{"body"};
    QTest::newRow("marker at the end gives no topic") << "[topic]A\r\nbody\r\n[topic]B\r\n"
                                                      << QStringList{"A"} << QStringList{"body"};
    QTest::newRow("marker then one empty line keeps an empty topic")
        << "[topic]A\r\n\r\n[topic]B\r\nx" << QStringList{"A", "B"} << QStringList{"", "x"};
    QTest::newRow("title blanks and tabs trimmed") << "[topic]  \tTitle with blanks \t \r\nbody"
                                                   << QStringList{"Title with blanks"} << QStringList{"body"};
    QTest::newRow("empty title kept") << "[topic]\r\nbody" << QStringList{""} << QStringList{"body"};
    QTest::newRow("blank lines trimmed at the ends, kept inside")
        << "[topic]A\r\n\r\n  \r\nfirst\r\n\r\n\r\nsecond\r\n\r\n\t\r\n"
        << QStringList{"A"} << QStringList{"first\n\n\nsecond"};
    QTest::newRow("indentation of the first line is trimmed, inner indentation kept")
        << "[topic]A\r\n   indented\r\n   also" << QStringList{"A"} << QStringList{"indented\n   also"};
    QTest::newRow("titles need not be unique") << "[topic]Same\r\none\r\n[topic]Same\r\ntwo"
                                               << QStringList{"Same", "Same"} << QStringList{"one", "two"};
    QTest::newRow("empty file") << "" << QStringList{} << QStringList{};
    QTest::newRow("only markers") << "[topic]A\r\n[topic]B" << QStringList{} << QStringList{};
    QTest::newRow("no marker at all")
        << "just text\r\nmore" << QStringList{"Untitled"} << QStringList{"just text\nmore"};
}

void TestHelp::topics() {
    QFETCH(QString, text);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, contents);
    const THelpTopics t = parseHelpText(text);
    QCOMPARE(t.titles, titles);
    QCOMPARE(t.contents, contents);
}

void TestHelp::encodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QString text = QStringLiteral("[topic]Grüße — Справка\r\nÜberall ёж\r\n");
    auto withMark = [](const QByteArray& mark, const QByteArray& body) { return mark + body; };
    QByteArray le, be;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        le.append(char(u & 0xFF)).append(char(u >> 8));
        be.append(char(u >> 8)).append(char(u & 0xFF));
    }
    QTest::newRow("UTF-8 with mark") << withMark("\xEF\xBB\xBF", text.toUtf8());
    QTest::newRow("UTF-8 without mark") << text.toUtf8();
    QTest::newRow("UTF-16 LE") << withMark("\xFF\xFE", le);
    QTest::newRow("UTF-16 BE") << withMark("\xFE\xFF", be);
}

void TestHelp::encodings() {
    QFETCH(QByteArray, bytes);
    const THelpTopics t = parseHelpText(decodeTextFile(bytes).text);
    QCOMPARE(t.titles, QStringList{QStringLiteral("Grüße — Справка")});
    QCOMPARE(t.contents, QStringList{QStringLiteral("Überall ёж")});
}

void TestHelp::invalidBytesKeepValidLines() {
    // A Latin-1 "ü" and a lone continuation byte are not UTF-8.
    const QByteArray bytes = "[topic]One\r\nvalid\r\nbad \xFC and \x80 here\r\n[topic]Two\r\nstill here\r\n";
    const THelpTopics t = parseHelpText(decodeTextFile(bytes).text);
    QCOMPARE(t.titles, (QStringList{"One", "Two"}));
    QVERIFY(t.contents.at(0).startsWith(QStringLiteral("valid\nbad ")));
    QVERIFY(t.contents.at(0).endsWith(QStringLiteral(" here")));
    QCOMPARE(t.contents.at(1), QStringLiteral("still here"));

    // UTF-16 with an odd byte count and a lone surrogate still yields its topic.
    QByteArray odd("\xFF\xFE");
    for (char c : QByteArray("[topic]T\r\nok\r\n"))
        odd.append(c).append('\0');
    odd.append("\x00\xD8", 2).append('x');
    const THelpTopics u = parseHelpText(decodeTextFile(odd).text);
    QCOMPARE(u.titles, QStringList{"T"});
    QVERIFY(u.contents.at(0).startsWith(QStringLiteral("ok")));
}

void TestHelp::readHelpFileFailures() {
    const QString dir = sbtest::makeTempDir(QStringLiteral("help-fail"));
    THelpTopics t = helpNotFoundTopics();
    QVERIFY(!readHelpFile(QString(), t));
    QVERIFY(!readHelpFile(dir + QStringLiteral("/missing.help"), t));
    QVERIFY(QDir(dir).mkpath(QStringLiteral("folder.help")));
    QVERIFY(!readHelpFile(dir + QStringLiteral("/folder.help"), t));
    QCOMPARE(t.titles, QStringList{"Welcome!"}); // untouched by the failures

    const QString locked = dir + QStringLiteral("/locked.help");
    QVERIFY(sbtest::writeFile(locked, "[topic]A\r\nb"));
    QFile::setPermissions(locked, QFileDevice::Permissions());
    if (QFile(locked).open(QIODevice::ReadOnly))
        QSKIP("running as root: permissions do not stop reading");
    QVERIFY(!readHelpFile(locked, t));
}

void TestHelp::readHelpFileReadsTopics() {
    const QString path = sbtest::makeTempDir(QStringLiteral("help-read")) + QStringLiteral("/English.help");
    QVERIFY(sbtest::writeFile(path, "\xEF\xBB\xBF[topic]Keys\r\nF1 like\r\n[topic]Options\nF12\n"));
    THelpTopics t;
    QVERIFY(readHelpFile(path, t));
    QCOMPARE(t.titles, (QStringList{"Keys", "Options"}));
    QCOMPARE(t.contents, (QStringList{"F1 like", "F12"}));

    // An empty file is read but holds no topic.
    QVERIFY(sbtest::writeFile(path, QByteArray()));
    QVERIFY(readHelpFile(path, t));
    QVERIFY(t.titles.isEmpty());
    QVERIFY(t.contents.isEmpty());
}

void TestHelp::notFoundTopic() {
    const THelpTopics t = helpNotFoundTopics();
    QCOMPARE(t.titles, QStringList{"Welcome!"});
    QCOMPARE(t.contents, QStringList{"Sorry, but help file not found! Try to reinstall the program. \n"
                                     "Visit our homepage for the latest version."});
}

void TestHelp::anyBytesGiveConsistentLists() {
    // Random bytes drawn from an alphabet rich in markers, breaks, marks and invalid sequences.
    const QByteArray pieces[] = {"[topic]",  "\r",       "\n",   "\r\n",   "\xEF\xBB\xBF",
                                 "\xFF\xFE", "\xFE\xFF", "\x80", "\xC3",   "\0",
                                 " ",        "a",        "\xD8", "[Topic]"};
    QRandomGenerator rng(20130926);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        const int n = rng.bounded(40);
        for (int i = 0; i < n; ++i) {
            const QByteArray& p = pieces[rng.bounded(int(std::size(pieces)))];
            bytes.append(p.isEmpty() ? QByteArray(1, '\0') : p);
        }
        const THelpTopics t = parseHelpText(decodeTextFile(bytes).text);
        QCOMPARE(t.titles.size(), t.contents.size());
        for (const QString& s : t.titles + t.contents)
            QCOMPARE(s, trimBlanks(s));
    }
}

QTEST_GUILESS_MAIN(TestHelp)
#include "tst_help.moc"
