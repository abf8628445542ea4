// The playing panel's live widgets stay cheap at the player's ticks without ever showing a stale picture:
// the position bar repaints exactly when its handle moves on the screen, and then only around the handle;
// the time label never lays its panel out again.
#include "sbWidgets.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVBoxLayout>

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;
    int layoutRequests = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        if (event->type() == QEvent::LayoutRequest)
            ++layoutRequests;
        return false;
    }
};

// What the window shows now (its backing store), against what a full repaint draws.
QImage shown(QWidget& window) {
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}
QImage drawnAfresh(QWidget& window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

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

// A window holding one position bar set up as the main window's.
struct BarWindow {
    QWidget window;
    TPositionBar* bar = nullptr;

    BarWindow(bool styled, bool inverted, int range, int value, int width) {
        if (styled)
            window.setStyleSheet(sonabinStyleSheet());
        auto* layout = new QVBoxLayout(&window);
        bar = new TPositionBar(Qt::Horizontal, &window);
        bar->setObjectName(QStringLiteral("TrackBar1"));
        bar->setFixedHeight(21);
        bar->setInvertedAppearance(inverted);
        if (styled)
            bar->setAttribute(Qt::WA_OpaquePaintEvent); // the style sheet gives it the panel's background
        layout->addWidget(bar);
        window.resize(width, 40);
        bar->setRange(0, range);
        bar->setValue(value);
        window.show();
    }
};

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
        BarWindow w(styled, inverted, range, 0, width);
        TPositionBar* bar = w.bar;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
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

    // Repainting only around the handle leaves no trace of where it was, whichever way it goes.
    void partialRepaintsLeaveNoTrace_data() {
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<int>("step"); // units per tick; the range is 1,000 over about 300 pixels
        QTest::newRow("playing") << false << 1;
        QTest::newRow("playing, inverted") << true << 1;
        QTest::newRow("seeking ahead") << false << 97;
        QTest::newRow("seeking back") << false << -61;
    }
    void partialRepaintsLeaveNoTrace() {
        QFETCH(bool, inverted);
        QFETCH(int, step);
        BarWindow w(true, inverted, 1000, step > 0 ? 0 : 1000, 320);
        TPositionBar* bar = w.bar;
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QApplication::processEvents();

        PaintCounter counter;
        bar->installEventFilter(&counter);
        for (int tick = 0; tick < 40; ++tick) {
            bar->setValue(bar->value() + step);
            QApplication::processEvents();
            QCOMPARE(shown(w.window), drawnAfresh(w.window));
        }
        QVERIFY(counter.paints > 5);
    }

    // A new time repaints the label and lays nothing out; it always fits, whatever the digits.
    void timeLabelKeepsItsShape() {
        QWidget window;
        window.setStyleSheet(sonabinStyleSheet());
        auto* layout = new QVBoxLayout(&window);
        auto* label =
            new TSteadyLabel(QStringLiteral("00:00:00"), {QStringLiteral("00:00 / 00:00")}, &window);
        label->setObjectName(QStringLiteral("lblTime"));
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label, 0, Qt::AlignHCenter);
        window.resize(330, 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::processEvents();
        const QSize size = label->size();

        PaintCounter counter;
        window.installEventFilter(&counter);
        label->installEventFilter(&counter);
        for (const char* time : {"00:01 / 04:00", "11:11 / 59:59", "48:08 / 88:88", "00:00:00"}) {
            label->setText(QString::fromLatin1(time));
            QApplication::processEvents();
            QLabel probe(QString::fromLatin1(time));
            probe.setObjectName(QStringLiteral("lblTime"));
            probe.setStyleSheet(sonabinStyleSheet());
            probe.ensurePolished();
            QVERIFY2(probe.sizeHint().width() <= label->width(), time);
            QCOMPARE(label->size(), size);
        }
        QCOMPARE(counter.layoutRequests, 0);
        QVERIFY(counter.paints >= 4);

        // A larger font makes it grow to fit again.
        window.setStyleSheet(sonabinStyleSheet() + QStringLiteral("QLabel#lblTime { font-size: 40px; }"));
        QApplication::processEvents();
        QVERIFY(label->width() > size.width() * 3 / 2);
        QVERIFY(label->height() > size.height());
    }
};

QTEST_MAIN(TestPositionBar)
#include "tst_positionbar.moc"
