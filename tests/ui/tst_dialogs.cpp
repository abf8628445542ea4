// The options, help and about windows: their texts, keys, the settings they read and write, the help
// file chosen for the language, and what the main window does around them.
#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorLanguage.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "formMainAccess.h"
#include "form_about.h"
#include "form_help.h"
#include "form_options.h"
#include "main.h"
#include "sbWidgets.h"
#include "sbtest.h"
#include "windowFixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>

namespace {

using sbtest::iniPath;
using sbtest::whileModal;
using sbtest::writeIni;
using Setup = sbtest::StartFolders;

QString common(const QString& key) {
    return optionsBase->ReadString(QStringLiteral("common"), key, QStringLiteral("<missing>"));
}

QStringList listTexts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void optionsTextsFromActionAndLanguage();
    void optionsShowStoredValues();
    void optionsOkStoresAndApplies();
    void optionsOkWithoutChange();
    void optionsChoosingGerman();
    void optionsCancelChangesNothing_data();
    void optionsCancelChangesNothing();
    void optionsUnknownLanguage();
    void optionsNoLanguageMarksEnglish();
    void optionsFolderAsTyped_data();
    void optionsFolderAsTyped();
    void optionsRefusesRelativeFolder_data();
    void optionsRefusesRelativeFolder();

    void helpFileChoice_data();
    void helpFileChoice();
    void helpTopicsAndEmptyFile();
    void helpThroughMainWindow();
    void helpWidthLimits();
    void helpKeys_data();
    void helpKeys();

    void aboutInfoText();
    void aboutEmptyLabelsUseDefaults();
    void aboutThroughMainWindow();
    void aboutLinkOpensShownAddress();

public slots:
    void openUrl(const QUrl& url) { openedUrls << url; }

private:
    QList<QUrl> openedUrls;
    QStringList errors;
};

void TestDialogs::initTestCase() {
    TFormMainTestAccess::errorReportHook() = [this](const QString& text) { errors << text; };
}

void TestDialogs::init() {
    errors.clear();
    openedUrls.clear();
}

// --- options ---

void TestDialogs::optionsTextsFromActionAndLanguage() {
    writeIni(QStringLiteral("German.lng"));
    TFormMain w;
    QVERIFY(whileModal<TFormOptions>(
        [&] { sbt::parts(w).actOptions->trigger(); },
        [&](TFormOptions* d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Einstellungen"));
            QCOMPARE(d->lblCaption->text(), QStringLiteral("Einstellungen"));
            QCOMPARE(d->lblDescr->text(), QStringLiteral("Programmeinstellungen anzeigen"));
            QCOMPARE(d->btnCancel->text(), QStringLiteral("Abbrechen"));
            QCOMPARE(d->lblLanguage->text(), QStringLiteral("Sprache"));
            QCOMPARE(d->cbPlayRandom->text(), QString::fromUtf8("In zufälliger Reihenfolge abspielen"));
            QVERIFY(d->isModal());
            QCOMPARE(d->parentWidget(), &w);
            // Every language file of the list, the chosen one marked.
            const QStringList shown = listTexts(d->cbLanguage);
            QVERIFY(shown.contains("English") && shown.contains("German") && shown.contains("Russian"));
            QCOMPARE(d->Form_Language(), QStringLiteral("German.lng"));
        }));
    // A dialog is owned by the main window and freed when it closes.
    QCOMPARE(w.findChildren<TFormOptions*>().size(), 0);
}

void TestDialogs::optionsShowStoredValues() {
    // A boolean stored as a word is no number and reads as its default.
    writeIni(QString(), "auto_play_next=0\r\nauto_offset=1\r\nrandom_play=yes\r\n");
    TFormMain w;
    const QString base = common(QStringLiteral("folder_lib"));
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [&](TFormOptions* d) {
                                         QCOMPARE(d->edFolder->text(), base);
                                         QVERIFY(!d->cbPlayNextAfterCopy->isChecked());
                                         QVERIFY(d->cbAutoOffcet->isChecked());
                                         QVERIFY(!d->cbPlayRandom->isChecked());
                                     }));

    // Without a stored folder the dialog shows the default base folder.
    TFormOptions d;
    optionsBase->WriteString(QStringLiteral("common"), QStringLiteral("folder_lib"), QString());
    d.form_ReadOptions();
    QCOMPARE(d.edFolder->text(), QString()); // present but empty: shown as stored
    TOptionsBase* kept = optionsBase;
    TOptionsBase empty{QString()};
    optionsBase = &empty;
    d.form_ReadOptions();
    optionsBase = kept;
    QCOMPARE(d.edFolder->text(), QDir::homePath() + QStringLiteral("/Sonabin"));
    QVERIFY(d.cbPlayNextAfterCopy->isChecked());
}

