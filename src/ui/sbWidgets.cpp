#include "sbWidgets.h"

#include <QAction>
#include <QFile>
#include <QStyle>
#include <QStyleOptionSlider>
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

void setActionHint(QAction* action, const QString& hint) {
    action->setProperty("hint", hint);
    action->setToolTip(hint);
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
        maximum() == paintedMaximum &&
        QStyle::sliderPositionFromValue(paintedMinimum, paintedMaximum, sliderPosition(), paintedSpan) ==
            paintedOffset)
        return;
    QSlider::sliderChange(change);
}

void TPositionBar::paintEvent(QPaintEvent* event) {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const auto handleAt = [&](int position) {
        opt.sliderPosition = position;
        const QRect r = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
        return orientation() == Qt::Horizontal ? r.x() : r.y();
    };
    paintedMinimum = minimum();
    paintedMaximum = maximum();
    paintedSpan = std::abs(handleAt(paintedMaximum) - handleAt(paintedMinimum));
    paintedOffset =
        QStyle::sliderPositionFromValue(paintedMinimum, paintedMaximum, sliderPosition(), paintedSpan);
    painted = true;
    QSlider::paintEvent(event);
}
