#include "sbWidgets.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextDocument>
#include <QVariant>
#include <QWidget>
#include <cstdlib>

void setStyleLookup(QWidget* w, const QString& name) {
    if (styleLookup(w) == name)
        return;
    w->setProperty("styleLookup", name);
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

QString styleLookup(const QWidget* w) {
    return w->property("styleLookup").toString();
}

QString plainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

void setActionHint(QAction* action, const QString& hint) {
    action->setProperty("hint", hint);
    action->setToolTip(plainToolTip(hint));
}

QString actionHint(const QAction* action) {
    return action->property("hint").toString();
}

QString sonabinStyleSheet() {
    initSonabinResources();
    QFile f(QStringLiteral(":/style.qss"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

static void initResourcesOnce() {
    Q_INIT_RESOURCE(sonabin);
}

void initSonabinResources() {
    static bool done = false;
    if (!done) {
        done = true;
        initResourcesOnce();
    }
}

TPositionBar::TPositionBar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

void TPositionBar::sliderChange(SliderChange change) {
    // A new value that leaves the handle on the pixel where it was painted changes nothing the user can
    // see. Asking the style sheet where the handle goes costs as much as painting it, so the offset comes
    // from the span of pixels measured at the last paint: styles place the handle linearly along it.
    if (change == SliderValueChange && painted && minimum() == paintedMinimum &&
        maximum() == paintedMaximum) {
        const int offset =
            QStyle::sliderPositionFromValue(paintedMinimum, paintedMaximum, sliderPosition(), paintedSpan);
        if (offset == paintedOffset)
            return;
        // Only the stretch between the old and the new handle changes (the filled part ends under the
        // handle); a margin covers the antialiased edges.
        constexpr int margin = 2;
        const bool horizontal = orientation() == Qt::Horizontal;
        const int start = horizontal ? paintedHandle.x() : paintedHandle.y();
        const int size = horizontal ? paintedHandle.width() : paintedHandle.height();
        const int was = start + paintedDirection * paintedOffset;
        const int now = start + paintedDirection * offset;
        const int from = std::min(was, now) - margin;
        const int to = std::max(was, now) + size + margin;
        if (horizontal)
            update(QRect(from, 0, to - from, height()));
        else
            update(QRect(0, from, width(), to - from));
        paintedOffset = offset;
        return;
    }
    QSlider::sliderChange(change);
}

void TPositionBar::paintEvent(QPaintEvent* event) {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const auto handleAt = [&](int position) {
        opt.sliderPosition = position;
        return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    };
    paintedMinimum = minimum();
    paintedMaximum = maximum();
    paintedHandle = handleAt(paintedMinimum);
    const QRect atMaximum = handleAt(paintedMaximum);
    const int along = orientation() == Qt::Horizontal ? atMaximum.x() - paintedHandle.x()
                                                      : atMaximum.y() - paintedHandle.y();
    paintedSpan = std::abs(along);
    paintedDirection = along < 0 ? -1 : 1;
    paintedOffset =
        QStyle::sliderPositionFromValue(paintedMinimum, paintedMaximum, sliderPosition(), paintedSpan);
    painted = true;
    QSlider::paintEvent(event);
}

TSteadyLabel::TSteadyLabel(const QString& text, QStringList shapes, QWidget* parent)
    : QLabel(text, parent), patterns(std::move(shapes)) {}

bool TSteadyLabel::event(QEvent* event) {
    const bool handled = QLabel::event(event);
    // The size follows the font, which the style sheet sets at polish time.
    switch (event->type()) {
    case QEvent::Polish:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        fitPatterns();
        break;
    default:
        break;
    }
    return handled;
}

void TSteadyLabel::fitPatterns() {
    const QFontMetrics metrics = fontMetrics();
    QChar widestDigit = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d)
        if (metrics.horizontalAdvance(QLatin1Char(d)) > metrics.horizontalAdvance(widestDigit))
            widestDigit = QLatin1Char(d);
    // QLabel's own size hint for each pattern counts the margins, indent and style sheet box as well.
    const QString shown = text();
    QSize size;
    for (QString pattern : patterns + QStringList{shown}) {
        for (QChar& c : pattern)
            if (c.isDigit())
                c = widestDigit;
        QLabel::setText(pattern);
        size = size.expandedTo(sizeHint());
    }
    QLabel::setText(shown);
    setFixedSize(size);
}
