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
#include <QTimer>
#include <QToolButton>
#include <cerrno>
#include <cmath>
#include <sys/stat.h>

namespace {

// Ticks of TimerLongClick (25 ms each) before the long press is decided: about half a second.
constexpr int longClickTicks = 20;

// A collection is a folder directly inside the base folder, so its name must be a plain folder name.
bool isUsableFolderName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(pathDelim) && !name.contains(QChar(0));
}

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
    // "~/Sorted" means the home folder's Sorted, as in a shell. Empty (or blanks) must never mean the
    // file-system root, and a relative path (only a hand-edited file holds one: the options dialog refuses
    // it) never the folder the program happened to be started from: both use the default.
    const QString typed = expandTypedFolder(folderLibraryBase);
    if (!reset && !typed.isEmpty() && !typed.startsWith(pathDelim))
        addLogValue(QStringLiteral("> not a full path, default used"), folderLibraryBase);
    if (reset || !typed.startsWith(pathDelim))
        folderLibraryBase = defaultLibraryBase() + pathDelim;
    else
        folderLibraryBase = withDelim(typed);

    const QString listText = LanguageEngine
                                 ? LanguageEngine->getText(QStringLiteral("def_libs"), sb::defaultLibraries)
                                 : sb::defaultLibraries;
    QStringList names;
    for (const QString& name : listText.split(QLatin1Char(','))) {
        if (isUsableFolderName(name))
            names << name;
        else
            addLogValue(QStringLiteral("> skipped collection name"), name);
    }
    // Both buttons need a collection; a short or broken list borrows the built-in names.
    for (const QString& name : sb::defaultLibraries.split(QLatin1Char(','))) {
        if (names.size() >= 2)
            break;
        if (!names.contains(name))
            names << name;
    }

    folderLibrary1 = names.at(0);
    folderLibrary2 = names.at(1);
    addLog(QStringLiteral("initFolders"));
    addLogValue(QStringLiteral("> folderLibraryBase"), folderLibraryBase);
    addLogValue(QStringLiteral("> folderLibrary1"), folderLibrary1);
    addLogValue(QStringLiteral("> folderLibrary2"), folderLibrary2);

    // The buttons show their collections even when a folder cannot be made; the error is reported after.
    try {
        checkFolder(folderLibraryBase);
        for (const QString& name : std::as_const(names))
            checkFolder(folderLibraryBase + name);
        // What a copy cut short by a crash left behind, in every collection, not only the default ones; a
        // copy running in another instance is kept.
        removeStaleCopyPartsInCollections(folderLibraryBase);
    } catch (...) {
        updateButtons();
        updateSortedIndex(false);
        throw;
    }
    updateButtons();
    updateSortedIndex(false);
}

void TFormMain::updateButtons() {
    const auto count = [this](const QString& lib) {
        return addBrackets(QString::number(countFiles(folderLibraryBase + lib, sb::appFormats)),
                           QLatin1Char('['), QLatin1Char(']'), QStringLiteral("..."));
    };
    // A folder name is shown as it is, even one that looks like markup.
    lbl_1_collection->setTextFormat(Qt::PlainText);
    lbl_2_Collection->setTextFormat(Qt::PlainText);
    lbl_1_collection->setText(displayName(folderLibrary1));
    lbl_2_Collection->setText(displayName(folderLibrary2));
    lbl_1_count->setText(count(folderLibrary1));
    lbl_2_Count->setText(count(folderLibrary2));
    addLogValue(QStringLiteral("updateButtons"),
                QStringLiteral("Lib1: ") + folderLibrary1 + QStringLiteral(" Lib2: ") + folderLibrary2);
}

void TFormMain::runLike(const QString& sFile, const QString& sLib) {
    const QString name = fileNamePart(sFile);
    if (name.isEmpty())
        throw SbError(SbText(sbmsg::noTrack, {sFile}));
    if (!isUsableFolderName(sLib))
        throw SbError(SbText(sbmsg::noCollection));
    checkFolder(folderLibraryBase);
    const QString target = withDelim(folderLibraryBase + sLib) + name;
    checkFolder(withDelim(folderLibraryBase + sLib)); // the first Like into a collection creates it

    // Only the name is compared; a file of that name is never replaced, whatever it holds. A copy that
    // fails throws before anything below runs: no notice, no recount, no next track.
    TFileStamp written;
    const bool exists =
        entryExists(target) || copyFileNoReplace(sFile, target, &written) == TCopyResult::TargetExists;
    if (!exists) {
        // Only a Like that made a copy can be taken back, and only while the copy is this very file.
        likeHistory.add({sFile, target, sLib, written});
        updateUndoLike();
    }
    if (!exists || isRegularFile(target))
        noteSorted(withDelim(folderLibraryBase + sLib), name, true);
    if (exists) {
        showInfo(textOf(LanguageEngine, "txt_file_exists", "File exists!"),
                 textOf(LanguageEngine, "txt_file_exists_hint", "File already exists") +
                     QStringLiteral(": ") + displayName(name),
                 dmtWarning);
    } else {
        showInfo(sb::copyToCollection, displayName(target), dmtInfo);
    }
    updateButtons();
    if (opt_play_next_after_copy)
        actNext->trigger();
}

