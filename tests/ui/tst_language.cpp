// The language engine over windows: translation and scan by component names, loading, saving and
// listing of language files.
#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorLanguage.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "formMainAccess.h"
#include "languageTexts.h"
#include "main.h"
#include "sbText.h"
#include "sbWidgets.h"
#include "sbtest.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>

namespace {

// A small window with one component of every kind the engine knows, created in a known order.
struct TestWindow {
    QWidget form;
    QAction* actBoth;
    QAction* actHintOnly;
    QAction* actTextOnly;
    QAction* actNone;
    QAction* actSame;
    QToolButton* btnBound;
    QFrame* panel;
    QLabel* lblTitle;
    QLabel* lblBlank;
    QCheckBox* cbOption;
    QRadioButton* rbChoice;
    QPushButton* btnOK;
    QToolButton* btnFree;
    QLineEdit* edName;
    QMenu* pmMenu;
    QAction* mnuEntry;
    QLabel* unnamed;
    QLabel* imgPicture;
    QDialog* dialog;
    QLabel* lblInDialog;

    TestWindow() {
        form.setObjectName("FormTest");
        form.setWindowTitle("Caption");
        auto action = [this](const char* name, const QString& text, const QString& hint) {
            auto* a = new QAction(text, &form);
            a->setObjectName(name);
            if (!hint.isEmpty())
                a->setToolTip(hint);
            form.addAction(a);
            return a;
        };
        actBoth = action("actBoth", "Open", "Open a folder");
        actHintOnly = action("actHintOnly", "", "Next track");
        actTextOnly = action("actTextOnly", "Scan text res", "");
        actNone = action("actNone", "", "");
        // Made as the program makes its actions: the hint is known even where it equals the text.
        actSame = new QAction("Help", &form);
        actSame->setObjectName("actSame");
        setActionHint(actSame, "Help");
        btnBound = new QToolButton(&form);
        btnBound->setObjectName("btnBound");
        btnBound->setDefaultAction(actBoth);
        panel = new QFrame(&form);
        panel->setObjectName("panel");
        lblTitle = new QLabel("  Title\t", panel);
        lblTitle->setObjectName("lblTitle");
        lblBlank = new QLabel(" \n ", panel);
        lblBlank->setObjectName("lblBlank");
        cbOption = new QCheckBox("Play next", panel);
        cbOption->setObjectName("cbOption");
        rbChoice = new QRadioButton("Choice", panel);
        rbChoice->setObjectName("rbChoice");
        btnOK = new QPushButton("OK", &form);
        btnOK->setObjectName("btnOK");
        btnFree = new QToolButton(&form);
        btnFree->setObjectName("btnFree");
        btnFree->setText("Free");
        edName = new QLineEdit("typed", &form);
        edName->setObjectName("edName");
        pmMenu = new QMenu(&form);
        pmMenu->setObjectName("pmMenu");
        pmMenu->addAction(actHintOnly); // the entry is the action itself
        mnuEntry = pmMenu->addAction("Entry");
        mnuEntry->setObjectName("mnuEntry");
        unnamed = new QLabel("no name", &form);
        imgPicture = new QLabel(&form);
        imgPicture->setObjectName("imgPicture");
        QPixmap picture(4, 4);
        picture.fill(Qt::red);
        imgPicture->setPixmap(picture);
        // An open dialog is a window of its own: neither scanned nor translated with its owner.
        dialog = new QDialog(&form);
        dialog->setObjectName("dialog");
        lblInDialog = new QLabel("inside", dialog);
        lblInDialog->setObjectName("lblTitle");
    }
};

QStringList linesOfFile(const QString& path) {
    TTexts t;
    if (!t.loadFromFile(path))
        return {"<unreadable>"};
    return t.lines();
}

void writeUtf8Bom(const QString& path, const QStringList& lines) {
    QVERIFY(sbtest::writeFile(path, "\xEF\xBB\xBF" + lines.join("\r\n").toUtf8() + "\r\n"));
}

} // namespace

