// The position bar repaints exactly when its handle moves on the screen: never a stale handle, and no
// repaint at the player's ticks that leave the handle on its pixel.
#include "sbWidgets.h"

#include <QApplication>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVBoxLayout>

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Where the style draws the handle of `bar` at `value`.
QRect handleAt(const QSlider& bar, int value) {
    QStyleOptionSlider opt;
    opt.initFrom(&bar);
    opt.subControls = QStyle::SC_None;
    if (bar.orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal; // the style sheet's rules are for ":horizontal"
    opt.orientation = bar.orientation();
    opt.maximum = bar.maximum();
    opt.minimum = bar.minimum();
    opt.tickPosition = bar.tickPosition();
    opt.tickInterval = bar.tickInterval();
    opt.upsideDown = bar.orientation() == Qt::Horizontal
                         ? bar.invertedAppearance() != (opt.direction == Qt::RightToLeft)
                         : !bar.invertedAppearance();
    opt.direction = Qt::LeftToRight;
    opt.sliderPosition = value;
    opt.sliderValue = value;
    opt.singleStep = bar.singleStep();
    opt.pageStep = bar.pageStep();
    return bar.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &bar);
}

} // namespace

class TestPositionBar : public QObject {
    Q_OBJECT
private slots:
    void repaintsExactlyWhenTheHandleMoves_data() {
        QTest::addColumn<bool>("styled");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<int>("range"); // the player's units: 10,000 bytes, 17.6 a second
        QTest::addColumn<int>("width");
        QTest::newRow("plain") << false << false << 30000 << 320;
        QTest::newRow("program's style sheet") << true << false << 30000 << 320;
        QTest::newRow("inverted") << true << true << 30000 << 320;
        QTest::newRow("10-minute track, narrow") << true << false << 105840 << 200;
        QTest::newRow("40-second track, wide") << true << false << 705 << 600;
    }
    void repaintsExactlyWhenTheHandleMoves() {
        QFETCH(bool, styled);
        QFETCH(bool, inverted);
        QFETCH(int, range);
        QFETCH(int, width);
        QWidget window;
        if (styled)
            window.setStyleSheet(sonabinStyleSheet());
        auto* layout = new QVBoxLayout(&window);
        auto* bar = new TPositionBar(Qt::Horizontal, &window);
        bar->setObjectName(QStringLiteral("TrackBar1"));
        bar->setFixedHeight(21);
        bar->setInvertedAppearance(inverted);
        layout->addWidget(bar);
        window.resize(width, 40);
        bar->setRange(0, range);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::processEvents();

        PaintCounter counter;
        bar->installEventFilter(&counter);
        int moves = 0;
        int repaints = 0;
        // Ticks of a few units each, over a quarter of the bar.
        const int step = qMax(1, range / 1600);
        for (int value = step; value <= range / 4; value += step) {
            const bool moved = handleAt(*bar, value) != handleAt(*bar, bar->value());
            const int before = counter.paints;
            bar->setValue(value);
            QApplication::processEvents();
            const bool painted = counter.paints > before;
            QVERIFY2(moved == painted, qPrintable(QStringLiteral("value %1: handle %2, painted %3")
                                                      .arg(value)
                                                      .arg(moved ? "moved" : "stayed")
                                                      .arg(painted ? "yes" : "no")));
            moves += moved;
            repaints += painted;
        }
        QVERIFY(moves > 10);
        QCOMPARE(repaints, moves);

        // A new range redraws at once, even where the value keeps its pixel.
        const int before = counter.paints;
        bar->setRange(0, 2 * range);
        QApplication::processEvents();
        QVERIFY(counter.paints > before);
    }
};

QTEST_MAIN(TestPositionBar)
#include "tst_positionbar.moc"