bool TFormMain::isTrackInLibrary(const QString& sFile, const QString& sLib) {
    const QString name = fileNamePart(sFile);
    return !name.isEmpty() && isRegularFile(withDelim(folderLibraryBase + sLib) + name);
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
    if (!isFolder(folderLibraryBase))
        throw SbError(SbText(sbmsg::baseMissing, {folderLibraryBase}));
    // Only what can hold a copy: folders and links to folders, in the track list's name order.
    QStringList folders;
    try {
        folders = listFolder(folderLibraryBase, QString(), false).folders;
    } catch (const SbError&) {
        throw SbError(SbText(sbmsg::baseUnreadable, {folderLibraryBase}));
    }
    const QString current = PM_LIBSTag == 1 ? folderLibrary1 : folderLibrary2;

    sender->clear();
    for (const QString& name : folders) {
        QAction* entry = sender->addAction(menuText(displayName(name)));
        entry->setData(name);
        connect(entry, &QAction::triggered, this,
                [this, entry] { runGuarded([&] { onLibraryMenuClick(entry); }); });
    }
    sender->addSeparator();
    sender->addAction(actCreateNewLib);
    if (isTrackInLibrary(currentFile, current))
        sender->addAction(actDelFromLib);
    sender->addAction(actUndoLike);
}

void TFormMain::onLibraryMenuClick(QAction* entry) {
    const QString name = entry->data().toString();
    if (PM_LIBSTag == 1)
        folderLibrary1 = name;
    else
        folderLibrary2 = name;
    updateButtons();
    updateSortedIndex(false);
}

void TFormMain::actCommand1Execute() {
    runLike(currentFolder + currentFile, folderLibrary1);
}

void TFormMain::actCommand2Execute() {
    runLike(currentFolder + currentFile, folderLibrary2);
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
    const auto refuse = [this](const QString& text) {
        QMessageBox box(QMessageBox::Warning, actCreateNewLib->text(), text, QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
    if (name.isEmpty())
        return refuse(
            textOf(LanguageEngine, "txt_folder_name_empty", "Please enter a name for the new folder."));
    if (name.contains(pathDelim) || name.contains(QChar(0)))
        return refuse(
            textOf(LanguageEngine, "txt_folder_name_delim", "A folder name can not contain \"/\"."));
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return refuse(textOf(LanguageEngine, "txt_folder_name_dots",
                             "\".\" and \"..\" can not be used as folder names."));

    checkFolder(folderLibraryBase);
    const QString path = folderLibraryBase + name;
    if (entryExists(path))
        return refuse(
            textOf(LanguageEngine, "txt_folder_exists", "A folder or file of this name already exists") +
            QStringLiteral(": ") + name);
    if (::mkdir(pathBytes(path).constData(), 0777) != 0) {
        const int err = errno;
        if (err == EEXIST)
            return refuse(
                textOf(LanguageEngine, "txt_folder_exists", "A folder or file of this name already exists") +
                QStringLiteral(": ") + name);
        throw SbError(SbText(sbmsg::folderCreate, {path, osReason(err)}));
    }
    addLogValue(QStringLiteral("> new collection"), path);
}

void TFormMain::actDelFromLibExecute() {
    const QString lib = PM_LIBSTag == 1 ? folderLibrary1 : folderLibrary2;
    const QString name = fileNamePart(currentFile);
    const QString path = withDelim(folderLibraryBase + lib) + name;
    if (!isTrackInLibrary(currentFile, lib)) {
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
    if (::unlink(pathBytes(path).constData()) != 0 && errno != ENOENT) {
        const int err = errno;
        throw SbError(SbText(sbmsg::deleteFailed, {path, osReason(err)}));
    }
    addLogValue(QStringLiteral("> deleted from collection"), path);
    noteSorted(withDelim(folderLibraryBase + lib), name, false);
    updateButtons();
}
