// The program in each shipped language, as a user meets it: the scan keeps the language, Qt's own texts
// follow it, every message is translated, no button cuts its text, the file dialogs are readable, and a
// language's texts are never read as markup.
#include "const_sb.h"
#include "dorLanguage.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "formMainAccess.h"
#include "form_about.h"
#include "form_help.h"
#include "form_log.h"
#include "form_options.h"
#include "languageTexts.h"
#include "main.h"
#include "safeCopy.h"
#include "sbText.h"
#include "sbWidgets.h"
#include "sbtest.h"
#include "windowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <cerrno>
#include <cmath>
#include <functional>
#include <map>

namespace {

using sbtest::iniPath;
using sbtest::whileModal;
using sbtest::writeIni;
using Setup = sbtest::StartFolders;

TTexts shipped(const QString& language) {
    TTexts t;
    t.loadFromFile(SONABIN_SOURCE_DIR "/Lang/" + language + ".lng");
    return t;
}

// Buttons whose text shows but does not fit: Qt cuts such a text in the middle ("Ein…gen").
QStringList cutButtons(QWidget* window) {
    QStringList cut;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisible() || b->text().isEmpty())
            continue;
        if (auto* tb = qobject_cast<QToolButton*>(b); tb && tb->toolButtonStyle() == Qt::ToolButtonIconOnly)
            continue;
        if (b->width() < b->sizeHint().width())
            cut << QStringLiteral("%1 \"%2\": %3 < %4")
                       .arg(b->objectName(), b->text())
                       .arg(b->width())
                       .arg(b->sizeHint().width());
    }
    return cut;
}

double luminance(QColor c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(QColor a, QColor b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast between the background of a painted text area and its text: the background is the most
// frequent colour, the text the one that stands out most from it (anti-aliased edges lie in between).
// Returns 0 when nothing but background was painted.
double paintedContrast(const QImage& image, const QRect& area) {
    std::map<QRgb, int> counts;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++counts[image.pixel(x, y)];
    if (counts.size() < 2)
        return 0;
    QRgb background = counts.begin()->first;
    for (const auto& [rgb, n] : counts)
        if (n > counts[background])
            background = rgb;
    double best = 0;
    for (const auto& [rgb, n] : counts)
        best = std::max(best, contrast(QColor(rgb), QColor(background)));
    return best;
}

// Every entry the view shows must be readable, on the rows' own background.
void checkListReadable(QAbstractItemView* view, const QString& what) {
    QVERIFY2(view && view->isVisible(), qPrintable(what));
    QAbstractItemModel* model = view->model();
    QTRY_VERIFY2(model->rowCount(view->rootIndex()) > 0, qPrintable(what));
    QTest::qWait(50); // the file model fills in the background; let the view paint what it has
    const QImage image = view->viewport()->grab().toImage();
    const int icon = view->iconSize().isValid() ? view->iconSize().width() : 16;
    int checked = 0;
    for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = model->index(row, 0, view->rootIndex());
        const QRect rect = view->visualRect(index);
        if (rect.isEmpty() || !view->viewport()->rect().contains(rect.topLeft()))
            continue;
        // The name, right of the icon.
        const QRect text = rect.adjusted(icon + 8, 1, 0, -1);
        const double ratio = paintedContrast(image, text);
        QVERIFY2(
            ratio >= 4.5,
            qPrintable(
                QStringLiteral("%1, \"%2\": contrast %3").arg(what, index.data().toString()).arg(ratio)));
        ++checked;
    }
    QVERIFY2(checked > 0, qPrintable(what));
}

QAbstractItemView* fileList(QFileDialog* d) {
    for (const char* name : {"treeView", "listView"})
        if (auto* v = d->findChild<QAbstractItemView*>(QLatin1String(name)); v && v->isVisible())
            return v;
    return nullptr;
}

const QStringList shippedLanguages = {"English", "German", "Russian"};

} // namespace