void TestDialogs::optionsOkStoresAndApplies() {
    writeIni(QString());
    TFormMain w;
    QVERIFY(QFile::remove(iniPath()));
    // Bindings chosen in the collection popup.
    w.collections().bind(1, QStringLiteral("Car"));
    w.collections().bind(2, QStringLiteral("Temp"));
    const QString typed = sbtest::makeTempDir(QStringLiteral("typed")); // no trailing delimiter
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [&](TFormOptions* d) {
                                         d->edFolder->setText(typed);
                                         d->cbPlayRandom->setChecked(true);
                                         d->cbPlayNextAfterCopy->setChecked(false);
                                         // Enter in any control is OK.
                                         d->edFolder->setFocus();
                                         QTest::keyClick(d->edFolder, Qt::Key_Return);
                                         QVERIFY(!d->isVisible());
                                         QCOMPARE(d->result(), int(QDialog::Accepted));
                                     }));
    QVERIFY(errors.isEmpty());
    // The file is written again, with the options, and the main window runs with them.
    const QByteArray ini = sbtest::readFile(iniPath());
    QVERIFY(ini.contains("folder_lib=" + typed.toUtf8() + "\r\n"));
    QVERIFY(ini.contains("random_play=1"));
    QVERIFY(ini.contains("auto_play_next=0"));
    QVERIFY(ini.contains("auto_offset=0"));
    QVERIFY(ini.contains("language=English.lng"));
    QVERIFY(w.session().options().randomPlay);
    QVERIFY(!w.session().options().playNextAfterCopy);
    // Both buttons go back to the first two default collections, which now live in the new folder.
    QCOMPARE(w.collections().base(), typed + '/');
    QCOMPARE(w.collections().name(1), QStringLiteral("Favorites"));
    QCOMPARE(w.collections().name(2), QStringLiteral("Archive"));
    QCOMPARE(sbt::parts(w).lbl_1_collection->text(), QStringLiteral("Favorites"));
    for (const char* name : {"Favorites", "Archive", "Sport", "Car", "Temp"})
        QVERIFY2(QDir(typed).exists(QString::fromLatin1(name)), name);
}

void TestDialogs::optionsOkWithoutChange() {
    const Setup s = writeIni(QString());
    TFormMain w;
    QVERIFY(QFile::remove(iniPath()));
    w.collections().bind(2, QStringLiteral("Sport"));
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [](TFormOptions* d) { QTest::mouseClick(d->btnOK, Qt::LeftButton); }));
    QVERIFY(errors.isEmpty());
    const QByteArray ini = sbtest::readFile(iniPath());
    for (const char* key : {"folder_lib=", "auto_play_next=1", "auto_offset=0", "random_play=0", "language="})
        QVERIFY2(ini.contains(key), key);
    QCOMPARE(w.collections().base(), s.base + '/');
    QCOMPARE(w.collections().name(1), QStringLiteral("Favorites"));
    QCOMPARE(w.collections().name(2), QStringLiteral("Archive"));
}

void TestDialogs::optionsChoosingGerman() {
    const Setup s = writeIni(QString());
    TFormMain w;
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [](TFormOptions* d) {
                                         const QList<QListWidgetItem*> german = d->cbLanguage->findItems(
                                             QStringLiteral("German"), Qt::MatchExactly);
                                         QCOMPARE(german.size(), 1);
                                         d->cbLanguage->setCurrentItem(german.first());
                                         QCOMPARE(d->Form_Language(), QStringLiteral("German.lng"));
                                         d->btnOK->click();
                                     }));
    QVERIFY(errors.isEmpty());
    QCOMPARE(common(QStringLiteral("language")), QStringLiteral("German.lng"));
    QCOMPARE(sbt::parts(w).LanguageEngine->Language(), QStringLiteral("German"));
    QCOMPARE(sbt::parts(w).actOptions->text(), QStringLiteral("Einstellungen"));
    for (const char* name : {"Favoriten", "Archiv", "Sport", "Auto", "Temp"})
        QVERIFY2(QDir(s.base).exists(QString::fromLatin1(name)), name);
    QCOMPARE(w.collections().name(1), QStringLiteral("Favoriten"));
    QCOMPARE(w.collections().name(2), QStringLiteral("Archiv"));
    QCOMPARE(sbt::parts(w).lbl_2_Collection->text(), QStringLiteral("Archiv"));
}

