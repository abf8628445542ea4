#pragma once
// The play list: the entries of one folder (its parent, its sub-folders, its tracks), the row the list is
// at, and which row plays next. It is the list model the window's track list shows, and it needs no window:
// Qt Core only; user-interface thread.
#include <QAbstractListModel>
#include <QRandomGenerator>
#include <QString>
#include <vector>

class TSortedIndex;

// One list entry. Texts that repeat from one entry to the next (every track's title and folder) share one
// buffer, so an entry costs its own file name plus about a hundred bytes.
struct TTrackEntry {
    QString title;
    QString subtitle;
    QString description;
    // The sub-folder's name as the file system spells it (titles trim it and add brackets, so they cannot
    // give it back); ".." for the parent entry; empty for track entries.
    QString folderName;
    qint8 kind = 0;
};

class TPlayList : public QAbstractListModel {
    Q_OBJECT
public:
    enum Kind : qint8 { kindTrack = 0, kindFolder = 1 };
    // SortedRole: TSortedIndex marks of a track entry (which bound collections hold its file), else 0.
    enum Role { SubtitleRole = Qt::UserRole + 1, DescriptionRole, KindRole, FolderNameRole, SortedRole };
    static inline const QString parentFolderName = QStringLiteral("..");
    // Every title ends in these, as the list has always shown them.
    static inline const QString titleBlanks = QStringLiteral("     ");

    explicit TPlayList(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // --- the folder ---
    // Lists `folder` and replaces the entries with its parent entry (none for the root), its sub-folders
    // and its tracks, in name order; the current row is cleared. The whole listing is read before the list
    // is touched: false when `folder` is not a folder, SbError when it cannot be read, and either way the
    // list, the folder and the current row stay as they were.
    bool load(const QString& folder);
    // The folder of the last load, ending in the delimiter; empty before the first.
    QString folder() const { return shownFolder; }

    // --- the entries ---
    int count() const { return static_cast<int>(entries.size()); }
    bool isValidRow(int row) const { return row >= 0 && row < count(); }
    // `row` must be valid.
    const TTrackEntry& entry(int row) const { return entries[static_cast<size_t>(row)]; }
    bool isTrack(int row) const { return isValidRow(row) && entry(row).kind == kindTrack; }
    int trackCount() const;
    // The first entry whose file name is the file name of `file` (a path or a bare name), exactly; -1 for
    // none. A name ending in the delimiter names no track.
    int rowOf(const QString& file) const;

    // Between beginUpdate and endUpdate, clear and append only change the data; endUpdate announces it all
    // as one model reset, so the view lays the list out once. Brackets nest.
    void beginUpdate();
    void endUpdate();
    void clear();
    void append(const QString& title, const QString& subtitle, const QString& description, Kind kind,
                const QString& folderName = QString());

    // --- the order ---
    // The row the list is at (the selected entry), or -1. A row out of range clears it; a reset of the
    // entries clears it too.
    int currentRow() const { return current; }
    void setCurrentRow(int row);
    // The row a folder starts at: the track named `preferred`, else the track named `resume`, else the
    // first track; -1 when there is no track. Names are bare file names; an empty one is passed over.
    int startRow(const QString& preferred, const QString& resume) const;
    // The entry after the current row, passing over sorted tracks when `skipSorted`; -1 after the last
    // (there is no wrap-around).
    int next(bool skipSorted) const;
    // The entry before the current row; -1 before the first.
    int previous() const;
    // Random play: a track drawn evenly, never `playing` while another may be drawn (a single track is
    // drawn again), sorted tracks passed over when `skipSorted`; -1 when no track may be drawn.
    int randomTrack(int playing, bool skipSorted);
    // The draws of randomTrack; seeded from the clock at construction, so the order differs from run to run.
    void setRandomGenerator(const QRandomGenerator& generator) { draws = generator; }

    // --- the sorted marks ---
    // Where SortedRole looks names up (not owned; null: nothing is sorted). sortedChanged() tells the
    // views that the index changed: they repaint what they show, nothing is looked up until then.
    void setSortedIndex(const TSortedIndex* index);
    void sortedChanged();
    // The marks of the entry at `row`; 0 for folders and rows out of range.
    int sortedMarks(int row) const;

private:
    static void appendTo(std::vector<TTrackEntry>& list, TTrackEntry e);

    const TSortedIndex* sorted = nullptr;
    std::vector<TTrackEntry> entries;
    QString shownFolder;
    int current = -1;
    int updateDepth = 0;
    QRandomGenerator draws;
};
