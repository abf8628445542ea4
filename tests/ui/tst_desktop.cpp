// The desktop's ways into the program: a folder or track dropped on the window, a path named on the
// command line, the remote commands of media keys and applets (which act while another window has the
// focus), and what the session bus publishes of the player (metadata and change signals).
#include "dbusTestBus.h"
#include "desktopBus.h"
#include "dorBass.h"
#include "dorTools.h"
#include "formMainAccess.h"
#include "formMainRemote.h"
#include "fsPath.h"
#include "main.h"
#include "sbtest.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <future>
#include <limits>
#include <memory>

namespace {

// Sends a drag onto the window and, when it is taken, the drop; returns whether the window took it.
bool dropOn(TFormMain& w, QMimeData* data) {
    const QPointF at(100, 100);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, data,
                          Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QCoreApplication::sendEvent(&w, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, enter.dropAction(), data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &drop);
    return drop.isAccepted();
}

QMimeData* urls(const QList<QUrl>& list) {
    auto* d = new QMimeData;
    d->setUrls(list);
    return d;
}

QString playing(const TFormMain& w) {
    return w.session().player()->TrackFilename();
}

// A player whose state the test sets, for the bus side alone.
class FakeRemote : public IRemotePlayer {
public:
    State s;
    QList<Command> ran;
    State state() const override { return s; }
    bool run(Command c) override {
        ran << c;
        return true;
    }
    void seekTo(qint64 us) override { s.positionUs = us; }
    void raise() override {}
    void quit() override {}
    bool open(const QString&) override { return false; }
};

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
    QString a, b; // two music folders, ending in '/'
    std::unique_ptr<TFormMain> form;

    void startWindow() {
        form = std::make_unique<TFormMain>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

private slots:
    void initTestCase() {
        sbtest::ToneSpec tone;
        tone.seconds = 30;
        tone.sampleRate = 8000;
        tone.channels = 1;
        tone.bitrate = 32;
        const QByteArray mp3 = sbtest::toneMp3(tone);
        a = sbtest::makeTempDir("a") + '/';
        b = sbtest::makeTempDir("b") + '/';
        for (const QString& p : {a + "a1.mp3", a + "a2.mp3", b + "b1.mp3", b + "b2.mp3", b + "B3.MP3"})
            QVERIFY(sbtest::writeFile(p, mp3));
        QVERIFY(sbtest::writeFile(a + "notes.txt", "not a track"));
        QDir().mkpath(a + "sub");
    }
    void init() {
        TFormMain::setStartPath({});
        startWindow();
        QVERIFY(form->openPath(a));
        QCOMPARE(sbt::parts(form).currentFolder, a);
    }
    void cleanup() { form.reset(); }

    void dropOpens_data() {
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("track"); // empty: the folder's first track, whichever it is
        QTest::newRow("folder") << b << b << QString();
        QTest::newRow("folder without a trailing delimiter") << b.chopped(1) << b << QString();
        QTest::newRow("track") << b + "b2.mp3" << b << b + "b2.mp3";
        QTest::newRow("track in capitals") << b + "B3.MP3" << b << b + "B3.MP3";
        QTest::newRow("sub-folder without tracks") << a + "sub" << a + "sub/" << QString();
    }
    void dropOpens() {
        QFETCH(QString, dropped);
        QFETCH(QString, folder);
        QFETCH(QString, track);
        std::unique_ptr<QMimeData> data(urls({QUrl::fromLocalFile(dropped)}));
        QVERIFY(dropOn(*form, data.get()));
        QCOMPARE(sbt::parts(form).currentFolder, folder);
        if (!track.isEmpty())
            QCOMPARE(playing(*form), track);
        else if (folder == b)
            QVERIFY2(playing(*form).startsWith(b), qPrintable(playing(*form)));
        QVERIFY(form->session().player()->isPlaying() || folder != b);
    }

    // Anything else is refused at the door (the usual "no drop" cursor), and nothing changes.
    void dropRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a file that is no track") << "notes";
        QTest::newRow("a missing track") << "missing";
        QTest::newRow("a web address") << "web";
        QTest::newRow("plain text") << "text";
    }
    void dropRefused() {
        QFETCH(QString, kind);
        const QString before = playing(*form);
        std::unique_ptr<QMimeData> data;
        if (kind == "notes")
            data.reset(urls({QUrl::fromLocalFile(a + "notes.txt")}));
        else if (kind == "missing")
            data.reset(urls({QUrl::fromLocalFile(b + "gone.mp3")}));
        else if (kind == "web")
            data.reset(urls({QUrl("https://example.org/b1.mp3")}));
        else {
            data.reset(new QMimeData);
            data->setText(b);
        }
        QVERIFY(!dropOn(*form, data.get()));
        QCOMPARE(sbt::parts(form).currentFolder, a);
        QCOMPARE(playing(*form), before);
    }

