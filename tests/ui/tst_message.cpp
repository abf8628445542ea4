// The notification popup: placement, colours, the timer that is never restarted, and that showing a
// notice never takes the activation from the main window.
#include "formMainAccess.h"
#include "form_message.h"
#include "main.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <cstdio>

class TestMessage : public QObject {
    Q_OBJECT
private slots:
    void placement_data();
    void placement();
    void placedOnPrimaryScreen();
    void colours_data();
    void colours();
    void noticeReplacesTextsInPlace();
    void emptyTitle();
    void laterNoticeHidesAtNextTick();
    void ownerKeepsItsKeys();
    void mainWindowReusesOnePopup();
    void keepsActivationUnderWindowManager();
};

void TestMessage::placement_data() {
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("1920 x 1080") << QRect(0, 0, 1920, 1080) << QPoint(1335, 879);
    QTest::newRow("1366 x 768") << QRect(0, 0, 1366, 768) << QPoint(781, 567);
    QTest::newRow("primary screen right of another") << QRect(1280, 0, 1920, 1080) << QPoint(2615, 879);
}

void TestMessage::placement() {
    QFETCH(QRect, screen);
    QFETCH(QPoint, topLeft);
    TFormMessage popup;
    QCOMPARE(popup.size(), QSize(575, 151));
    QCOMPARE(TFormMessage::placement(screen, popup.size()), topLeft);
}

void TestMessage::placedOnPrimaryScreen() {
    TFormMessage popup;
    popup.showInfoMessage(QStringLiteral("Title"), QStringLiteral("Text"), dmtInfo);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(popup.pos(), TFormMessage::placement(screen, popup.size()));
    popup.move(0, 0);
    popup.show(); // every show places it again
    QCOMPARE(popup.pos(), TFormMessage::placement(screen, popup.size()));
}

void TestMessage::colours_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("information") << int(dmtInfo) << QColor(0x26, 0xAA, 0x3A);
    QTest::newRow("warning") << int(dmtWarning) << QColor(0xDC, 0xA8, 0x0B);
    QTest::newRow("error") << int(dmtError) << QColor(0xE6, 0x28, 0x28);
    QTest::newRow("unknown kind shows as information") << 7 << QColor(0x26, 0xAA, 0x3A);
}

void TestMessage::colours() {
    QFETCH(int, kind);
    QFETCH(QColor, colour);
    TFormMessage popup;
    QCOMPARE(popup.noticeColor(), QColor(0xBC, 0xD1, 0xBC));
    popup.showInfoMessage(QStringLiteral("T"), QStringLiteral("M"), TDialogMessType(kind));
    QCOMPARE(popup.noticeColor(), colour);
    // The colour is what the background really shows.
    popup.show();
    const QImage shot = popup.grab().toImage();
    QCOMPARE(QColor(shot.pixel(shot.width() - 3, shot.height() - 3)), colour);
}

void TestMessage::noticeReplacesTextsInPlace() {
    QWidget owner;
    auto* popup = new TFormMessage(&owner);
    popup->showInfoMessage(QStringLiteral("File exists!"), QStringLiteral("File already exists: a.mp3"),
                           dmtWarning);
    popup->show();
    QCOMPARE(popup->noticeColor(), TFormMessage::clrW);
    popup->showInfoMessage(QStringLiteral("Copy to collection"), QStringLiteral("/music/Favorites/b.mp3"),
                           dmtInfo);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->windowTitle(), QStringLiteral("Copy to collection"));
    QCOMPARE(popup->lblTitle->text(), QStringLiteral("Copy to collection"));
    QCOMPARE(popup->lblMessage->text(), QStringLiteral("/music/Favorites/b.mp3"));
    QCOMPARE(popup->noticeColor(), TFormMessage::clrI);
    QCOMPARE(owner.findChildren<TFormMessage*>().size(), 1);
}

