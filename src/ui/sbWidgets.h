#pragma once
// Small widget helpers shared by the windows.
#include <QLabel>
#include <QSlider>
#include <QString>
#include <QStringList>

class QAction;
class QWidget;

// Gives `w` the named style `name` from the style sheet (selector [styleLookup="name"]) and re-polishes it.
void setStyleLookup(QWidget* w, const QString& name);
QString styleLookup(const QWidget* w);

// An action's hint is its tool tip. QAction::toolTip() falls back to the text when no tip was set, so the
// hint as set is also kept in the property "hint"; these two keep both in step.
void setActionHint(QAction* action, const QString& hint);
QString actionHint(const QAction* action);

// A tool tip that shows `text` as it is: Qt renders a tip that looks like markup ("<b>") as rich text.
QString plainToolTip(const QString& text);

// The program's style sheet (resource :/style.qss).
QString sonabinStyleSheet();
// Registers the resources of the static ui library; safe to call more than once.
void initSonabinResources();

// The position bar: a slider that is repainted only when its handle moves on the screen. The player's
// timer sets the value four times a second, and on a long track the handle stays on the same pixel for
// many of those ticks.
class TPositionBar : public QSlider {
public:
    explicit TPositionBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the handle was last painted: its offset along the groove, for that range and span of pixels.
    bool painted = false;
    int paintedMinimum = 0;
    int paintedMaximum = 0;
    int paintedSpan = 0;
    int paintedOffset = 0;
    QRect paintedHandle;      // the handle's rectangle at the minimum
    int paintedDirection = 1; // +1 when the handle moves towards larger coordinates as the value grows
};

// A label whose text changes often but never its shape, like a clock. It takes the fixed size that fits
// the widest of `patterns` (each digit counted as the font's widest), so that a new text repaints the
// label alone: a label that may change size makes its whole panel lay out again at every change.
class TSteadyLabel : public QLabel {
public:
    TSteadyLabel(const QString& text, QStringList patterns, QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;

private:
    void fitPatterns();
    QStringList patterns;
};