void TestDialogs::optionsCancelChangesNothing_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Escape key") << 1;
    QTest::newRow("window closed") << 2;
}

void TestDialogs::optionsCancelChangesNothing() {
    QFETCH(int, how);
    writeIni(QStringLiteral("Russian.lng"));
    TFormMain w;
    const QByteArray before = sbtest::readFile(iniPath());
    const QString caption = sbt::parts(w).actOptions->text();
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [&](TFormOptions* d) {
                                         d->edFolder->setText(QStringLiteral("/nowhere"));
                                         d->cbPlayRandom->setChecked(true);
                                         d->cbLanguage->setCurrentRow(0);
                                         if (how == 0) {
                                             QTest::mouseClick(d->btnCancel, Qt::LeftButton);
                                         } else if (how == 1) {
                                             d->cbLanguage->setFocus();
                                             QTest::keyClick(d->cbLanguage, Qt::Key_Escape);
                                         } else {
                                             d->close();
                                         }
                                         QVERIFY(!d->isVisible());
                                     }));
    QCOMPARE(sbtest::readFile(iniPath()), before);
    QCOMPARE(common(QStringLiteral("random_play")), QStringLiteral("<missing>"));
    QCOMPARE(common(QStringLiteral("language")), QStringLiteral("Russian.lng"));
    QVERIFY(!w.session().options().randomPlay);
    QCOMPARE(sbt::parts(w).actOptions->text(), caption);
}

void TestDialogs::optionsUnknownLanguage() {
    writeIni(QStringLiteral("Klingon.lng"));
    TFormMain w;
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [](TFormOptions* d) {
                                         QVERIFY(d->cbLanguage->count() >= 3);
                                         QVERIFY(d->cbLanguage->selectedItems().isEmpty());
                                         QCOMPARE(d->Form_Language(), QString());
                                         d->btnOK->click();
                                     }));
    QCOMPARE(common(QStringLiteral("language")), QString());
    QVERIFY(sbtest::readFile(iniPath()).contains("language=\r\n"));
}

void TestDialogs::optionsNoLanguageMarksEnglish() {
    // No language means the built-in English texts; OK must not switch to whichever file comes first.
    optionsBase = new TOptionsBase(QString());
    TFormOptions d;
    for (const char* f : {"Russian.lng", "German.lng", "English.lng", "ab"})
        d.Form_LangAdd(QString::fromLatin1(f));
    d.form_ReadOptions();
    QCOMPARE(d.Form_Language(), QStringLiteral("English.lng"));

    TFormOptions without;
    for (const char* f : {"Russian.lng", "German.lng"})
        without.Form_LangAdd(QString::fromLatin1(f));
    without.form_ReadOptions();
    QCOMPARE(without.Form_Language(), QString());
    // A stored name is matched without regard to letter case.
    optionsBase->WriteString(QStringLiteral("common"), QStringLiteral("language"),
                             QStringLiteral("GERMAN.LNG"));
    without.form_ReadOptions();
    QCOMPARE(without.Form_Language(), QStringLiteral("German.lng"));
    delete optionsBase;
    optionsBase = nullptr;
}

// The folder for collections means what a Linux user means: "~" is the home folder, blanks are the
// default, and nothing lands in whatever folder the program was started from.
void TestDialogs::optionsFolderAsTyped_data() {
    QTest::addColumn<QString>("typed");  // "<tmp>" stands for a fresh folder
    QTest::addColumn<QString>("stored"); // "<home>" and "<tmp>" are replaced
    QTest::addColumn<QString>("base");
    QTest::newRow("home folder") << "~/Sorted"
                                 << "<home>/Sorted"
                                 << "<home>/Sorted/";
    QTest::newRow("the home folder's own name") << "~/"
                                                << "<home>/"
                                                << "<home>/";
    QTest::newRow("blanks") << "   "
                            << ""
                            << "<home>/Sonabin/";
    QTest::newRow("empty") << ""
                           << ""
                           << "<home>/Sonabin/";
    QTest::newRow("blanks before a full path") << "  <tmp>"
                                               << "<tmp>"
                                               << "<tmp>/";
}

