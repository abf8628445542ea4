#include "playList.h"

#include "const_sb.h"
#include "dorTools.h"
#include "folderListing.h"
#include "playOrder.h"
#include "sortedIndex.h"

#include <QDateTime>
#include <utility>

TPlayList::TPlayList(QObject* parent)
    : QAbstractListModel(parent), draws(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch())) {}

int TPlayList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant TPlayList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.model() != this || !isValidRow(index.row()))
        return {};
    const TTrackEntry& e = entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return e.title;
    case Qt::ToolTipRole:
        return displayName(e.kind == kindTrack ? e.subtitle + e.description : e.subtitle);
    case SubtitleRole:
        return e.subtitle;
    case DescriptionRole:
        return e.description;
    case KindRole:
        return int(e.kind);
    case FolderNameRole:
        return e.folderName;
    case SortedRole:
        return sortedMarks(index.row());
    default:
        return {};
    }
}

bool TPlayList::load(const QString& folderArg) {
    const QString dir = withDelim(folderArg);
    if (!isFolder(dir))
        return false;
    const TFolderListing listing = listFolder(dir, sb::appFormats);

    std::vector<TTrackEntry> fresh;
    const QString parent = getParentFolder(dir);
    // Only the file-system root has no parent.
    if (!parent.isEmpty())
        appendTo(fresh, {addBrackets(parentFolderName, '[', ']', "...") + titleBlanks, parent, QString(),
                         parentFolderName, kindFolder});
    for (const QString& name : listing.folders)
        appendTo(fresh, {addBrackets(displayName(name), '[', ']', "...") + titleBlanks, dir, QString(), name,
                         kindFolder});
    for (const QString& name : listing.files) {
        const int dot = name.lastIndexOf('.');
        appendTo(fresh, {(dot >= 0 ? displayName(name.mid(dot + 1)).toUpper() : QString()) + titleBlanks, dir,
                         name, QString(), kindTrack});
    }

    beginUpdate();
    entries.swap(fresh);
    shownFolder = dir;
    endUpdate();
    return true;
}

int TPlayList::trackCount() const {
    int tracks = 0;
    for (const TTrackEntry& e : entries)
        tracks += e.kind == kindTrack;
    return tracks;
}

int TPlayList::rowOf(const QString& file) const {
    const QString name = file.mid(file.lastIndexOf(pathDelim) + 1);
    // Folder entries have no file name, so an empty name must not match them.
    if (name.isEmpty())
        return -1;
    for (int row = 0; row < count(); ++row)
        if (entry(row).description == name)
            return row;
    return -1;
}

void TPlayList::beginUpdate() {
    if (updateDepth++ == 0) {
        beginResetModel();
        current = -1; // a reset drops the view's selection too
    }
}

void TPlayList::endUpdate() {
    if (updateDepth == 0)
        return;
    if (--updateDepth == 0)
        endResetModel();
}

void TPlayList::clear() {
    beginUpdate();
    entries.clear();
    endUpdate();
}

void TPlayList::appendTo(std::vector<TTrackEntry>& list, TTrackEntry e) {
    // Reuse the previous entry's buffers for equal texts: a folder of tracks repeats title and folder.
    if (!list.empty()) {
        const TTrackEntry& last = list.back();
        if (last.title == e.title)
            e.title = last.title;
        if (last.subtitle == e.subtitle)
            e.subtitle = last.subtitle;
    }
    list.push_back(std::move(e));
}

void TPlayList::append(const QString& title, const QString& subtitle, const QString& description, Kind kind,
                       const QString& folderName) {
    TTrackEntry e{title, subtitle, description, folderName, kind};
    if (updateDepth > 0) {
        appendTo(entries, std::move(e));
        return;
    }
    beginInsertRows(QModelIndex(), count(), count());
    appendTo(entries, std::move(e));
    endInsertRows();
}

void TPlayList::setCurrentRow(int row) {
    current = isValidRow(row) ? row : -1;
}

int TPlayList::startRow(const QString& preferred, const QString& resume) const {
    for (const QString& name : {preferred, resume}) {
        const int row = name.isEmpty() ? -1 : rowOf(name);
        if (isTrack(row))
            return row;
    }
    return firstTrackRow(count(), [this](int row) { return entry(row).kind == kindTrack; });
}

int TPlayList::next(bool skipSorted) const {
    int row = nextRow(count(), current);
    while (row >= 0 && skipSorted && sortedMarks(row) != 0)
        row = nextRow(count(), row);
    return row;
}

int TPlayList::previous() const {
    return previousRow(count(), current);
}

int TPlayList::randomTrack(int playing, bool skipSorted) {
    return randomTrackRow(
        count(),
        [this, skipSorted](int row) {
            return entry(row).kind == kindTrack && !(skipSorted && sortedMarks(row) != 0);
        },
        playing, draws);
}

void TPlayList::setSortedIndex(const TSortedIndex* index) {
    sorted = index;
    sortedChanged();
}

void TPlayList::sortedChanged() {
    if (count() > 0)
        emit dataChanged(index(0), index(count() - 1), {SortedRole});
}

int TPlayList::sortedMarks(int row) const {
    if (!sorted || !isValidRow(row) || entry(row).kind != kindTrack)
        return 0;
    return sorted->marks(entry(row).description);
}
