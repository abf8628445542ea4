// The audio player's start-up failure as the user meets it: the window side's report shows the player's
// text in a critical message box with the program's title, and the program ends only once it is dismissed.
#include "audioStartupReport.h"
#include "const_sb.h"
#include "dorBass.h"
#include "engineDouble.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

class TestStartupReport : public QObject {
    Q_OBJECT

private slots:
    void failureShowsTheMessageBox() {
        QList<int> exitCodes;
        const auto previousHook = TBassPlayer::setExitHook([&](int code) { exitCodes << code; });
        installAudioStartupReport();
        struct Box {
            QMessageBox::Icon icon = QMessageBox::NoIcon;
            QString title, text;
            QMessageBox::StandardButtons buttons;
            int exitsWhileShown = -1;
        } seen;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            seen = {box->icon(), box->windowTitle(), box->text(), box->standardButtons(),
                    int(exitCodes.size())};
            box->button(QMessageBox::Ok)->click();
        });
        poll.start();
        sbtest::EngineDouble engine;
        engine.initResult = false;
        {
            TBassPlayer player(engine, 0);
            QVERIFY(!player.Valid());
        }
        TBassPlayer::setStartupReporter({});
        TBassPlayer::setExitHook(previousHook);

        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.title, sb::appTitle);
        QCOMPARE(seen.text, sb::audioInitError);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.exitsWhileShown, 0);
        QCOMPARE(exitCodes, QList<int>{1});
    }
};

QTEST_MAIN(TestStartupReport)
#include "tst_startupreport.moc"