void TestMessage::emptyTitle() {
    TFormMessage popup;
    popup.showInfoMessage(QString(), QStringLiteral("still shown"), dmtInfo);
    QCOMPARE(popup.windowTitle(), QString());
    QCOMPARE(popup.lblTitle->text(), QString());
    QCOMPARE(popup.lblMessage->text(), QStringLiteral("still shown"));
}

void TestMessage::laterNoticeHidesAtNextTick() {
    QElapsedTimer sinceCreation;
    sinceCreation.start();
    TFormMessage popup;
    QCOMPARE(popup.Timer1->interval(), 4000);
    QVERIFY(popup.Timer1->isActive());
    popup.showInfoMessage(QStringLiteral("First"), QString(), dmtInfo);
    popup.show();

    QTest::qWait(3000);
    QVERIFY2(popup.isVisible(), "the first notice lasts until the first tick");
    popup.showInfoMessage(QStringLiteral("Second"), QString(), dmtWarning);
    popup.show();
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    // The notice did not restart the timer: the next tick is still due about 4 s after creation.
    QVERIFY2(popup.Timer1->remainingTime() < 2000,
             qPrintable(QString::number(popup.Timer1->remainingTime())));
    QTRY_VERIFY_WITH_TIMEOUT(!popup.isVisible(), 3000);
    QVERIFY2(sinceSecond.elapsed() < 2500, "hidden at the next tick, not 4 s after the second notice");
    QVERIFY(sinceCreation.elapsed() >= 3700); // a coarse timer may tick up to 5% early
    // Hidden, not destroyed: the texts stay for the next notice.
    QCOMPARE(popup.lblTitle->text(), QStringLiteral("Second"));
}