void TestDialogs::optionsFolderAsTyped() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, base);
    const QString tmp = sbtest::makeTempDir(QStringLiteral("typed"));
    const auto fill = [&](QString text) {
        return text.replace(QStringLiteral("<home>"), QDir::homePath()).replace(QStringLiteral("<tmp>"), tmp);
    };
    writeIni(QString());
    const QStringList here =
        QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    {
        TFormMain w;
        QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                         [&](TFormOptions* d) {
                                             d->edFolder->setText(fill(typed));
                                             d->btnOK->click();
                                             QVERIFY(!d->isVisible());
                                         }));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(common(QStringLiteral("folder_lib")), fill(stored));
        QCOMPARE(w.collections().base(), fill(base));
        QVERIFY(QDir(fill(base)).exists(QStringLiteral("Favorites")));
    }
    QVERIFY(sbtest::readFile(iniPath()).contains("folder_lib=" + fill(stored).toUtf8() + "\r\n"));
    QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), here);
    // The next start reads the same folder (one window at a time: the audio device is one).
    TFormMain again;
    QCOMPARE(again.collections().base(), fill(base));
}

void TestDialogs::optionsRefusesRelativeFolder_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("plain name, OK") << "Sorted" << false;
    QTest::newRow("plain name, Enter") << "Sorted" << true;
    QTest::newRow("dot") << "./Sorted" << false;
    QTest::newRow("dot dot") << "../Sorted" << true;
    QTest::newRow("unknown user") << "~no-such-user-here/Sorted" << false;
}

void TestDialogs::optionsRefusesRelativeFolder() {
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    const Setup s = writeIni(QString());
    TFormMain w;
    const QByteArray iniBefore = sbtest::readFile(iniPath());
    const QStringList here =
        QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QStringList warnings;
    QTimer answer; // answers the warning the dialog shows over itself
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            warnings << box->text();
            box->accept();
        }
    });
    answer.start();
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [&](TFormOptions* d) {
                                         d->edFolder->setText(typed);
                                         if (byEnter)
                                             QTest::keyClick(d->edFolder, Qt::Key_Return);
                                         else
                                             d->btnOK->click();
                                         QVERIFY(d->isVisible()); // the dialog stays open to mend it
                                         QCOMPARE(warnings.size(), 1);
                                         QVERIFY2(warnings.first().contains(typed),
                                                  qPrintable(warnings.first()));
                                         QVERIFY(warnings.first().contains(QStringLiteral("full path")));
                                         QCOMPARE(common(QStringLiteral("folder_lib")), s.base);
                                     }));
    QVERIFY(errors.isEmpty());
    QCOMPARE(sbtest::readFile(iniPath()), iniBefore);
    QCOMPARE(w.collections().base(), s.base + '/');
    QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), here);
}

// --- help ---

void TestDialogs::helpFileChoice_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("logged");
    QTest::newRow("German without German.help") << "German" << QStringList{"English.help"} << "English.help"
                                                << "German.help";
    QTest::newRow("German with German.help")
        << "German" << QStringList{"English.help", "German.help"} << "German.help"
        << "German.help";
    QTest::newRow("letter case of the file differs")
        << "German" << QStringList{"english.help", "german.HELP"} << "german.HELP"
        << "German.help";
    QTest::newRow("no language") << "" << QStringList{"English.help", "German.help"} << "English.help"
                                 << "";
    QTest::newRow("English without English.help") << "English" << QStringList{"German.help"} << ""
                                                  << "English.help";
}

void TestDialogs::helpFileChoice() {
    QFETCH(QString, language);
    QFETCH(QStringList, present);
    QFETCH(QString, chosen);
    QFETCH(QString, logged);
    const QString folder = sbtest::makeTempDir(QStringLiteral("Help")) + '/';
    for (const QString& f : present)
        QVERIFY(sbtest::writeFile(folder + f, "[topic]" + f.toUtf8() + "\r\ntext\r\n"));
    const qsizetype before = logLines().size();
    const QString file = TFormHelp::chooseHelpFile(folder, language);
    QCOMPARE(file, chosen.isEmpty() ? QString() : folder + chosen);
    QCOMPARE(logLines().mid(before),
             QStringList{QStringLiteral("Help: ") + (logged.isEmpty() ? QString() : folder + logged)});

    TFormHelp help;
    if (!file.isEmpty())
        help.FormSetupHelpFile(file);
    QCOMPARE(help.LIST_TOPIC, QStringList{chosen.isEmpty() ? QStringLiteral("Welcome!") : chosen});
    QCOMPARE(help.lbContent->currentRow(), 0);
    QCOMPARE(help.MemoText->toPlainText(), help.LIST_CONTENT.first());
}

