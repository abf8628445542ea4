#pragma once
// The track list's widgets: the delegate that draws the play list's entries, and the adapter that gives a
// QListView the change and double-click events of a classic list box. User-interface thread only.
#include "playList.h"

#include <QColor>
#include <QObject>
#include <QPixmap>
#include <QStyledItemDelegate>

class QListView;

// The window's older name of the play list, still used where the list is reached through the window.
using TTrackListModel = TPlayList;

// Draws an entry in a 70-pixel row: the 48-pixel picture of its kind, the title large, subtitle and
// description below.
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
    // The two pictures every entry shows, by kind (TPlayList::KindRole); shared by all entries.
    void setIcons(const QPixmap& track, const QPixmap& folder);
    QPixmap icon(int kind) const { return kind == TPlayList::kindTrack ? trackIcon : folderIcon; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QPixmap trackIcon;
    QPixmap folderIcon;
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