class TstLocalization : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void scanKeepsLanguageThroughOptions_data();
    void scanKeepsLanguageThroughOptions();
    void qtTextsFollowLanguage_data();
    void qtTextsFollowLanguage();
    void messagesInLanguage_data();
    void messagesInLanguage();
    void buttonsShowWholeTexts_data();
    void buttonsShowWholeTexts();
    void fileDialogsReadable();
    void languageTextsArePlain();
    void logWindowUsesProgramStyle();

private:
    QStringList errors;
};

void TstLocalization::init() {
    errors.clear();
    TFormMainTestAccess::errorReportHook() = [this](const QString& text) { errors << text; };
}

void TstLocalization::cleanup() {
    TFormMainTestAccess::errorReportHook() = {};
    setCopySyncFailureForTests(0);
}

void TstLocalization::scanKeepsLanguageThroughOptions_data() {
    QTest::addColumn<QString>("language");
    for (const QString& l : shippedLanguages)
        QTest::newRow(qPrintable(l)) << l;
}

// Ctrl+F11, then the options, then OK without a change: the language stays what it was.
void TstLocalization::scanKeepsLanguageThroughOptions() {
    QFETCH(QString, language);
    // The source file goes beside copies of the shipped files, not into the build's Lang folder.
    const QString lang = sbtest::makeTempDir("lang") + '/';
    for (const QString& l : shippedLanguages)
        QVERIFY(QFile::copy(SONABIN_SOURCE_DIR "/Lang/" + l + ".lng", lang + l + ".lng"));
    const QString file = language + ".lng";
    const Setup s = writeIni(file);
    TFormMain w;
    sbt::parts(w).LanguageEngine->setFolder(lang);
    const TTexts texts = shipped(language);
    const QStringList libs = texts.value("def_libs").split(',');

    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F11, Qt::ControlModifier);
    QVERIFY(QFile::exists(lang + "SOURCE_FormMain.SRC"));
    QCOMPARE(sbt::parts(w).LanguageEngine->Language(), language);
    QCOMPARE(sbt::parts(w).LanguageEngine->languages().size(), 3);
    QCOMPARE(sbt::parts(w).LanguageEngine->getText("def_libs", sb::defaultLibraries),
             texts.value("def_libs"));

    QString folderCaption;
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [&](TFormOptions* d) {
                                         folderCaption = d->lblFolder->text();
                                         d->accept();
                                     }));
    QCOMPARE(folderCaption, texts.value("lblFolder"));
    QCOMPARE(optionsBase->ReadString("common", "language", "<missing>"), file);
    QCOMPARE(sbtest::readFile(iniPath()).contains("language=" + file.toUtf8() + "\r\n"), true);
    QCOMPARE(sbt::parts(w).actOptions->text(), texts.value("actOptions"));
    QCOMPARE(sbt::parts(w).lbl_1_collection->text(), libs.at(0));
    QCOMPARE(sbt::parts(w).lbl_2_Collection->text(), libs.at(1));
    // Only this language's collections exist: no English ones beside them.
    QStringList expected = libs;
    expected.sort();
    QStringList made = QDir(s.base).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    made.sort();
    QCOMPARE(made, expected);
    QVERIFY(errors.isEmpty());
}

void TstLocalization::qtTextsFollowLanguage_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("yes");
    QTest::addColumn<QString>("cancel");
    QTest::addColumn<QString>("undo");
    QTest::newRow("English") << "English"
                             << "&Yes"
                             << "Cancel"
                             << "&Undo";
    QTest::newRow("German") << "German"
                            << "&Ja"
                            << "Abbrechen"
                            << "&Rückgängig";
    QTest::newRow("Russian") << "Russian"
                             << "&Да"
                             << "Отмена"
                             << "&Отменить действие";
}