class TstLanguage : public QObject {
    Q_OBJECT
private slots:
    void scanRecordsComponentsInOrder();
    void scanWritesSourceFileInLanguageFolder();
    void translateSetsTextsAndHints();
    void translateKeepsTextsOfMissingKeys();
    void loadMissingAndUnreadable();
    void scanAfterLoadWritesLoadedTexts();
    void listsLanguagesAndSourceLng();
    void getTextDefaults();

    // The real main window and the shipped files.
    void shippedFilesMatchWindows_data();
    void shippedFilesMatchWindows();
    void englishFileHoldsBuiltInTexts();
    void germanStartAndSourceScan();
    void emptyLanguageKeepsBuiltInTexts();
    void laterTranslationKeepsWhatLabelsShow();
};

void TstLanguage::scanRecordsComponentsInOrder() {
    TestWindow w;
    TLanguageEngine engine;
    engine.ScanLanguages(sbtest::makeTempDir("scan-empty"), "lng");
    engine.ScanForm(&w.form, false);
    // An action with text and hint gives two lines, one with a hint only its "_hint" line, one without
    // either nothing; blank texts give no line; the bound button and the unnamed label none; the menu
    // entry that is an action appears once, as the action.
    QCOMPARE(
        engine.values(),
        (QStringList{"actBoth=Open", "actBoth_hint=Open a folder", "actHintOnly_hint=Next track",
                     "actTextOnly=Scan text res", "actSame=Help", "actSame_hint=Help", "lblTitle=Title",
                     "cbOption=Play next", "rbChoice=Choice", "btnOK=OK", "btnFree=Free", "mnuEntry=Entry"}));
    QVERIFY(engine.languages().isEmpty());
    // Looking at the hint leaves the action as it was.
    QCOMPARE(w.actTextOnly->text(), QStringLiteral("Scan text res"));
    QCOMPARE(w.btnBound->text(), QStringLiteral("Open"));
}

void TstLanguage::scanWritesSourceFileInLanguageFolder() {
    TestWindow w;
    TLanguageEngine engine;
    const QString folder = sbtest::makeTempDir("scan-save") + "/Lang/";
    engine.setFolder(folder);
    engine.ScanForm(&w.form, true);
    // The folder is created; the file is in the language-file format.
    QCOMPARE(linesOfFile(folder + "SOURCE_FormTest.SRC"), engine.values());
    QCOMPARE(sbtest::readFile(folder + "SOURCE_FormTest.SRC").left(15), QByteArray("actBoth=Open\r\na"));

    // A folder that cannot be made is no error to the caller.
    QVERIFY(sbtest::writeFile(folder + "blocker", "x"));
    engine.setFolder(folder + "blocker/Lang");
    engine.ScanForm(&w.form, true);
    QVERIFY(!QFile::exists(folder + "blocker/Lang/SOURCE_FormTest.SRC"));
}

