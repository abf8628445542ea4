// Collections: the base folder and its collection folders, the two Like buttons, their popup and the
// long press that opens it, and the Like action that copies the playing track.
#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorLanguage.h"
#include "dorTools.h"
#include "folderListing.h"
#include "fsPath.h"
#include "main.h"
#include "safeCopy.h"
#include "sbWidgets.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>
#include <cmath>

namespace {

// Ticks of TimerLongClick (25 ms each) before the long press is decided: about half a second.
constexpr int longClickTicks = 20;

// The name part of a track path; empty when the path names a folder (no track selected).
QString fileNamePart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(pathDelim);
    return slash < 0 ? path : path.mid(slash + 1);
}

QString textOf(const TLanguageEngine* language, const char* key, const char* def) {
    const QString text = QString::fromUtf8(def);
    return language ? language->getText(QString::fromLatin1(key), text) : text;
}

// Menu texts treat '&' as a mnemonic mark; a folder name is shown as it is.
QString menuText(QString name) {
    return name.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

void TFormMain::initFolders(bool reset) {
    session().initFolders(LanguageEngine
                              ? LanguageEngine->getText(QStringLiteral("def_libs"), sb::defaultLibraries)
                              : sb::defaultLibraries,
                          reset);
}

void TFormMain::updateButtons() {
    const auto count = [this](int slot) {
        return addBrackets(QString::number(collections().count(slot)), QLatin1Char('['), QLatin1Char(']'),
                           QStringLiteral("..."));
    };
    // A folder name is shown as it is, even one that looks like markup.
    lbl_1_collection->setTextFormat(Qt::PlainText);
    lbl_2_Collection->setTextFormat(Qt::PlainText);
    lbl_1_collection->setText(displayName(collections().name(1)));
    lbl_2_Collection->setText(displayName(collections().name(2)));
    lbl_1_count->setText(count(1));
    lbl_2_Count->setText(count(2));
    addLogValue(QStringLiteral("updateButtons"), QStringLiteral("Lib1: ") + collections().name(1) +
                                                     QStringLiteral(" Lib2: ") + collections().name(2));
}

void TFormMain::runLike(const QString& sFile, const QString& sLib) {
    session().like(sFile, sLib);
}

bool TFormMain::isTrackInLibrary(const QString& sFile, const QString& sLib) {
    return collections().holdsIn(sLib, fileNamePart(sFile));
}

qint32 TFormMain::checkLongClick() {
    const QPointF p = QCursor::pos();
    return static_cast<qint32>(std::lround(5.0 * p.x() + 50.0 * p.y()));
}

void TFormMain::btnLib1MouseDown(QToolButton* sender) {
    PM_LIBSTag = sender == btnLib1 ? 1 : 2;
    // The right button opens the popup at once, as the buttons' context menu; it starts no long press.
    if (QGuiApplication::mouseButtons() & Qt::RightButton) {
        btnLib1MouseUp(sender);
        return;
    }
    TimerLongClickTag = 0; // each press counts its own half second
    TimerLongClick->start();
    mouse_hash_1 = checkLongClick();
}

void TFormMain::btnLib1MouseUp(QToolButton*) {
    // Released before the decision: a click, not a long press.
    TimerLongClick->stop();
    TimerLongClickTag = 0;
}

void TFormMain::TimerLongClickTimer() {
    if (TimerLongClickTag < longClickTicks) {
        ++TimerLongClickTag;
        return;
    }
    TimerLongClick->stop();
    TimerLongClickTag = 0;
    if (checkLongClick() != mouse_hash_1 || PM_LIBS->isVisible())
        return;
    // The popup takes the release from here on; the held button must not run its Like when it comes.
    (PM_LIBSTag == 1 ? btnLib1 : btnLib2)->setDown(false);
    PM_LIBSPopup(PM_LIBS);
    PM_LIBS->popup(QCursor::pos());
}

void TFormMain::PM_LIBSPopup(QMenu* sender) {
    // Only what can hold a copy: folders and links to folders, in the track list's name order.
    const QStringList folders = collections().listFolders();
    sender->clear();
    for (const QString& name : folders) {
        QAction* entry = sender->addAction(menuText(displayName(name)));
        entry->setData(name);
        connect(entry, &QAction::triggered, this,
                [this, entry] { runGuarded([&] { onLibraryMenuClick(entry); }); });
    }
    sender->addSeparator();
    sender->addAction(actCreateNewLib);
    if (collections().holds(PM_LIBSTag, fileNamePart(currentFile)))
        sender->addAction(actDelFromLib);
    sender->addAction(actUndoLike);
}

void TFormMain::onLibraryMenuClick(QAction* entry) {
    session().bindCollection(PM_LIBSTag, entry->data().toString());
}

void TFormMain::actCommand1Execute() {
    runLike(currentFolder + currentFile, collections().name(1));
}

void TFormMain::actCommand2Execute() {
    runLike(currentFolder + currentFile, collections().name(2));
}

void TFormMain::actCreateNewLibExecute() {
    QInputDialog ask(this);
    ask.setWindowTitle(actCreateNewLib->text());
    ask.setLabelText(actionHint(actCreateNewLib));
    ask.setInputMode(QInputDialog::TextInput);
    // The prompt is a language's text, shown as it is.
    for (QLabel* l : ask.findChildren<QLabel*>())
        l->setTextFormat(Qt::PlainText);
    if (ask.exec() != QDialog::Accepted)
        return;
    const QString name = ask.textValue().trimmed();
    const TCreateRefusal refusal = collections().create(name);
    if (refusal == TCreateRefusal::None)
        return;
    QString text;
    switch (refusal) {
    case TCreateRefusal::Empty:
        text = textOf(LanguageEngine, "txt_folder_name_empty", "Please enter a name for the new folder.");
        break;
    case TCreateRefusal::Delimiter:
        text = textOf(LanguageEngine, "txt_folder_name_delim", "A folder name can not contain \"/\".");
        break;
    case TCreateRefusal::Dots:
        text = textOf(LanguageEngine, "txt_folder_name_dots",
                      "\".\" and \"..\" can not be used as folder names.");
        break;
    case TCreateRefusal::Exists:
    case TCreateRefusal::None:
        text = textOf(LanguageEngine, "txt_folder_exists", "A folder or file of this name already exists") +
               QStringLiteral(": ") + name;
        break;
    }
    QMessageBox box(QMessageBox::Warning, actCreateNewLib->text(), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TFormMain::actDelFromLibExecute() {
    const QString lib = collections().name(PM_LIBSTag);
    const QString name = fileNamePart(currentFile);
    if (!collections().holds(PM_LIBSTag, name)) {
        updateButtons(); // gone meanwhile: nothing to delete, but the counters may be stale
        return;
    }
    const QString question =
        textOf(LanguageEngine, "txt_delete_from_collection", "Delete \"%1\" from the collection \"%2\"?");
    QMessageBox confirm(QMessageBox::Question, actDelFromLib->text(),
                        SbText::fill(question, {displayName(name), displayName(lib)}),
                        QMessageBox::Yes | QMessageBox::No, this);
    confirm.setDefaultButton(QMessageBox::No);
    confirm.setTextFormat(Qt::PlainText); // names are shown as they are, even ones that look like markup
    if (confirm.exec() != QMessageBox::Yes)
        return;
    session().removeFromCollection(PM_LIBSTag, name);
}
