// The text store of the language files: entry rules, encodings, listing of language files.
#include "languageTexts.h"
#include "sbText.h"
#include "sbtest.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>
#include <cerrno>

class TstTexts : public QObject {
    Q_OBJECT
private slots:
    void lookup_data();
    void lookup();
    void writeRules();
    void decode_data();
    void decode();
    void writesBackInEncodingRead_data();
    void writesBackInEncodingRead();
    void invalidUtf8KeepsLines_data();
    void invalidUtf8KeepsLines();
    void survivesArbitraryBytes();
    void loadFailuresKeepLines();
    void saveReplacesWholeFile();
    void listsByExtensionInAnyCase();
    void messageFill_data();
    void messageFill();
    void messageInLanguage();
};

static TTexts textsOf(const QStringList& lines) {
    TTexts t;
    t.fromBytes(lines.join(QLatin1Char('\n')).toUtf8());
    return t;
}

void TstTexts::lookup_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("expected"); // getText with the default "DEF"

    QTest::newRow("plain") << QStringList{"txt_build=Bau"} << "txt_build" << true << "Bau";
    QTest::newRow("empty value gives default") << QStringList{"txt_build="} << "txt_build" << true << "DEF";
    QTest::newRow("key in capitals") << QStringList{"TXT_BUILD=Bau"} << "txt_build" << true << "Bau";
    QTest::newRow("lookup in capitals") << QStringList{"txt_build=Bau"} << "Txt_Build" << true << "Bau";
    QTest::newRow("blank before = is part of key")
        << QStringList{"txt_build =Bau"} << "txt_build" << false << "DEF";
    QTest::newRow("blank after = is part of value")
        << QStringList{"txt_build= Bau "} << "txt_build" << true << " Bau ";
    QTest::newRow("first = splits") << QStringList{"a=b=c"} << "a" << true << "b=c";
    QTest::newRow("first line wins") << QStringList{"k=first", "K=second"} << "k" << true << "first";
    QTest::newRow("empty first line still wins") << QStringList{"k=", "k=second"} << "k" << true << "DEF";
    QTest::newRow("lines without = ignored")
        << QStringList{"; remark k", "", "k", "k=v"} << "k" << true << "v";
    QTest::newRow("missing") << QStringList{"a=1"} << "b" << false << "DEF";
    QTest::newRow("non-ASCII value") << QStringList{"def_libs=Избранное,Архив"} << "def_libs" << true
                                     << QString::fromUtf8("Избранное,Архив");
}

void TstTexts::lookup() {
    QFETCH(QStringList, lines);
    QFETCH(QString, key);
    QFETCH(bool, present);
    QFETCH(QString, expected);
    const TTexts t = textsOf(lines);
    QCOMPARE(t.lines(), lines);
    QCOMPARE(t.contains(key), present);
    QCOMPARE(t.getText(key, QStringLiteral("DEF")), expected);
}

void TstTexts::writeRules() {
    TTexts t = textsOf({"; remark", "a=1", "B=2", "b=3"});
    t.setText("A", "one"); // replaces the first line, keeps its position, key as written now
    QCOMPARE(t.lines(), (QStringList{"; remark", "A=one", "B=2", "b=3"}));
    t.setText("c", "x=y"); // appended
    QCOMPARE(t.lines().last(), QStringLiteral("c=x=y"));
    t.setText("b", ""); // removes only the first "b" line, so the second one answers now
    QCOMPARE(t.lines(), (QStringList{"; remark", "A=one", "b=3", "c=x=y"}));
    QCOMPARE(t.getText("b", "DEF"), QStringLiteral("3"));
    t.setText("missing", ""); // nothing to remove
    QCOMPARE(t.lines().size(), 4);

    // An entry must stay one line of the file.
    t.setText("multi", "one\r\ntwo\nthree");
    QCOMPARE(t.value("multi"), QStringLiteral("one  two three"));
    const qsizetype before = t.lines().size();
    t.setText("", "v");
    t.setText("k=v", "w");
    t.setText("k\nv", "w");
    QCOMPARE(t.lines().size(), before);

    t.clear();
    QVERIFY(t.lines().isEmpty());
}