void TstLanguage::translateSetsTextsAndHints() {
    TestWindow w;
    const QString folder = sbtest::makeTempDir("translate");
    writeUtf8Bom(folder + "/German.lng",
                 {"; Deutsch", "ACTBOTH=Öffnen", "actBoth_hint=Ordner öffnen",
                  "actHintOnly_hint=Nächster Titel", "actTextOnly_hint=Quelltexte", "lblTitle=Überschrift",
                  "lblTitle=zweite Zeile zählt nicht", "cbOption=Weiter", "rbChoice=Wahl",
                  "btnOK=", "btnFree=Frei", "mnuEntry=Eintrag", "edName=nicht setzen",
                  "btnBound=nicht setzen", "FormTest=Kein Titel", "panel=x"});
    TLanguageEngine engine;
    engine.setFolder(folder);
    engine.LoadFromFile("German.lng", "");
    QCOMPARE(engine.Language(), QStringLiteral("German"));
    engine.TranslateForm(&w.form);

    QCOMPARE(w.actBoth->text(), QString::fromUtf8("Öffnen"));
    QCOMPARE(w.actBoth->toolTip(), QString::fromUtf8("Ordner öffnen"));
    QCOMPARE(actionHint(w.actBoth), QString::fromUtf8("Ordner öffnen"));
    QCOMPARE(w.actHintOnly->toolTip(), QString::fromUtf8("Nächster Titel"));
    QCOMPARE(w.actHintOnly->text(), QString());
    // The hint is set whether or not the text key exists.
    QCOMPARE(w.actTextOnly->text(), QStringLiteral("Scan text res"));
    QCOMPARE(w.actTextOnly->toolTip(), QStringLiteral("Quelltexte"));
    QCOMPARE(w.lblTitle->text(), QString::fromUtf8("Überschrift"));
    QCOMPARE(w.cbOption->text(), QStringLiteral("Weiter"));
    QCOMPARE(w.rbChoice->text(), QStringLiteral("Wahl"));
    QCOMPARE(w.btnOK->text(), QString()); // an empty value in a translation is an empty text
    QCOMPARE(w.btnFree->text(), QStringLiteral("Frei"));
    QCOMPARE(w.mnuEntry->text(), QStringLiteral("Eintrag"));
    // Left alone: edit boxes, bound buttons (they show their action), panels, the caption, other windows.
    QCOMPARE(w.edName->text(), QStringLiteral("typed"));
    QCOMPARE(w.btnBound->text(), QString::fromUtf8("Öffnen"));
    QCOMPARE(w.form.windowTitle(), QStringLiteral("Caption"));
    QCOMPARE(w.lblInDialog->text(), QStringLiteral("inside"));
    QVERIFY(!w.imgPicture->pixmap().isNull());

    // The dialog, translated as a window of its own, takes the same key.
    engine.TranslateForm(w.dialog);
    QCOMPARE(w.lblInDialog->text(), QString::fromUtf8("Überschrift"));
    QCOMPARE(w.dialog->windowTitle(), QString());
}

void TstLanguage::translateKeepsTextsOfMissingKeys() {
    TestWindow w;
    const QString folder = sbtest::makeTempDir("switch");
    writeUtf8Bom(folder + "/German.lng", {"lblTitle=Überschrift", "cbOption=Weiter"});
    writeUtf8Bom(folder + "/Russian.lng", {"cbOption=Далее"});
    TLanguageEngine engine;
    engine.setFolder(folder);
    engine.LoadFromFile("German.lng", "");
    engine.TranslateForm(&w.form);
    engine.LoadFromFile("Russian.lng", "");
    engine.TranslateForm(&w.form);
    // The second file lacks lblTitle: the first language's text stays, never the design text.
    QCOMPARE(w.lblTitle->text(), QString::fromUtf8("Überschrift"));
    QCOMPARE(w.cbOption->text(), QString::fromUtf8("Далее"));
    QCOMPARE(engine.getText("lblTitle", "DEF"), QStringLiteral("DEF"));
}

void TstLanguage::loadMissingAndUnreadable() {
    const QString folder = sbtest::makeTempDir("load");
    writeUtf8Bom(folder + "/English.lng", {"k=v"});
    TLanguageEngine engine;
    engine.setFolder(folder + "/"); // with or without the trailing delimiter
    engine.LoadFromFile("English.lng", "");
    QCOMPARE(engine.Language(), QStringLiteral("English"));

    engine.LoadFromFile("Missing.lng", "");
    QCOMPARE(engine.Language(), QStringLiteral("English"));
    QCOMPARE(engine.values(), QStringList{"k=v"});

    // Present but not readable as a file: the language is forgotten, the entries stay.
    QVERIFY(QDir(folder).mkdir("Broken.lng"));
    engine.LoadFromFile("Broken.lng", "");
    QCOMPARE(engine.Language(), QString());
    QCOMPARE(engine.getText("k", "DEF"), QStringLiteral("v"));

    // An explicit folder wins over Folder().
    const QString other = sbtest::makeTempDir("load-other");
    writeUtf8Bom(other + "/My.Lang.lng", {"k=w"});
    engine.LoadFromFile("My.Lang.lng", other);
    QCOMPARE(engine.Language(), QStringLiteral("My.Lang"));
    QCOMPARE(engine.getText("k", "DEF"), QStringLiteral("w"));
}