void TestDialogs::helpTopicsAndEmptyFile() {
    const QString folder = sbtest::makeTempDir(QStringLiteral("topics")) + '/';
    QVERIFY(sbtest::writeFile(folder + "a.help", "[topic]One\r\nfirst\r\n[topic]Two\r\nsecond\r\nline\r\n"));
    QVERIFY(sbtest::writeFile(folder + "empty.help", "[topic]Only a marker\r\n"));
    TFormHelp help;
    help.FormSetupHelpFile(folder + "a.help");
    QCOMPARE(help.Ffile_help, folder + "a.help");
    QCOMPARE(listTexts(help.lbContent), (QStringList{"One", "Two"}));
    QCOMPARE(help.MemoText->toPlainText(), QStringLiteral("first"));
    help.lbContent->setCurrentRow(1);
    QCOMPARE(help.MemoText->toPlainText(), QStringLiteral("second\nline"));
    QVERIFY(help.MemoText->isReadOnly());

    // A file without topics: nothing listed, nothing selected, and no stale text left standing.
    help.FormSetupHelpFile(folder + "empty.help");
    QCOMPARE(help.lbContent->count(), 0);
    QCOMPARE(help.lbContent->currentRow(), -1);
    QCOMPARE(help.MemoText->toPlainText(), QString());

    // A file that has gone: the built-in topic.
    help.FormSetupHelpFile(folder + "gone.help");
    QCOMPARE(listTexts(help.lbContent), QStringList{"Welcome!"});
    QVERIFY(help.MemoText->toPlainText().startsWith("Sorry, but help file not found!"));
}

void TestDialogs::helpThroughMainWindow() {
    writeIni(QStringLiteral("German.lng"));
    TFormMain w;
    const qsizetype before = logLines().size();
    QVERIFY(whileModal<TFormHelp>([&] { sbt::parts(w).actHelp->trigger(); },
                                  [&](TFormHelp* d) {
                                      QCOMPARE(d->windowTitle(), QStringLiteral("Hilfe"));
                                      QCOMPARE(d->lblCaption->text(), QStringLiteral("Hilfe"));
                                      QCOMPARE(d->lblDescr->text(), QStringLiteral("Hilfe anzeigen"));
                                      // The shipped German help, read from the program's Help folder.
                                      QCOMPARE(d->Ffile_help, getProgramFolder("Help") + "German.help");
                                      QVERIFY(d->LIST_TOPIC.size() >= 10);
                                      QCOMPARE(d->LIST_TOPIC.first(),
                                               QStringLiteral("Willkommen bei Sonabin"));
                                      QVERIFY(d->MemoText->toPlainText().contains("Gefällt mir!"));
                                      d->move(40, 30);
                                      d->resize(700, 500);
                                      d->Splitter1->setSizes({250, 400});
                                      QTest::keyClick(d->lbContent, Qt::Key_Escape);
                                  }));
    QVERIFY(logLines().mid(before).contains("Help: " + getProgramFolder("Help") + "German.help"));
    // The geometry is kept for the next opening.
    const QString help = QStringLiteral("FormHelp");
    QCOMPARE(optionsBase->ReadInteger(help, "left", -1), 40);
    QCOMPARE(optionsBase->ReadInteger(help, "top", -1), 30);
    QCOMPARE(optionsBase->ReadInteger(help, "width", -1), 700);
    QCOMPARE(optionsBase->ReadInteger(help, "height", -1), 500);
    QCOMPARE(optionsBase->ReadInteger("LayoutLeft", "width", -1), 250);

    QVERIFY(whileModal<TFormHelp>([&] { sbt::parts(w).actHelp->trigger(); },
                                  [&](TFormHelp* d) {
                                      QCOMPARE(d->pos(), QPoint(40, 30));
                                      QCOMPARE(d->size(), QSize(700, 500));
                                      QCOMPARE(d->LayoutLeft->width(), 250);
                                      d->btnOK->click();
                                  }));
    QVERIFY(errors.isEmpty());
}