static QByteArray encoded(const QString& text, QStringConverter::Encoding enc, bool bom) {
    QStringEncoder e(enc, bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    return e.encode(text);
}

void TstTexts::decode_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("bom");

    // CR LF, a lone LF, a lone CR, a blank line and no final line break, with text beyond Latin-1.
    const QString text = QString::fromUtf8("a=Grüße\r\nb=Привет\nc=Γειά\r\rd=€ 𝄞");
    QTest::newRow("UTF-8 with mark") << encoded(text, QStringConverter::Utf8, true)
                                     << int(QStringConverter::Utf8) << true;
    QTest::newRow("UTF-16 LE with mark")
        << encoded(text, QStringConverter::Utf16LE, true) << int(QStringConverter::Utf16LE) << true;
    QTest::newRow("UTF-16 BE with mark")
        << encoded(text, QStringConverter::Utf16BE, true) << int(QStringConverter::Utf16BE) << true;
    QTest::newRow("no mark is UTF-8")
        << encoded(text, QStringConverter::Utf8, false) << int(QStringConverter::Utf8) << false;
}

void TstTexts::decode() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(bool, bom);
    TTexts t;
    t.fromBytes(bytes);
    QCOMPARE(t.lines(), (QStringList{QString::fromUtf8("a=Grüße"), QString::fromUtf8("b=Привет"),
                                     QString::fromUtf8("c=Γειά"), QString(), QString::fromUtf8("d=€ 𝄞")}));
    QCOMPARE(int(t.encoding()), encoding);
    QCOMPARE(t.hasBom(), bom);
    // The mark never leaks into the first key.
    QCOMPARE(t.getText("a", "DEF"), QString::fromUtf8("Grüße"));
}

void TstTexts::writesBackInEncodingRead_data() {
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::newRow("UTF-8 with mark") << int(QStringConverter::Utf8) << true;
    QTest::newRow("UTF-16 LE") << int(QStringConverter::Utf16LE) << true;
    QTest::newRow("UTF-16 BE") << int(QStringConverter::Utf16BE) << true;
    QTest::newRow("UTF-8 without mark") << int(QStringConverter::Utf8) << false;
}

void TstTexts::writesBackInEncodingRead() {
    QFETCH(int, encoding);
    QFETCH(bool, bom);
    const auto enc = QStringConverter::Encoding(encoding);
    const QString dir = sbtest::makeTempDir("encoding");
    const QString path = dir + "/utf16be-no-final-newline.lng";
    QVERIFY(sbtest::writeFile(path, encoded(QString::fromUtf8("k=Ключ\nx=1"), enc, bom)));

    TTexts t;
    QVERIFY(t.loadFromFile(path));
    t.setText("x", QString::fromUtf8("Zwei Bäume"));
    QVERIFY(t.saveToFile(path));
    // Written in the same encoding, with the same mark, every line ended by CR LF.
    QCOMPARE(sbtest::readFile(path), encoded(QString::fromUtf8("k=Ключ\r\nx=Zwei Bäume\r\n"), enc, bom));

    // A store that never read a file writes UTF-8 without a mark.
    TTexts fresh;
    fresh.setText("k", QString::fromUtf8("ä"));
    QCOMPARE(fresh.toBytes(), QByteArray("k=\xC3\xA4\r\n"));
}