void TstLanguage::scanAfterLoadWritesLoadedTexts() {
    // The source file is written in the encoding last read, with its mark, holding the texts shown.
    TestWindow w;
    const QString folder = sbtest::makeTempDir("roundtrip");
    QStringEncoder utf16be(QStringConverter::Utf16BE, QStringEncoder::Flag::WriteBom);
    QVERIFY(sbtest::writeFile(folder + "/Russian.lng",
                              utf16be.encode(QString::fromUtf8("cbOption=Далее\r\nactBoth_hint=Открыть"))));
    TLanguageEngine engine;
    engine.setFolder(folder);
    engine.LoadFromFile("Russian.lng", "");
    engine.TranslateForm(&w.form);
    engine.ScanForm(&w.form, true);
    const QByteArray bytes = sbtest::readFile(folder + "/SOURCE_FormTest.SRC");
    QVERIFY(bytes.startsWith("\xFE\xFF"));
    const QStringList lines = linesOfFile(folder + "/SOURCE_FormTest.SRC");
    QVERIFY(lines.contains(QString::fromUtf8("cbOption=Далее")));
    QVERIFY(lines.contains(QString::fromUtf8("actBoth_hint=Открыть")));
    QCOMPARE(engine.Language(), QStringLiteral("Russian")); // a scan leaves the language name
}

void TstLanguage::listsLanguagesAndSourceLng() {
    const QString folder = sbtest::makeTempDir("languages");
    for (const char* name : {"English.lng", "German.LNG", "readme.txt", "SOURCE_FormMain.SRC"})
        QVERIFY(sbtest::writeFile(folder + "/" + name, "k=v\r\n"));
    QVERIFY(QDir(folder).mkpath("sub/Inner.lng"));
    TLanguageEngine engine;
    engine.setFolder(folder);
    QCOMPARE(engine.ScanLanguages("", "lng"), 2);
    QStringList found = engine.languages();
    found.sort();
    QCOMPARE(found, (QStringList{"English.lng", "German.LNG"}));

    // SaveToFile without a name writes SOURCE.LNG, which is then listed.
    engine.SaveToFile("", "");
    QCOMPARE(engine.ScanLanguages(folder, "lng"), 3);
    QVERIFY(engine.languages().contains("SOURCE.LNG"));

    QCOMPARE(engine.ScanLanguages(folder + "/missing", "lng"), 0);
    QVERIFY(engine.languages().isEmpty());
    engine.ScanLanguages("", "lng");
    engine.Clear();
    QVERIFY(engine.languages().isEmpty());
    QVERIFY(engine.values().isEmpty());
}

void TstLanguage::getTextDefaults() {
    const QString folder = sbtest::makeTempDir("gettext");
    writeUtf8Bom(folder + "/German.lng", {"txt_build=", "TXT_VERSION=Version", "txt_formats =Formate"});
    TLanguageEngine engine;
    QCOMPARE(engine.getText("txt_version", "Version"), QStringLiteral("Version"));
    engine.LoadFromFile("German.lng", folder);
    QCOMPARE(engine.getText("txt_build", "Build"), QStringLiteral("Build"));
    QCOMPARE(engine.getText("txt_version", "X"), QStringLiteral("Version"));
    QCOMPARE(engine.getText("txt_formats", "Supported formats"), QStringLiteral("Supported formats"));
}

