#pragma once
// The track list: a flat list model of folder and track entries, the delegate that draws them, and the
// adapter that gives a QListView the change and double-click events of a classic list box.
// User-interface thread only.
#include <QAbstractListModel>
#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QStyledItemDelegate>
#include <vector>

class QListView;
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

class TTrackListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Kind : qint8 { kindTrack = 0, kindFolder = 1 };
    // SortedRole: TSortedIndex marks of a track entry (which bound collections hold its file), else 0.
    enum Role { SubtitleRole = Qt::UserRole + 1, DescriptionRole, KindRole, FolderNameRole, SortedRole };
    static inline const QString parentFolderName = QStringLiteral("..");

    explicit TTrackListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    int count() const { return static_cast<int>(entries.size()); }
    bool isValidRow(int row) const { return row >= 0 && row < count(); }
    // `row` must be valid.
    const TTrackEntry& entry(int row) const { return entries[static_cast<size_t>(row)]; }

    // Between beginUpdate and endUpdate, clear and append only change the data; endUpdate announces it all
    // as one model reset, so the view lays the list out once. Brackets nest.
    void beginUpdate();
    void endUpdate();
    void clear();
    void append(const QString& title, const QString& subtitle, const QString& description, Kind kind,
                const QString& folderName = QString());

    // The two pictures every entry shows, by kind; shared by all entries.
    void setIcons(const QPixmap& track, const QPixmap& folder);
    QPixmap icon(int kind) const { return kind == kindTrack ? trackIcon : folderIcon; }

    // Where SortedRole looks names up (not owned; null: nothing is sorted). sortedChanged() tells the
    // views that the index changed: they repaint what they show, nothing is looked up until then.
    void setSortedIndex(const TSortedIndex* index);
    void sortedChanged();
    // The marks of the entry at `row`; 0 for folders and rows out of range.
    int sortedMarks(int row) const;

private:
    const TSortedIndex* sorted = nullptr;
    std::vector<TTrackEntry> entries;
    int updateDepth = 0;
    QPixmap trackIcon;
    QPixmap folderIcon;
};

// Draws an entry in a 70-pixel row: the 48-pixel picture, the title large, subtitle and description below.
class TTrackListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int rowHeight = 70;
    static constexpr int iconSize = 48;
    // The sorted marks: a dot per collection, in the colour of its Like button (see the style sheet).
    static constexpr int markSize = 10;
    static inline const QColor mark1Color = QColor(0x3f, 0xb0, 0xa6);
    static inline const QColor mark2Color = QColor(0xe6, 0xa9, 0x4b);

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// List-box events for a QListView whose model is already set. `changed` fires exactly when the selected
// row changes, whoever changes it (mouse, keys, code); a model reset drops the selection without firing.
// `doubleClicked` fires for every left double click inside the list, on an entry or on empty space.
class TTrackListEvents : public QObject {
    Q_OBJECT
public:
    explicit TTrackListEvents(QListView* view);
    int selectedRow() const { return lastRow; }

signals:
    void changed();
    void doubleClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void checkSelection();
    QListView* view;
    // Compared, never dereferenced: events still arrive while the view is being destroyed.
    const QObject* viewport = nullptr;
    int lastRow = -1;
};

// The selected row of a single-selection list, or -1.
int trackListSelectedRow(const QListView* view);
// Selects `row` (making it current and visible); -1 or a row out of range clears the selection.
void trackListSelectRow(QListView* view, int row);