void TstTexts::invalidUtf8KeepsLines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("stray bytes mid-file") << QByteArray("a=1\r\nb=\xFF\xC0x\r\nc=Gr\xC3\xBC\xC3\x9F\x65\r\n");
    QTest::newRow("Latin-1 umlaut") << QByteArray("a=1\nb=M\xFCller\nc=Grüße\n");
    QTest::newRow("overlong and surrogate") << QByteArray("a=1\nb=\xC0\xAF\xED\xA0\x80\nc=Grüße");
    QTest::newRow("truncated sequence before line break") << QByteArray("a=1\rb=\xE2\x82\rc=Grüße");
    QTest::newRow("truncated sequence at end") << QByteArray("a=1\nc=Grüße\nb=\xF0\x9D");
}

void TstTexts::invalidUtf8KeepsLines() {
    QFETCH(QByteArray, bytes);
    TTexts t;
    t.fromBytes(bytes);
    QCOMPARE(t.lines().size(), 3);
    QCOMPARE(t.getText("a", "DEF"), QStringLiteral("1"));
    QCOMPARE(t.getText("c", "DEF"), QString::fromUtf8("Grüße"));
    QVERIFY(t.getText("b", "DEF").contains(QChar::ReplacementCharacter));
}

void TstTexts::survivesArbitraryBytes() {
    // Every short pattern of the bytes that matter to the decoder and the line splitter, in every
    // position after a valid first line and before a valid last one.
    const QByteArray alphabet("\x00\r\n=\xEF\xBB\xBF\xFF\xFE\xC3\xE2\x82\x80\xF0\x9D\xED", 16);
    const QList<std::pair<QByteArray, QStringConverter::Encoding>> starts = {
        {"", QStringConverter::Utf8},
        {"\xEF\xBB\xBF", QStringConverter::Utf8},
        {"\xFF\xFE", QStringConverter::Utf16LE},
        {"\xFE\xFF", QStringConverter::Utf16BE}};
    for (const auto& [mark, encoding] : starts) {
        QStringEncoder enc(encoding);
        const QByteArray head = mark + enc.encode(QStringLiteral("first=1\n"));
        const QByteArray tail = enc.encode(QStringLiteral("\nlast=2\n"));
        auto check = [&](const QByteArray& middle) {
            TTexts t;
            t.fromBytes(head + middle + tail);
            QCOMPARE(t.getText("first", "DEF"), QStringLiteral("1"));
            QCOMPARE(t.getText("last", "DEF"), QStringLiteral("2"));
        };
        for (char a : alphabet) {
            for (char b : alphabet)
                check(QByteArray(1, a) + b);
        }
        // And random runs of any bytes, seeded so that a failure repeats; UTF-16 runs keep the tail aligned.
        QRandomGenerator random(20131926);
        for (int n = 0; n < 2000; ++n) {
            QByteArray middle(random.bounded(64) & (encoding == QStringConverter::Utf8 ? ~0 : ~1), '\0');
            for (char& c : middle)
                c = char(random.bounded(256));
            check(middle);
        }
    }
}

void TstTexts::loadFailuresKeepLines() {
    const QString dir = sbtest::makeTempDir("failures");
    TTexts t = textsOf({"k=kept"});
    const QStringConverter::Encoding enc = t.encoding();

    QVERIFY(!t.loadFromFile(dir + "/missing.lng"));
    QVERIFY(QDir(dir).mkdir("folder.lng"));
    QVERIFY(!t.loadFromFile(dir + "/folder.lng"));
    QVERIFY(sbtest::writeFile(dir + "/huge.lng", QByteArray(TTexts::maxFileSize + 1, 'x')));
    QVERIFY(!t.loadFromFile(dir + "/huge.lng"));
    QCOMPARE(t.lines(), QStringList{"k=kept"});
    QCOMPARE(t.encoding(), enc);

    QVERIFY(sbtest::writeFile(dir + "/empty.lng", QByteArray()));
    QVERIFY(t.loadFromFile(dir + "/empty.lng"));
    QVERIFY(t.lines().isEmpty());
}