namespace {

QString iniPath() {
    return getAppDataFolder(sb::settingsFolder, true) + QFileInfo(getExeFileName()).completeBaseName() +
           ".ini";
}

void writeIni(const QString& language) {
    QVERIFY(sbtest::writeFile(iniPath(), "[common]\r\ncounter=1\r\nlanguage=" + language.toUtf8() + "\r\n"));
}

// Runtime look-ups of the program, by key.
const QStringList runtimeKeys = {"txt_version", "txt_build", "txt_formats", "lblCurrFolder", "actFolderEmpty",
                                 "def_libs", "txt_file_exists", "txt_file_exists_hint",
                                 // messages of the collection commands
                                 "txt_folder_name_empty", "txt_folder_name_delim", "txt_folder_name_dots",
                                 "txt_folder_exists", "txt_delete_from_collection",
                                 // the options dialog's folder button, and the locale of Qt's own texts
                                 "txt_choose_folder", "locale",
                                 // taking back a Like
                                 "txt_like_taken_back", "txt_take_back_missing", "txt_take_back_changed",
                                 "txt_take_back_failed",
                                 // the options dialog's refusal of a relative folder
                                 "txt_folder_not_full_path"};

// The messages of the program's core (errors, reasons), all declared in one table.
QStringList messageKeys() {
    QStringList keys;
    for (const SbTextKey& k : sbmsg::all)
        keys << QString::fromLatin1(k.key);
    return keys;
}

// The translatable components of the options, help and about windows, by their names.
// Listed here until the dialogs exist; then build them and take their components as for the main window.
const QStringList dialogKeys = {"lblFolder",    "lblLanguage", "cbPlayNextAfterCopy", "cbAutoOffcet",
                                "cbPlayRandom", "btnOK",       "btnCancel",           "cbSkipSorted"};
// Labels of the dialogs that the program fills itself: the title and description come from the opening
// action, the about window's link and information are set after its translation. A line for
// lblCaption or lblDescr would put one text over the title of every dialog, so files must not have one.
const QStringList filledByProgram = {"lblCaption", "lblDescr", "lblLink", "lblInfo"};

QStringList keysOf(const QStringList& lines) {
    QStringList keys;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq >= 0)
            keys.append(line.left(eq));
    }
    return keys;
}

} // namespace

void TstLanguage::shippedFilesMatchWindows_data() {
    QTest::addColumn<QString>("file");
    const QDir lang(SONABIN_SOURCE_DIR "/Lang");
    const QStringList files = lang.entryList({"*.lng"}, QDir::Files);
    QVERIFY(files.contains("English.lng") && files.contains("German.lng") && files.size() >= 3);
    for (const QString& f : files)
        QTest::newRow(qPrintable(f)) << lang.filePath(f);
}