void TestDialogs::helpWidthLimits() {
    writeIni(QString(), "[FormHelp]\r\nwidth=120\r\n[LayoutLeft]\r\nwidth=10\r\n");
    TFormMain w;
    QVERIFY(whileModal<TFormHelp>([&] { sbt::parts(w).actHelp->trigger(); },
                                  [&](TFormHelp* d) {
                                      QCOMPARE(d->width(), 200); // a stored width below 200 snaps back
                                      QCOMPARE(d->LayoutLeft->width(), 50);
                                      d->resize(900, 500);
                                      QTRY_VERIFY(d->Splitter1->width() > 800);
                                      d->Splitter1->setSizes({800, 92});
                                      QCOMPARE(d->LayoutLeft->width(), 600);
                                      d->Splitter1->setSizes({5, 887});
                                      QCOMPARE(d->LayoutLeft->width(), 50);
                                      d->resize(150, 500);
                                      QTest::qWait(50);
                                      QCOMPARE(d->width(), 200);
                                  }));

    optionsBase->WriteInteger(QStringLiteral("FormHelp"), QStringLiteral("width"), 900);
    optionsBase->WriteInteger(QStringLiteral("LayoutLeft"), QStringLiteral("width"), 5000);
    QVERIFY(whileModal<TFormHelp>([&] { sbt::parts(w).actHelp->trigger(); },
                                  [&](TFormHelp* d) { QCOMPARE(d->LayoutLeft->width(), 600); }));
}

void TestDialogs::helpKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestDialogs::helpKeys() {
    QFETCH(int, key);
    QFETCH(int, result);
    TFormHelp help;
    int got = -1;
    connect(&help, &QDialog::finished, [&](int r) { got = r; });
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    // Whichever control has the focus, even the read-only text.
    help.MemoText->setFocus();
    QTest::keyClick(help.MemoText, Qt::Key(key));
    QCOMPARE(got, result);
    QVERIFY(!help.isVisible());
}

// --- about ---

void TestDialogs::aboutInfoText() {
    QCOMPARE(TFormAbout::infoText(nullptr),
             QStringLiteral("Sonabin Free\nVersion: 1.0 Build: 0\n26 Sept 2013\nSupported formats: mp3, "
                            "flac, ogg, oga, opus, m4a, wav"));
    TLanguageEngine none;
    QCOMPARE(TFormAbout::infoText(&none), TFormAbout::infoText(nullptr));
}

void TestDialogs::aboutEmptyLabelsUseDefaults() {
    const QString folder = sbtest::makeTempDir(QStringLiteral("lang")) + '/';
    QVERIFY(sbtest::writeFile(folder + "Test.lng", "txt_version=Versión\r\ntxt_build=\r\ntxt_formats=\r\n"));
    TLanguageEngine engine;
    engine.LoadFromFile(QStringLiteral("Test.lng"), folder);
    QCOMPARE(TFormAbout::infoText(&engine),
             QString::fromUtf8("Sonabin Free\nVersión: 1.0 Build: 0\n26 Sept 2013\nSupported formats: mp3, "
                               "flac, ogg, oga, opus, m4a, wav"));
}

void TestDialogs::aboutThroughMainWindow() {
    writeIni(QStringLiteral("Russian.lng"));
    TFormMain w;
    QVERIFY(whileModal<TFormAbout>(
        [&] { sbt::parts(w).actAbout->trigger(); },
        [](TFormAbout* d) {
            QCOMPARE(d->windowTitle(), QString::fromUtf8("О программе"));
            QCOMPARE(d->lblCaption->text(), QString::fromUtf8("О программе"));
            QCOMPARE(d->lblDescr->text(), QString::fromUtf8("Сведения о программе"));
            QCOMPARE(d->lblLink->text(), sb::homePage);
            QCOMPARE(d->btnOK->text(), QString::fromUtf8("ОК"));
            QCOMPARE(d->lblInfo->text(),
                     QString::fromUtf8(
                         "Sonabin Free\nВерсия: 1.0 Сборка: 0\n"
                         "26 Sept 2013\nПоддерживаемые форматы: mp3, flac, ogg, oga, opus, m4a, wav"));
            QTest::keyClick(d->btnOK, Qt::Key_Return);
            QCOMPARE(d->result(), int(QDialog::Accepted));
        }));
    QCOMPARE(w.findChildren<TFormAbout*>().size(), 0);
}

void TestDialogs::aboutLinkOpensShownAddress() {
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    TFormAbout about;
    about.FormSetupText(QStringLiteral("About"), QStringLiteral("About program"), sb::homePage);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.lblLink->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(about.lblLink, Qt::LeftButton);
    // The label's text may have been changed: what is shown is what opens.
    about.lblLink->setText(QStringLiteral("https://sonabin.example/other"));
    QTest::mouseClick(about.lblLink, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(openedUrls, (QList<QUrl>{QUrl(sb::homePage), QUrl("https://sonabin.example/other")}));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