void TstTexts::saveReplacesWholeFile() {
    const QString dir = sbtest::makeTempDir("save");
    const QString path = dir + "/out.lng";
    QVERIFY(sbtest::writeFile(path, QByteArray(5000, 'z')));
    const TTexts t = textsOf({"a=1"});
    QVERIFY(t.saveToFile(path));
    QCOMPARE(sbtest::readFile(path), QByteArray("a=1\r\n"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"out.lng"});
    QVERIFY(!t.saveToFile(dir + "/no/such/folder/out.lng"));
}

void TstTexts::listsByExtensionInAnyCase() {
    const QString dir = sbtest::makeTempDir("list");
    for (const char* name : {"Russian.Lng", "English.lng", "dutch.lng", "German.LNG", ".hidden.lng",
                             "notes.txt", "SOURCE_FormMain.SRC", "old.lng.bak", "lng", "sub/Inner.lng"}) {
        QVERIFY(QDir(dir).mkpath(QFileInfo(dir + "/" + name).path()));
        QVERIFY(sbtest::writeFile(dir + "/" + name, "k=v\n"));
    }
    QVERIFY(QDir(dir).mkdir("Folder.lng"));

    // In the track list's name order, letter case ignored: the options show the languages so.
    QCOMPARE(listFilesByExtension(dir, "lng"),
             (QStringList{".hidden.lng", "dutch.lng", "English.lng", "German.LNG", "Russian.Lng"}));

    const QStringList two = listFilesByExtension(dir + "/", "TXT, src");
    QCOMPARE(QSet<QString>(two.begin(), two.end()), (QSet<QString>{"notes.txt", "SOURCE_FormMain.SRC"}));

    QVERIFY(listFilesByExtension(dir + "/missing", "lng").isEmpty());
    QVERIFY(listFilesByExtension(dir, "").isEmpty());
}

void TstTexts::messageFill_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("in order") << "copy %1 to %2" << QStringList{"a", "b"} << "copy a to b";
    QTest::newRow("reordered and repeated") << "%2 <- %1 (%2)" << QStringList{"a", "b"} << "b <- a (b)";
    // A value that holds a place is never filled again: file names may hold "%2".
    QTest::newRow("value with a place")
        << "\"%1\": %2" << QStringList{"100%2.mp3", "full"} << "\"100%2.mp3\": full";
    QTest::newRow("place without value") << "%1 and %3" << QStringList{"a"} << "a and %3";
    QTest::newRow("percent alone") << "50% of %1%" << QStringList{"x"} << "50% of x%";
    QTest::newRow("%0 is no place") << "%0%1" << QStringList{"x"} << "%0x";
}

void TstTexts::messageFill() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QCOMPARE(SbText::fill(pattern, args), expected);
}

// A message made in the core is put into the language where it is shown, its reason too; a value is never
// looked up, and a language without the key gives the English text.
void TstTexts::messageInLanguage() {
    const SbError error(SbText(
        sbmsg::copyFailed, {QStringLiteral("txt_os_enospc"), QStringLiteral("/c/t.mp3"), osReason(ENOSPC)}));
    QCOMPARE(error.text(),
             QStringLiteral("Can not copy \"txt_os_enospc\" to \"/c/t.mp3\": No space left on device."));
    TTexts german;
    german.fromBytes(QStringLiteral("txt_err_copy=%1 → %2: %3\ntxt_os_enospc=Platte voll\n").toUtf8());
    const auto lookup = [&](const QString& key, const QString& english) {
        return german.getText(key, english);
    };
    QCOMPARE(error.message().toString(lookup), QStringLiteral("txt_os_enospc → /c/t.mp3: Platte voll"));
    TTexts none;
    const auto fallback = [&](const QString& key, const QString& english) {
        return none.getText(key, english);
    };
    QCOMPARE(error.message().toString(fallback), error.text());
    // A reason without a key of its own is the system's text, as it is.
    QVERIFY(!osReason(EXDEV).isKeyed());
    QVERIFY(!osReason(EXDEV).english().isEmpty());
}

QTEST_GUILESS_MAIN(TstTexts)
#include "tst_texts.moc"