void TestMessage::ownerKeepsItsKeys() {
    QWidget owner;
    owner.resize(300, 200);
    int f8 = 0;
    auto* next = new QAction(&owner);
    next->setShortcut(Qt::Key_F8);
    connect(next, &QAction::triggered, [&] { ++f8; });
    owner.addAction(next);
    owner.show();
    owner.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&owner));

    auto* popup = new TFormMessage(&owner);
    QVERIFY(popup->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(popup->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    QVERIFY(popup->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(popup->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(popup->focusPolicy(), Qt::NoFocus);
    popup->showInfoMessage(QStringLiteral("Copy to collection"), QStringLiteral("x"), dmtInfo);
    popup->show();
    QVERIFY(QTest::qWaitForWindowExposed(popup));
    // The offscreen platform activates every window it shows, whatever its flags; even then the key
    // must reach the owner's shortcuts. The real activation is checked under a window manager below.
    QWidget* active = QApplication::activeWindow();
    QVERIFY(active);
    QTest::keyClick(active, Qt::Key_F8);
    QCOMPARE(f8, 1);
}

void TestMessage::mainWindowReusesOnePopup() {
    QStringList errors;
    TFormMainTestAccess::errorReportHook() = [&](const QString& text) { errors << text; };
    {
        TFormMain w;
        QVERIFY(!sbt::parts(w).messWindow);
        w.showInfo(QStringLiteral("Copy to collection"), QStringLiteral("/music/Favorites/a.mp3"), dmtInfo);
        TFormMessage* popup = sbt::parts(w).messWindow;
        QVERIFY(popup);
        QVERIFY(popup->isVisible());
        QCOMPARE(popup->parentWidget(), &w);
        w.showInfo(QStringLiteral("File exists!"), QStringLiteral("File already exists: a.mp3"), dmtWarning);
        QCOMPARE(sbt::parts(w).messWindow, popup);
        QCOMPARE(popup->lblTitle->text(), QStringLiteral("File exists!"));
        QCOMPARE(popup->noticeColor(), TFormMessage::clrW);
        QCOMPARE(w.findChildren<TFormMessage*>().size(), 1);
        // A hidden popup shows again for the next notice.
        popup->hide();
        w.showInfo(QStringLiteral("Copy to collection"), QStringLiteral("b.mp3"), dmtInfo);
        QVERIFY(popup->isVisible());
    }
    TFormMainTestAccess::errorReportHook() = {};
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
}

// --- the same under a real X server and window manager, in a child process ---

namespace {
// Exit codes of the probe, apart from those of xvfb-run itself (1 when no X server could start).
constexpr int probeCannotShow = 42; // a plain window did not take the activation either
constexpr int probeFailed = 43;

// Runs inside Xvfb with openbox: 0 when the popup left the main window active and F8 still reached it.
int probeActivation(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("owner"));
    owner.resize(400, 300);
    int f8 = 0;
    auto* next = new QAction(&owner);
    next->setShortcut(Qt::Key_F8);
    QObject::connect(next, &QAction::triggered, [&] { ++f8; });
    owner.addAction(next);
    owner.show();
    owner.activateWindow();
    if (!QTest::qWaitForWindowActive(&owner, 10000)) {
        std::fprintf(stderr, "probe: the owner never became active\n");
        return probeCannotShow;
    }

    // A window shown the usual way takes the activation: proof that the check below can fail.
    {
        QWidget plain(&owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        plain.resize(100, 100);
        plain.show();
        if (!QTest::qWaitFor([&] { return plain.isActiveWindow(); }, 3000)) {
            std::fprintf(stderr, "probe: a plain window did not take the activation\n");
            return probeCannotShow;
        }
    }
    owner.activateWindow();
    if (!QTest::qWaitForWindowActive(&owner, 5000))
        return probeCannotShow;

    auto* popup = new TFormMessage(&owner);
    popup->showInfoMessage(QStringLiteral("Copy to collection"), QStringLiteral("/x/y.mp3"), dmtInfo);
    popup->show();
    if (!QTest::qWaitForWindowExposed(popup, 5000)) {
        std::fprintf(stderr, "probe: the popup was never shown\n");
        return probeFailed;
    }
    QTest::qWait(700);
    if (QApplication::activeWindow() != &owner || popup->isActiveWindow()) {
        std::fprintf(stderr, "probe: the popup took the activation\n");
        return probeFailed;
    }
    if (popup->frameGeometry().topLeft() != TFormMessage::placement(QRect(0, 0, 1920, 1080), popup->size())) {
        std::fprintf(stderr, "probe: popup at %d,%d\n", popup->x(), popup->y());
        return probeFailed;
    }
    // A real key press through the X server still reaches the main window.
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("F8")});
    if (!QTest::qWaitFor([&] { return f8 == 1; }, 3000)) {
        std::fprintf(stderr, "probe: F8 did not reach the main window\n");
        return probeFailed;
    }
    return 0;
}
} // namespace

void TestMessage::keepsActivationUnderWindowManager() {
    for (const char* tool : {"xvfb-run", "Xvfb", "openbox", "xdotool", "xauth"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool))));
    const QString script = QStringLiteral("openbox --sm-disable >/dev/null 2>&1 & wm=$!; sleep 1; "
                                          "\"$0\" --probe-activation; rc=$?; kill $wm; exit $rc");
    int rc = -1;
    // Two X servers started at once may race for a display number: try again before giving up.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedChannels);
        probe.start(QStringLiteral("xvfb-run"),
                    {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1920x1080x24"),
                     QStringLiteral("sh"), QStringLiteral("-c"), script,
                     QCoreApplication::applicationFilePath()});
        QVERIFY(probe.waitForFinished(60000));
        rc = probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1;
        if (rc == 0 || rc == probeFailed || rc == probeCannotShow)
            break;
    }
    if (rc == probeCannotShow)
        QSKIP("this X server and window manager give no window the activation");
    if (rc != 0 && rc != probeFailed)
        QSKIP("no X server could be started");
    QCOMPARE(rc, 0);
}

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--probe-activation") == 0)
        return probeActivation(1, argv);
    QApplication app(argc, argv);
    TestMessage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_message.moc"