void TstLanguage::shippedFilesMatchWindows() {
    QFETCH(QString, file);
    writeIni("");
    TFormMain w;

    // What the windows can take: their components' texts as a scan finds them, every action's text and
    // hint, the dialogs' components and the runtime keys.
    TLanguageEngine scan;
    scan.ScanForm(&w, false);
    QStringList required = keysOf(scan.values()) + dialogKeys + runtimeKeys + messageKeys();
    QStringList allowed = required;
    required.removeIf([](const QString& key) { return filledByProgram.contains(key); });
    for (const QAction* a : w.actions())
        allowed << a->objectName() << a->objectName() + "_hint";

    const QByteArray bytes = sbtest::readFile(file);
    QVERIFY2(bytes.startsWith("\xEF\xBB\xBF"), "shipped files are UTF-8 with a byte-order mark");
    TTexts texts;
    QVERIFY(texts.loadFromFile(file));
    const QStringList keys = keysOf(texts.lines());
    QSet<QString> seen;
    for (const QString& line : texts.lines()) {
        QVERIFY2(line.isEmpty() || line.startsWith(';') || line.contains('='), qPrintable(line));
        QVERIFY2(!line.contains(QChar::ReplacementCharacter), qPrintable(line));
        QVERIFY2(!line.contains('&'), qPrintable("no shortcut marks: " + line));
    }
    for (const QString& key : keys) {
        QVERIFY2(allowed.contains(key), qPrintable("no component or runtime key is named " + key));
        QVERIFY2(!filledByProgram.contains(key), qPrintable(key + " would replace the dialogs' titles"));
        QVERIFY2(!seen.contains(key.toLower()), qPrintable(key + " twice"));
        seen.insert(key.toLower());
    }
    for (const QString& key : required)
        QVERIFY2(!texts.value(key).isEmpty(), qPrintable("missing or empty: " + key));

    // Every file carries the same keys as the English one.
    TTexts english;
    QVERIFY(english.loadFromFile(SONABIN_SOURCE_DIR "/Lang/English.lng"));
    QStringList a = keys, b = keysOf(english.lines());
    a.sort();
    b.sort();
    QCOMPARE(a, b);
    // ... and keeps the places (%1, %2) that the program fills in.
    static const QRegularExpression place(QStringLiteral("%\\d"));
    auto places = [](const QString& text) {
        QStringList found;
        for (const QRegularExpressionMatch& m : place.globalMatch(text))
            found.append(m.captured());
        found.sort();
        return found;
    };
    for (const QString& key : keys)
        QVERIFY2(places(texts.value(key)) == places(english.value(key)), qPrintable(key));

    // Five collection names that are folder names.
    const QStringList libs = texts.value("def_libs").split(',');
    QCOMPARE(libs.size(), 5);
    QCOMPARE(QSet<QString>(libs.begin(), libs.end()).size(), 5);
    for (const QString& name : libs) {
        QVERIFY2(!name.isEmpty() && name == name.trimmed() && name != "." && name != "..", qPrintable(name));
        QVERIFY2(!name.contains('/') && !name.contains('\\') && !name.contains(QChar(0)), qPrintable(name));
    }
}

void TstLanguage::englishFileHoldsBuiltInTexts() {
    writeIni("");
    TFormMain w;
    TTexts english;
    QVERIFY(english.loadFromFile(SONABIN_SOURCE_DIR "/Lang/English.lng"));
    for (QAction* a : w.actions()) {
        const QString name = a->objectName();
        // actFolderEmpty is also the key of the empty-folder message, whose built-in text the file holds.
        if (name == "actFolderEmpty")
            continue;
        QCOMPARE(english.value(name), a->text());
        QCOMPARE(english.value(name + "_hint"), actionHint(a));
    }
    QCOMPARE(english.value("def_libs"), sb::defaultLibraries);
    QCOMPARE(english.value("actFolderEmpty"), QStringLiteral("No music files"));
    QCOMPARE(english.value("lblCurrFolder"), QStringLiteral("Folder:"));
    for (const SbTextKey& k : sbmsg::all)
        QCOMPARE(english.value(QString::fromLatin1(k.key)), QString::fromUtf8(k.english));
    QCOMPARE(english.value("txt_file_exists_hint"), QStringLiteral("File already exists"));
}

