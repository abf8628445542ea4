// Folder scanning and the track list of the main window.
#include "TrackList.h"
#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorLanguage.h"
#include "dorTools.h"
#include "folderListing.h"
#include "main.h"
#include "playOrder.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QStyle>
#include <utility>

namespace {

const QString titleBlanks = QStringLiteral("     ");

QPixmap entryPicture(const QLabel* label, QStyle::StandardPixmap fallback) {
    QPixmap pix = label ? label->pixmap() : QPixmap();
    if (pix.isNull())
        pix = QApplication::style()->standardIcon(fallback).pixmap(TTrackListDelegate::iconSize);
    return pix;
}

} // namespace

void TFormMain::setupTrackList() {
    trackModel = new TTrackListModel(this);
    trackModel->setIcons(entryPicture(imgMusic, QStyle::SP_MediaVolume),
                         entryPicture(imgFolder, QStyle::SP_DirIcon));
    trackModel->setSortedIndex(&sortedIndex);
    lbTracklist->setModel(trackModel);
    lbTracklist->setItemDelegate(new TTrackListDelegate(lbTracklist));
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

    // Everything is read before the list is touched, so a folder that vanishes or cannot be read
    // leaves the old list whole.
    TFolderListing listing;
    bool found = isFolder(currentFolder);
    if (found) {
        try {
            listing = listFolder(currentFolder, sb::appFormats);
        } catch (const SbError& e) {
            addLogValue("> Can not read", e.text());
            found = false;
        }
    }
    showFolderInfo(found);
    if (!found)
        return;

    // One listing of each bound collection per scan: what was put there meanwhile shows from now on.
    updateSortedIndex(true);
    trackModel->beginUpdate();
    trackModel->clear();
    const QString parent = getParentFolder(currentFolder);
    // Only the file-system root has no parent.
    if (!parent.isEmpty())
        addTrackItem(addBrackets(TTrackListModel::parentFolderName, '[', ']', "..."), parent, QString(), true,
                     TTrackListModel::parentFolderName);
    for (const QString& name : std::as_const(listing.folders))
        addTrackItem(addBrackets(displayName(name), '[', ']', "..."), currentFolder, QString(), true, name);
    for (const QString& name : std::as_const(listing.files)) {
        const int dot = name.lastIndexOf('.');
        addTrackItem(dot >= 0 ? displayName(name.mid(dot + 1)).toUpper() : QString(), currentFolder, name,
                     false);
    }
    trackModel->endUpdate();

    currentFolder = withDelim(folder);
    currentFile.clear();
    rememberTrack(QString()); // until a track of this folder starts, there is none to go on at
    addLogValue("> Found", QStringLiteral("%1 files(s)").arg(listing.files.size()));
    selectFirstTrack();
}

void TFormMain::addTrackItem(const QString& title, const QString& subtitle, const QString& description,
                             bool isFolder, const QString& folderName) {
    trackModel->append(title + titleBlanks, subtitle, description,
                       isFolder ? TTrackListModel::kindFolder : TTrackListModel::kindTrack, folderName);
}

void TFormMain::selectFirstTrack() {
    const auto isTrack = [this](int r) { return trackModel->entry(r).kind == TTrackListModel::kindTrack; };
    // A track named by an open request (command line, drop) starts first; else, at start-up, the track the
    // user stopped at, while the folder still holds it; else the first track.
    const QString wanted = std::exchange(preferredTrack, QString());
    int row = -1;
    for (const QString& name : {wanted, resumeTrack}) {
        if (row < 0 && !name.isEmpty()) {
            const int r = getTrackIndexByName(name);
            row = r >= 0 && isTrack(r) ? r : -1;
        }
    }
    if (row < 0)
        row = firstTrackRow(trackModel->count(), isTrack);
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
    const QString name = file.mid(file.lastIndexOf(pathDelim) + 1);
    int result = -1;
    // An empty name (a path ending in the delimiter) names no track; folder entries must not match it.
    if (!name.isEmpty()) {
        for (int row = 0; row < trackModel->count(); ++row) {
            if (trackModel->entry(row).description == name) {
                result = row;
                break;
            }
        }
    }
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
    if (!trackModel->isValidRow(row))
        return;
    const TTrackEntry& e = trackModel->entry(row);
    if (e.kind != TTrackListModel::kindTrack)
        return; // a single click does not open a folder
    const QString path = withDelim(currentFolder) + e.description;
    actStop->trigger();
    lastMoveBackward = false; // Previous sets it again once this returns
    playTrack(path);
}

void TFormMain::lbTracklistDblClick() {
    const int row = trackListSelectedRow(lbTracklist);
    if (!trackModel->isValidRow(row)) {
        actStop->trigger();
        return;
    }
    const TTrackEntry e = trackModel->entry(row); // a copy: the scan below replaces the entries
    if (e.kind == TTrackListModel::kindTrack) {
        // From its start, with the auto offset as for any Play: the first click may have started it already.
        lastMoveBackward = false;
        playTrack(withDelim(currentFolder) + e.description);
        return;
    }
    actStop->trigger();
    // The real name, not the title: a title cannot give back names like "[Live]" or " Demo".
    const QString name = !e.folderName.isEmpty() ? e.folderName : removeBrackets(e.title, '[', ']', "...");
    if (name == TTrackListModel::parentFolderName)
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
