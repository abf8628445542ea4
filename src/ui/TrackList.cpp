#include "TrackList.h"

#include "folderListing.h"
#include "sortedIndex.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <utility>

// --- delegate ---

namespace {

QFont scaledFont(const QFont& base, double factor, QFont::Weight weight) {
    QFont f(base);
    if (base.pointSizeF() > 0)
        f.setPointSizeF(base.pointSizeF() * factor);
    else
        f.setPixelSize(qMax(1, qRound(base.pixelSize() * factor)));
    f.setWeight(weight);
    return f;
}

} // namespace

void TTrackListDelegate::setIcons(const QPixmap& track, const QPixmap& folder) {
    trackIcon = track;
    folderIcon = folder;
}

void TTrackListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    // The style's own background, so hover and selection look as in every other list of the desktop.
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    painter->save();
    painter->setClipRect(opt.rect);
    const int margin = 8;
    const QRect iconRect(opt.rect.left() + margin, opt.rect.top() + (opt.rect.height() - iconSize) / 2,
                         iconSize, iconSize);
    const QPixmap pix = icon(index.data(TPlayList::KindRole).toInt());
    if (!pix.isNull()) {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        QSize drawn = pix.size() / pix.devicePixelRatio();
        drawn.scale(iconRect.size(), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), drawn);
        target.moveCenter(iconRect.center());
        painter->drawPixmap(target, pix);
    }

    const bool selected = opt.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const QColor strong = opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor soft = strong;
    soft.setAlphaF(0.7f);

    const QFont titleFont = scaledFont(opt.font, 1.35, QFont::DemiBold);
    const QFont smallFont = scaledFont(opt.font, 0.9, QFont::Normal);
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics smallMetrics(smallFont);

    // One line each: a name may hold bytes that are not UTF-8, line breaks or other control characters.
    const QString title = displayName(index.data(Qt::DisplayRole).toString().trimmed());
    const QString subtitle = displayName(index.data(TPlayList::SubtitleRole).toString());
    const QString description = displayName(index.data(TPlayList::DescriptionRole).toString());

    const int smallLines = (subtitle.isEmpty() ? 0 : 1) + (description.isEmpty() ? 0 : 1);
    const int gap = 2;
    const int textHeight = titleMetrics.height() + smallLines * (smallMetrics.height() + gap);
    const int left = iconRect.right() + 1 + 12;
    int right = opt.rect.right() - margin;

    // Sorted marks at the right end, drawn from the right: collection 2's dot outermost, as its button.
    const int marks = index.data(TPlayList::SortedRole).toInt();
    if (marks != 0) {
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(opt.palette.color(group, QPalette::Base), 1.5));
        const int y0 = opt.rect.top() + (opt.rect.height() - markSize) / 2;
        for (const auto& [bit, color] : {std::pair{int(TSortedIndex::inCollection2), mark2Color},
                                         std::pair{int(TSortedIndex::inCollection1), mark1Color}}) {
            if (!(marks & bit))
                continue;
            painter->setBrush(color);
            painter->drawEllipse(QRectF(right - markSize + 0.5, y0 + 0.5, markSize - 1, markSize - 1));
            right -= markSize + 4;
        }
        right -= 4;
    }
    const int width = qMax(0, right - left);
    int y = opt.rect.top() + qMax(0, (opt.rect.height() - textHeight) / 2);

    painter->setFont(titleFont);
    painter->setPen(strong);
    painter->drawText(QRect(left, y, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(title, Qt::ElideRight, width));
    y += titleMetrics.height() + gap;

    painter->setFont(smallFont);
    // The file name matters more than the folder every track shares, so it is drawn stronger.
    if (!description.isEmpty()) {
        painter->setPen(strong);
        painter->drawText(QRect(left, y, width, smallMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          smallMetrics.elidedText(description, Qt::ElideMiddle, width));
        y += smallMetrics.height() + gap;
    }
    if (!subtitle.isEmpty()) {
        painter->setPen(soft);
        painter->drawText(QRect(left, y, width, smallMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                          smallMetrics.elidedText(subtitle, Qt::ElideMiddle, width));
    }
    painter->restore();
}

QSize TTrackListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    Q_UNUSED(option);
    Q_UNUSED(index);
    // The least width: the list gives every row its full width anyway, and a width taken from the view
    // outlives a change of the view's width (a vertical scroll bar coming) as a needless horizontal one.
    return QSize(iconSize + 32, rowHeight);
}

// --- list-box events ---

TTrackListEvents::TTrackListEvents(QListView* listView) : QObject(listView), view(listView) {
    QAbstractItemModel* model = view->model();
    Q_ASSERT(model && view->selectionModel());
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TTrackListEvents::checkSelection);
    // The selection model clears itself on a reset with its signals blocked; follow it silently.
    connect(model, &QAbstractItemModel::modelReset, this, [this] { lastRow = trackListSelectedRow(view); });
    viewport = view->viewport();
    view->viewport()->installEventFilter(this);
    lastRow = trackListSelectedRow(view);
}

void TTrackListEvents::checkSelection() {
    const int row = trackListSelectedRow(view);
    if (row == lastRow)
        return;
    lastRow = row;
    emit changed();
}

bool TTrackListEvents::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // Taken here rather than from QListView's signal: that one misses empty space, and a handler that
        // refills the list would otherwise see the view treat the event as a fresh press on a new entry.
        emit doubleClicked();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

int trackListSelectedRow(const QListView* view) {
    const QItemSelectionModel* sel = view ? view->selectionModel() : nullptr;
    if (!sel)
        return -1;
    const QItemSelection selection = sel->selection();
    for (const QItemSelectionRange& range : selection)
        if (range.isValid())
            return range.top();
    return -1;
}

void trackListSelectRow(QListView* view, int row) {
    QItemSelectionModel* sel = view ? view->selectionModel() : nullptr;
    if (!sel)
        return;
    const QModelIndex idx = row >= 0 ? view->model()->index(row, 0) : QModelIndex();
    if (!idx.isValid()) {
        sel->clear();
        return;
    }
    sel->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    view->scrollTo(idx);
}