void TstLanguage::germanStartAndSourceScan() {
    writeIni("German.lng");
    TFormMain w;
    QCOMPARE(sbt::parts(w).LanguageEngine->Folder(), getProgramFolder("Lang"));
    QCOMPARE(sbt::parts(w).LanguageEngine->Language(), QStringLiteral("German"));
    QVERIFY(sbt::parts(w).LanguageEngine->languages().contains("German.lng"));
    QCOMPARE(sbt::parts(w).actOptions->text(), QStringLiteral("Einstellungen"));
    QCOMPARE(actionHint(sbt::parts(w).actopenFolder), QString::fromUtf8("Ordner öffnen"));
    QCOMPARE(sbt::parts(w).btnFolder->toolTip(),
             QString::fromUtf8("Ordner öffnen")); // the button shows its action
    QCOMPARE(sbt::parts(w).lbl_1_like->text(), QString::fromUtf8("Gefällt mir!"));
    QCOMPARE(sbt::parts(w).lblCurrFolder->text(), QStringLiteral("Ordner:"));
    QCOMPARE(w.windowTitle(), sb::appCaption);

    // Ctrl+F11 writes the window's texts, now German, as a language file into the language folder.
    const QString folder = sbtest::makeTempDir("german-scan") + "/Lang/";
    sbt::parts(w).LanguageEngine->setFolder(folder);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F11, Qt::ControlModifier);
    const QString source = folder + "SOURCE_FormMain.SRC";
    QVERIFY(QFile::exists(source));
    QVERIFY(sbtest::readFile(source).startsWith("\xEF\xBB\xBF")); // as German.lng was read
    const QStringList lines = linesOfFile(source);
    for (const char* line :
         {"actOptions=Einstellungen", "actopenFolder_hint=Ordner öffnen", "lbl_1_like=Gefällt mir!",
          "lblCurrFolder=Ordner:", "actCommand1_hint=Gefällt mir!", "Action1=Oberflächentexte erfassen"})
        QVERIFY2(lines.contains(QString::fromUtf8(line)), line);
    // Bound buttons and pictures have no line; an action without a hint has no hint line.
    for (const QString& line : lines) {
        QVERIFY2(!line.startsWith("btn") && !line.startsWith("img") && !line.startsWith("Image"),
                 qPrintable(line));
        QVERIFY2(!line.startsWith("Action1_hint"), qPrintable(line));
    }
    // The scan took the texts into an engine of its own: the one in use keeps the language and its list.
    QCOMPARE(sbt::parts(w).LanguageEngine->Language(), QStringLiteral("German"));
    QVERIFY(sbt::parts(w).LanguageEngine->languages().contains("German.lng"));
    QCOMPARE(sbt::parts(w).LanguageEngine->getText("def_libs", sb::defaultLibraries),
             QStringLiteral("Favoriten,Archiv,Sport,Auto,Temp"));
}

void TstLanguage::emptyLanguageKeepsBuiltInTexts() {
    writeIni("");
    const qsizetype before = logLines().size();
    TFormMain w;
    QVERIFY(logLines().mid(before).contains("initLanguage: "));
    QCOMPARE(sbt::parts(w).LanguageEngine->Language(), QString());
    QVERIFY(sbt::parts(w).LanguageEngine->languages().contains("English.lng"));
    QCOMPARE(sbt::parts(w).actOptions->text(), QStringLiteral("Options"));
    QCOMPARE(sbt::parts(w).lbl_1_like->text(), QStringLiteral("I Like!"));
    QCOMPARE(sbt::parts(w).LanguageEngine->getText("txt_version", "Version"), QStringLiteral("Version"));
}

void TstLanguage::laterTranslationKeepsWhatLabelsShow() {
    writeIni("German.lng");
    TFormMain w;
    sbt::parts(w).lblFolder->setText("/music/rock/");
    sbt::parts(w).lblTime->setText("00:01:02 / 00:03:04");
    sbt::parts(w).lblCurrentFile->setText("song.mp3");
    sbt::parts(w).lbl_1_collection->setText("Favoriten");
    // As after OK in the options dialog with another language chosen.
    optionsBase->WriteString("common", "language", "Russian.lng");
    w.initLanguage();
    QCOMPARE(sbt::parts(w).actOptions->text(), QString::fromUtf8("Настройки"));
    QCOMPARE(sbt::parts(w).lbl_1_like->text(), QString::fromUtf8("Нравится!"));
    QCOMPARE(sbt::parts(w).lblFolder->text(), QStringLiteral("/music/rock/"));
    QCOMPARE(sbt::parts(w).lblTime->text(), QStringLiteral("00:01:02 / 00:03:04"));
    QCOMPARE(sbt::parts(w).lblCurrentFile->text(), QStringLiteral("song.mp3"));
    QCOMPARE(sbt::parts(w).lbl_1_collection->text(), QStringLiteral("Favoriten"));

    // An empty choice leaves every text as it is.
    optionsBase->WriteString("common", "language", "");
    w.initLanguage();
    QCOMPARE(sbt::parts(w).actOptions->text(), QString::fromUtf8("Настройки"));
}

QTEST_MAIN(TstLanguage)
#include "tst_language.moc"
