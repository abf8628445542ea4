#include "sbWidgets.h"

#include <QAction>
#include <QFile>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVariant>
#include <QWidget>

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

QRect TPositionBar::handleRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
}

void TPositionBar::sliderChange(SliderChange change) {
    // A new value that leaves the handle where it was painted changes nothing the user can see.
    if (change == SliderValueChange && !paintedHandle.isNull() && handleRect() == paintedHandle)
        return;
    QSlider::sliderChange(change);
}

void TPositionBar::paintEvent(QPaintEvent* event) {
    paintedHandle = handleRect();
    QSlider::paintEvent(event);
}