    // A path named on the command line replaces the remembered folder; one that names nothing does not.
    void startPathReplacesTheRememberedFolder_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("track");
        QTest::newRow("track") << b + "b2.mp3" << b << b + "b2.mp3";
        QTest::newRow("folder") << b << b << QString();
        QTest::newRow("missing") << b + "gone/" << a << QString();
    }
    void startPathReplacesTheRememberedFolder() {
        QFETCH(QString, start);
        QFETCH(QString, folder);
        QFETCH(QString, track);
        form.reset(); // remembers `a`
        TFormMain::setStartPath(start);
        startWindow();
        TFormMain::setStartPath({});
        QCOMPARE(sbt::parts(form).currentFolder, folder);
        QVERIFY(playing(*form).startsWith(folder));
        if (!track.isEmpty())
            QCOMPARE(playing(*form), track);
    }

    // A media key is pressed while another window has the focus: the remote commands act all the same,
    // with the auto offset, and a disabled action stays disabled.
    void remoteCommandsActWithoutTheFocus() {
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!form->isActiveWindow());
        TFormMainRemote remote(*form);

        QVERIFY(remote.run(IRemotePlayer::Command::PlayPause));
        QCOMPARE(remote.state().status, IRemotePlayer::Status::Paused);
        QVERIFY(remote.run(IRemotePlayer::Command::PlayPause));
        QCOMPARE(remote.state().status, IRemotePlayer::Status::Playing);

        form->session().options().autoOffset = true;
        const QString before = playing(*form);
        QVERIFY(remote.run(IRemotePlayer::Command::Next));
        QVERIFY(playing(*form) != before);
        const IRemotePlayer::State s = remote.state();
        QVERIFY2(s.positionUs >= 10'000'000 && s.positionUs < 12'000'000,
                 qPrintable(QString::number(s.positionUs)));
        QVERIFY(s.lengthUs > 29'000'000 && s.lengthUs < 31'000'000);

        remote.seekTo(20'000'000);
        QVERIFY(std::abs(remote.state().positionUs - 20'000'000) < 200'000);

        form->ScanFolder(b + "gone/"); // a missing folder disables the player's actions
        QVERIFY(!remote.run(IRemotePlayer::Command::Play));
        QVERIFY(!remote.run(IRemotePlayer::Command::Like1));
        QVERIFY(!remote.state().canGoNext);
    }

    void metadata_data() {
        QTest::addColumn<QString>("track");
        QTest::addColumn<QString>("tagTitle");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("title");
        QTest::newRow("tagged") << "/m/x.mp3"
                                << "Song"
                                << "Band"
                                << "file:///m/x.mp3"
                                << "Song";
        QTest::newRow("untagged: the name without extension") << "/m/My Song.v2.mp3"
                                                              << ""
                                                              << ""
                                                              << "file:///m/My%20Song.v2.mp3"
                                                              << "My Song.v2";
        // A name that is not UTF-8 keeps its byte in the address and shows a replacement character.
        QTest::newRow("Latin-1 name") << pathFromBytes("/m/caf\xe9.mp3") << ""
                                      << ""
                                      << "file:///m/caf%E9.mp3" << QStringLiteral("caf\uFFFD");
    }
    void metadata() {
        QFETCH(QString, track);
        QFETCH(QString, tagTitle);
        QFETCH(QString, artist);
        IRemotePlayer::State s;
        s.track = track;
        s.lengthUs = 5'000'000;
        const QVariantMap m =
            TDesktopBus::metadataFor(s, "/org/sonabin/track/7", tagTitle, artist, QString());
        QCOMPARE(m.value("mpris:trackid").value<QDBusObjectPath>().path(),
                 QStringLiteral("/org/sonabin/track/7"));
        QTEST(m.value("xesam:url").toString(), "url");
        QTEST(m.value("xesam:title").toString(), "title");
        QCOMPARE(m.value("mpris:length").toLongLong(), 5'000'000LL);
        QCOMPARE(m.contains("xesam:artist"), !artist.isEmpty());
        if (!artist.isEmpty())
            QCOMPARE(m.value("xesam:artist").toStringList(), QStringList{artist});
        QVERIFY(!m.contains("xesam:album"));
    }

    // Every change reaches the bus once as PropertiesChanged; a jump of the position as Seeked.
    void changesAreSignalled() {
        sbtest::DBusTestBus daemon;
        QVERIFY2(daemon.start(), "dbus-daemon (package dbus) is needed");
        QDBusConnection server = QDBusConnection::connectToBus(daemon.address(), "server");
        QDBusConnection client = QDBusConnection::connectToBus(daemon.address(), "client");
        {
            FakeRemote fake;
            fake.s.track = "/m/one.mp3";
            fake.s.lengthUs = 60'000'000;
            fake.s.canSeek = true;
            TDesktopBus bus(server);
            QCOMPARE(bus.claim(), TDesktopBus::Claim::Owner);
            bus.setPlayer(&fake);

            QList<QVariantMap> changes;
            QList<qlonglong> seeks;
            sbtest::DBusSignalSpy spy(client, TDesktopBus::serviceName, TDesktopBus::objectPath, &changes,
                                      &seeks);
            QVERIFY(spy.connected());

            fake.s.status = IRemotePlayer::Status::Playing;
            bus.refresh();
            QVERIFY(QTest::qWaitFor([&] { return !changes.isEmpty(); }, 5000));
            QCOMPARE(changes.last().value("PlaybackStatus").toString(), QStringLiteral("Playing"));
            QVERIFY(!changes.last().contains("Metadata"));

            fake.s.track = "/m/two.mp3";
            bus.refresh();
            QVERIFY(QTest::qWaitFor([&] { return changes.size() == 2; }, 5000));
            QVERIFY(changes.last().contains("Metadata"));
            bus.refresh();                  // nothing changed: nothing sent
            fake.s.positionUs = 30'000'000; // a jump, not playback going on
            bus.refresh();
            QVERIFY(QTest::qWaitFor([&] { return !seeks.isEmpty(); }, 5000));
            QCOMPARE(seeks.last(), 30'000'000LL);
            QCOMPARE(changes.size(), 2);

            // A second instance finds the name taken, and its calls reach the first.
            TDesktopBus second(client);
            QCOMPARE(second.claim(), TDesktopBus::Claim::Taken);
            // The calls block, and this thread serves them: they go from another thread.
            auto call = [&](auto f) {
                auto result = std::async(std::launch::async, f);
                while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
                    QCoreApplication::processEvents();
                return result.get();
            };
            QVERIFY(call([&] { return TDesktopBus::sendLike(client, 2, nullptr); }));
            QCOMPARE(fake.ran, QList<IRemotePlayer::Command>{IRemotePlayer::Command::Like2});
            const QDBusMessage takeBack =
                QDBusMessage::createMethodCall(TDesktopBus::serviceName, TDesktopBus::objectPath,
                                               QStringLiteral("org.sonabin.Sonabin"), "TakeBack");
            QVERIFY(call([&] { return client.call(takeBack).type() == QDBusMessage::ReplyMessage; }));
            QCOMPARE(fake.ran.last(), IRemotePlayer::Command::TakeBack);
            QVERIFY(!call([&] { return TDesktopBus::sendOpen(client, "/m/none", nullptr); }));

            // Seek by any offset: past the end is Next, before the start is the start.
            auto seek = [&](qlonglong offset) {
                QDBusMessage m = QDBusMessage::createMethodCall(
                    TDesktopBus::serviceName, TDesktopBus::objectPath, TDesktopBus::playerInterface, "Seek");
                m << offset;
                return call([&] { return client.call(m).type() == QDBusMessage::ReplyMessage; });
            };
            QVERIFY(seek(std::numeric_limits<qlonglong>::min()));
            QCOMPARE(fake.s.positionUs, 0LL);
            QVERIFY(seek(5'000'000));
            QCOMPARE(fake.s.positionUs, 5'000'000LL);
            QVERIFY(seek(std::numeric_limits<qlonglong>::max()));
            QCOMPARE(fake.ran.last(), IRemotePlayer::Command::Next);
            bus.setPlayer(nullptr);
        }
        QDBusConnection::disconnectFromBus("server");
        QDBusConnection::disconnectFromBus("client");
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
