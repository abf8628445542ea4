// Folder scanning and the track list of the main window.
#include "TrackList.h"
#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorLanguage.h"
#include "dorTools.h"
#include "folderListing.h"
#include "main.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QStyle>
#include <utility>

namespace {

QPixmap entryPicture(const QLabel* label, QStyle::StandardPixmap fallback) {
    QPixmap pix = label ? label->pixmap() : QPixmap();
    if (pix.isNull())
        pix = QApplication::style()->standardIcon(fallback).pixmap(TTrackListDelegate::iconSize);
    return pix;
}

} // namespace

void TFormMain::setupTrackList() {
    trackModel = &session().playList();
    lbTracklist->setModel(trackModel);
    auto* delegate = new TTrackListDelegate(lbTracklist);
    delegate->setIcons(entryPicture(imgMusic, QStyle::SP_MediaVolume),
                       entryPicture(imgFolder, QStyle::SP_DirIcon));
    lbTracklist->setItemDelegate(delegate);
    lbTracklist->setSelectionMode(QAbstractItemView::SingleSelection);
    lbTracklist->setSelectionBehavior(QAbstractItemView::SelectRows);
    lbTracklist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbTracklist->setIconSize(QSize(TTrackListDelegate::iconSize, TTrackListDelegate::iconSize));
    // Every row has the same height, so the view never measures ten thousand entries one by one.
    lbTracklist->setUniformItemSizes(true);

    // File and folder names are shown as they are, never as markup.
    for (QLabel* label : {lblFolder, lblCurrentFile, lbl_fm_1, lbl_fm_2})
        label->setTextFormat(Qt::PlainText);

    auto* events = new TTrackListEvents(lbTracklist);
    connect(events, &TTrackListEvents::changed, this,
            [this] { runGuarded([this] { lbTracklistChange(); }); });
    connect(events, &TTrackListEvents::doubleClicked, this,
            [this] { runGuarded([this] { lbTracklistDblClick(); }); });
}

void TFormMain::ScanFolder(const QString& folderArg) {
    // A copy: callers pass currentFolder itself, which the scan rewrites.
    const QString folder = folderArg;
    actStop->trigger();
    currentFolder = withDelim(folder);
    lblFolder->setText(displayName(currentFolder));
    addLogValue("ScanFolder", folder);

    // A folder that vanished or cannot be read leaves the old list whole.
    bool found = false;
    try {
        found = trackModel->load(currentFolder);
    } catch (const SbError& e) {
        addLogValue("> Can not read", e.text());
    }
    showFolderInfo(found);
    if (!found)
        return;

    // One listing of each bound collection per scan: what was put there meanwhile shows from now on.
    updateSortedIndex(true);
    currentFolder = withDelim(folder);
    currentFile.clear();
    rememberTrack(QString()); // until a track of this folder starts, there is none to go on at
    addLogValue("> Found", QStringLiteral("%1 files(s)").arg(trackModel->trackCount()));
    selectFirstTrack();
}

void TFormMain::addTrackItem(const QString& title, const QString& subtitle, const QString& description,
                             bool isFolder, const QString& folderName) {
    trackModel->append(title + TPlayList::titleBlanks, subtitle, description,
                       isFolder ? TPlayList::kindFolder : TPlayList::kindTrack, folderName);
}

void TFormMain::selectFirstTrack() {
    // A track named by an open request (command line, drop) starts first; else, at start-up, the track the
    // user stopped at, while the folder still holds it; else the first track.
    const int row = trackModel->startRow(std::exchange(preferredTrack, QString()), resumeTrack);
    if (row < 0)
        return;
    currentFile = trackModel->entry(row).description;
    trackListSelectRow(lbTracklist, row);
}

void TFormMain::showFolderInfo(bool found) {
    for (QAction* a : {actCommand1, actCommand2, actForward, actNext, actPause, actPlay, actPlayPause,
                       actPrev, actRewind, actStop, actCreateNewLib, actDelFromLib})
        a->setEnabled(found);
    const QString text = found ? QStringLiteral("lblCurrFolder") : QStringLiteral("actFolderEmpty");
    const QString def = found ? QStringLiteral("Folder:") : QStringLiteral("No music files");
    lbl_fm_1->setText((LanguageEngine ? LanguageEngine->getText(text, def) : def) + QStringLiteral("   "));
    lbl_fm_2->setText(displayName(currentFolder));
}

int TFormMain::getTrackIndexByName(const QString& file) {
    const int result = trackModel->rowOf(file);
    const QString name = file.mid(file.lastIndexOf(pathDelim) + 1);
    addLogValue("getTrackIndexByName", QStringLiteral(" Index: %1 file: %2").arg(result).arg(name));
    return result;
}

void TFormMain::updateProgress(int index) {
    const int count = trackModel->count();
    const int position = index + 1;
    // A range of 0..0 would turn the bar into a busy indicator, and QProgressBar ignores values outside
    // its range, which would leave the old value standing.
    ProgressBar1->setRange(0, qMax(count, 1));
    ProgressBar1->setValue(qBound(0, count < 1 ? 0 : position, qMax(count, 1)));
    if (count < 1) {
        lblProgress->setText(sb::emptyProgress);
        return;
    }
    const qint64 percent = roundHalfEven(position * 100.0 / count);
    lblProgress->setText(QStringLiteral("%1 / %2 (%3%)").arg(position).arg(count).arg(percent));
}

void TFormMain::lbTracklistChange() {
    const int row = trackListSelectedRow(lbTracklist);
    if (followingSession) {
        trackModel->setCurrentRow(row);
        return; // the session moved the list and starts the track itself
    }
    trackModel->setCurrentRow(row); // the list's position follows its selection, whoever moved it
    if (!trackModel->isTrack(row))
        return; // a single click does not open a folder
    actStop->trigger();
    session().setLastMoveBackward(false); // Previous sets it again once this returns
    playTrack(withDelim(currentFolder) + trackModel->entry(row).description);
}

void TFormMain::lbTracklistDblClick() {
    const int row = trackListSelectedRow(lbTracklist);
    if (!trackModel->isValidRow(row)) {
        actStop->trigger();
        return;
    }
    const TTrackEntry e = trackModel->entry(row); // a copy: the scan below replaces the entries
    if (e.kind == TPlayList::kindTrack) {
        // From its start, with the auto offset as for any Play: the first click may have started it already.
        session().setLastMoveBackward(false);
        playTrack(withDelim(currentFolder) + e.description);
        return;
    }
    actStop->trigger();
    // The real name, not the title: a title cannot give back names like "[Live]" or " Demo".
    const QString name = !e.folderName.isEmpty() ? e.folderName : removeBrackets(e.title, '[', ']', "...");
    if (name == TPlayList::parentFolderName)
        ScanFolder(e.subtitle);
    else
        ScanFolder(withDelim(e.subtitle) + name);
}

void TFormMain::actopenFolderExecute() {
    // The desktop's own dialog where the platform offers one (it speaks the desktop's language and
    // looks like the desktop); Qt's dialog otherwise, styled by the program's style sheet.
    QFileDialog dialog(this, actopenFolder->text());
    dialog.setObjectName("OpenDialog1");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(sb::formatNameFilter());
    dialog.setSizeGripEnabled(true);
    dialog.resize(820, 520); // room for the columns of Qt's dialog; a desktop's own dialog keeps its size
    if (isFolder(currentFolder))
        dialog.setDirectory(currentFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString chosen = dialog.selectedFiles().constFirst();
    const int cut = chosen.lastIndexOf(pathDelim);
    if (cut < 0)
        return;
    ScanFolder(chosen.left(cut + 1));
}