// The delete confirmation's Yes/No, the new-folder prompt's OK/Cancel, the edit fields' context menus and
// the file dialog come from Qt; they speak the chosen language.
void TstLocalization::qtTextsFollowLanguage() {
    QFETCH(QString, language);
    QFETCH(QString, yes);
    QFETCH(QString, cancel);
    QFETCH(QString, undo);
    writeIni(language + ".lng");
    TFormMain w;

    QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), yes);
    QMessageBox ask(QMessageBox::Question, "t", "q", QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(ask.button(QMessageBox::Cancel)->text(), cancel);

    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QVERIFY(!menu->actions().isEmpty());
    QCOMPARE(menu->actions().first()->text().section('\t', 0, 0), undo);

    // The file dialog: its cancel button and the label of its name field.
    QString dialogCancel;
    QVERIFY(whileModal<QFileDialog>([&] { sbt::parts(w).actopenFolder->trigger(); },
                                    [&](QFileDialog* d) {
                                        if (auto* b = d->findChild<QDialogButtonBox*>())
                                            dialogCancel = b->button(QDialogButtonBox::Cancel)->text();
                                    }));
    QCOMPARE(dialogCancel.remove('&'), QString(cancel).remove('&'));
}

void TstLocalization::messagesInLanguage_data() {
    QTest::addColumn<QString>("language");
    for (const QString& l : shippedLanguages)
        QTest::newRow(qPrintable(l)) << l;
}

// Messages raised where no language is at hand reach the user in the chosen language, reasons included.
void TstLocalization::messagesInLanguage() {
    QFETCH(QString, language);
    const TTexts texts = shipped(language);
    const Setup s = writeIni(language + ".lng");
    const QString track = "Tone.mp3";
    QVERIFY(sbtest::writeToneMp3(s.music + track, {}));
    TFormMain w;
    const QStringList libs = texts.value("def_libs").split(',');

    // No collection chosen for the button.
    w.collections().bind(1, QString());
    sbt::parts(w).actCommand1->trigger();
    QCOMPARE(errors, QStringList{texts.value("txt_err_no_collection")});

    // The base folder vanished before the collection menu opened.
    errors.clear();
    const QString gone = s.base + "/gone/";
    w.collections().setBase(gone);
    emit sbt::parts(w).btnLib1->customContextMenuRequested(QPoint(5, 5));
    QCOMPARE(errors, QStringList{SbText::fill(texts.value("txt_err_base_missing"), {gone})});

    // A copy that did not reach the disk, with the system's reason.
    errors.clear();
    w.collections().setBase(s.base + '/');
    w.initFolders(false);
    sbt::parts(w).currentFile = track;
    setCopySyncFailureForTests(ENOSPC);
    sbt::parts(w).actCommand1->trigger();
    waitForCopiesOnDisk();
    QTRY_COMPARE(errors.size(), 1);
    QCOMPARE(errors[0], SbText::fill(texts.value("txt_err_disk_removed"),
                                     {track, texts.value("txt_os_enospc"), libs.at(0)}));
}

void TstLocalization::buttonsShowWholeTexts_data() {
    QTest::addColumn<QString>("language");
    for (const QString& l : shippedLanguages)
        QTest::newRow(qPrintable(l)) << l;
}

void TstLocalization::buttonsShowWholeTexts() {
    QFETCH(QString, language);
    writeIni(language + ".lng");
    TFormMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Wide enough for the tool buttons to show their texts; the buttons' widths are the rule's minimums.
    for (const QSize& size : {QSize(1280, 700), QSize(843, 535)}) {
        w.resize(size);
        QApplication::processEvents();
        QTRY_VERIFY2(cutButtons(&w).isEmpty(), qPrintable(cutButtons(&w).join("; ")));
    }
    QCOMPARE(sbt::parts(w).button_options->toolButtonStyle(), Qt::ToolButtonIconOnly); // narrow: icons only
    w.resize(1280, 700);
    QTRY_COMPARE(sbt::parts(w).button_options->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QVERIFY(sbt::parts(w).button_options->width() >= 80 && sbt::parts(w).button_help->width() >= 70 &&
            sbt::parts(w).button_about->width() >= 90);

    QStringList cut;
    const auto check = [&](QWidget* d) {
        QApplication::processEvents();
        cut << cutButtons(d);
    };
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); }, check));
    QVERIFY(whileModal<TFormHelp>([&] { sbt::parts(w).actHelp->trigger(); }, check));
    QVERIFY(whileModal<TFormAbout>([&] { sbt::parts(w).actAbout->trigger(); }, check));
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
}

