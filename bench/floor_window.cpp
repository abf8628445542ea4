// The floor of start-up: a bare Qt Widgets program that shows one window of the main window's size and
// ends as soon as that window has been painted once.
#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace {

class FloorWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        if (!painted) {
            painted = true;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    }

private:
    bool painted = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    FloorWindow window;
    window.resize(843, 535);
    window.show();
    return QApplication::exec();
}