// Qt's dialogs (where the desktop offers none of its own) take the program's dark style: their lists must
// not paint light text on a light ground.
void TstLocalization::fileDialogsReadable() {
    const Setup s = writeIni("German.lng");
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        QVERIFY(sbtest::writeFile(s.music + name, "x"));
    QVERIFY(QDir(s.base).mkpath("Sub"));
    TFormMain w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QVERIFY(whileModal<QFileDialog>([&] { sbt::parts(w).actopenFolder->trigger(); },
                                    [&](QFileDialog* d) {
                                        QVERIFY(QTest::qWaitForWindowExposed(d));
                                        checkListReadable(fileList(d), "file list");
                                        checkListReadable(d->findChild<QListView*>("sidebar"), "sidebar");
                                    }));
    // The folder chooser of the options dialog.
    bool chooserSeen = false;
    QVERIFY(whileModal<TFormOptions>([&] { sbt::parts(w).actOptions->trigger(); },
                                     [&](TFormOptions* o) {
                                         o->edFolder->setText(s.base);
                                         chooserSeen = whileModal<QFileDialog>(
                                             [&] { o->btnSelectFolder->click(); },
                                             [&](QFileDialog* d) {
                                                 QVERIFY(QTest::qWaitForWindowExposed(d));
                                                 checkListReadable(fileList(d), "folder list");
                                             });
                                     }));
    QVERIFY(chooserSeen);
}

// Texts from a language file are shown as they are: a "<b>" is two characters and a letter, not bold.
void TstLocalization::languageTextsArePlain() {
    const QString lang = sbtest::makeTempDir("markup") + '/';
    QVERIFY(sbtest::writeFile(lang + "Markup.lng", "lbl_1_like=<b>Big</b>\r\n"
                                                   "lbl_2_like=<i>x</i>\r\n"
                                                   "actOptions_hint=<u>Hint</u>\r\n"
                                                   "lblCurrFolder=<b>Dir</b>:\r\n"));
    writeIni("Markup.lng");
    TFormMain w;
    sbt::parts(w).LanguageEngine->setFolder(lang);
    w.initLanguage();
    w.ScanFolder(sbt::parts(w).currentFolder); // puts lblCurrFolder's text on lbl_fm_1

    for (QLabel* l : {sbt::parts(w).lbl_1_like, sbt::parts(w).lbl_2_like, sbt::parts(w).lbl_fm_1}) {
        const QString text = l->text().trimmed();
        QVERIFY2(text.startsWith('<'), qPrintable(text));
        // Rendered as markup, the label would only be as wide as the words between the tags.
        QVERIFY2(l->sizeHint().width() >= l->fontMetrics().horizontalAdvance(text), qPrintable(text));
    }
    QTextDocument tip;
    tip.setHtml(sbt::parts(w).actOptions->toolTip());
    QCOMPARE(tip.toPlainText(), QStringLiteral("<u>Hint</u>"));
    QCOMPARE(actionHint(sbt::parts(w).actOptions), QStringLiteral("<u>Hint</u>"));
}

void TstLocalization::logWindowUsesProgramStyle() {
    createLogWindow();
    TFormLog* log = logWindow();
    QVERIFY(log);
    log->show();
    QVERIFY(QTest::qWaitForWindowExposed(log));
    QPlainTextEdit* memo = log->MemoLog;
    QVERIFY(memo->font().pixelSize() > 0); // sized in pixels, like every other window
    QVERIFY(memo->font().fixedPitch() || QFontInfo(memo->font()).fixedPitch());
    const QImage image = memo->viewport()->grab().toImage();
    QVERIFY(paintedContrast(image, image.rect()) >= 4.5);
    // The program's dark ground, not Qt's white.
    QVERIFY(luminance(memo->palette().color(QPalette::Base)) < 0.1);
    log->hide();
    freeLogWindow();
}

QTEST_MAIN(TstLocalization)
#include "tst_localization.moc"
