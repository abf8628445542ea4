// The sorting session without a window, on the real engine (SDL's dummy driver) behind the spy: a track
// starts and ends, a Like copies and tells, a take-back undoes it, a track that does not open is passed
// over. What a window shows is what the signals say.
#include "AudioEngine.h"
#include "dorBass.h"
#include "dorCopy.h"
#include "sbtest.h"
#include "sortingSession.h"
#include "spyEngine.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

class TestSession : public QObject {
    Q_OBJECT

    QString music; // short tones, never changed
    QString base;  // the collections
    std::unique_ptr<IAudioEngine> real;
    std::unique_ptr<sbtest::SpyEngine> spy;
    std::unique_ptr<TSortingSession> session;

    static QString english(const SbText& text) { return text.english(); }

private slots:
    void initTestCase() {
        music = sbtest::makeTempDir(QStringLiteral("music")) + QLatin1Char('/');
        sbtest::ToneSpec tone;
        tone.seconds = 0.6;
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
            QVERIFY(sbtest::writeToneMp3(music + QLatin1String(name), tone));
        QVERIFY(sbtest::writeFile(music + "broken.mp3", "not an mp3 at all"));
    }
    void init() {
        base = sbtest::makeTempDir(QStringLiteral("base")) + QLatin1Char('/');
        real = createDefaultAudioEngine();
        spy = std::make_unique<sbtest::SpyEngine>(*real);
        session = std::make_unique<TSortingSession>();
        session->startPlayer(*spy);
        QVERIFY(session->player()->Valid());
        session->collections().setBase(base);
        session->initFolders(QStringLiteral("One,Two"), false);
    }
    void cleanup() {
        session.reset();
        spy.reset();
        real.reset();
        waitForCopiesOnDisk();
    }

    // A track starts, ticks while it plays and ends at its end; the client hears each step.
    void trackStartsTicksAndEnds() {
        QSignalSpy started(session.get(), &TSortingSession::trackStarted);
        QSignalSpy ticks(session.get(), &TSortingSession::positionChanged);
        QSignalSpy ended(session.get(), &TSortingSession::trackEnded);
        session->playTrack(music + "a.mp3");
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.at(0).at(0).toString(), music + "a.mp3");
        QCOMPARE(session->currentTrack(), music + "a.mp3");
        QVERIFY(session->isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 5000);
        QVERIFY(!ended.at(0).at(0).toBool());
        QVERIFY(ticks.size() >= 1);
        QVERIFY(!session->isPlaying());
    }

    // Play, pause and stop say so; forward steps by the session's offset.
    void playPauseStop() {
        QSignalSpy state(session.get(), &TSortingSession::playStateChanged);
        QSignalSpy stopped(session.get(), &TSortingSession::stopped);
        session->playTrack(music + "a.mp3");
        session->pause();
        QVERIFY(!session->isPlaying());
        QCOMPARE(state.takeLast().at(0).toBool(), false);
        session->options().secondsOffset = 0;
        session->play();
        QVERIFY(session->isPlaying());
        QCOMPARE(state.takeLast().at(0).toBool(), true);
        session->stop();
        QVERIFY(!session->isPlaying());
        QCOMPARE(stopped.size(), 1);
    }

    // A file that does not open ends at the first tick; reached backwards, it is passed over backwards.
    void trackThatDoesNotOpen_data() {
        QTest::addColumn<bool>("backward");
        QTest::newRow("forward") << false;
        QTest::newRow("backward") << true;
    }
    void trackThatDoesNotOpen() {
        QFETCH(bool, backward);
        QSignalSpy ended(session.get(), &TSortingSession::trackEnded);
        QSignalSpy errors(session.get(), &TSortingSession::error);
        session->setLastMoveBackward(backward);
        session->playTrack(music + "broken.mp3");
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 2000);
        QCOMPARE(ended.at(0).at(0).toBool(), backward);
        QCOMPARE(errors.size(), 0); // passed over quietly
    }

    // A Like copies, tells the client (notice, counts, marks) and asks for the next track; a second Like
    // of the same name finds it there and warns.
    void likeCountsAndNotice() {
        QSignalSpy notices(session.get(), &TSortingSession::notice);
        QSignalSpy counts(session.get(), &TSortingSession::countsChanged);
        QSignalSpy next(session.get(), &TSortingSession::nextWanted);
        QSignalSpy undo(session.get(), &TSortingSession::takeBackChanged);
        const TLikeOutcome done = session->like(music + "a.mp3", session->collections().name(1));
        QVERIFY(done.copied);
        QCOMPARE(session->collections().count(1), 1);
        QCOMPARE(counts.size(), 1);
        QCOMPARE(next.size(), 1);
        QCOMPARE(undo.size(), 1);
        QCOMPARE(session->likeHistory().size(), 1);
        QCOMPARE(session->sortedIndex().marks("a.mp3"), int(TSortedIndex::inCollection1));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.at(0).at(1).value<SbText>().english(), base + "One/a.mp3");
        QCOMPARE(notices.at(0).at(2).value<TSortingSession::NoticeKind>(), TSortingSession::NoticeKind::Info);

        session->options().playNextAfterCopy = false;
        QVERIFY(!session->like(music + "a.mp3", session->collections().name(1)).copied);
        QCOMPARE(next.size(), 1);
        QCOMPARE(session->likeHistory().size(), 1); // nothing new to take back
        QCOMPARE(notices.last().at(1).value<SbText>().english(),
                 QStringLiteral("File already exists: a.mp3"));
        QCOMPARE(notices.last().at(2).value<TSortingSession::NoticeKind>(),
                 TSortingSession::NoticeKind::Warning);
    }

    // A Like that fails throws with the reason and tells nothing else.
    void likeFails() {
        QSignalSpy notices(session.get(), &TSortingSession::notice);
        QSignalSpy next(session.get(), &TSortingSession::nextWanted);
        QVERIFY_THROWS_EXCEPTION(SbError, session->like(music + "gone.mp3", session->collections().name(1)));
        QCOMPARE(notices.size(), 0);
        QCOMPARE(next.size(), 0);
        QVERIFY(session->likeHistory().isEmpty());
    }

    // Taking back removes the copy, the marks and counts follow, and the client is told which Like went.
    void takeBack() {
        session->options().playNextAfterCopy = false;
        session->like(music + "a.mp3", session->collections().name(2));
        QSignalSpy taken(session.get(), &TSortingSession::takenBack);
        QSignalSpy notices(session.get(), &TSortingSession::notice);
        QSignalSpy undo(session.get(), &TSortingSession::takeBackChanged);
        QCOMPARE(session->takeBack().result, TTakeBack::Removed);
        QCOMPARE(session->collections().count(2), 0);
        QCOMPARE(session->sortedIndex().marks("a.mp3"), 0);
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.at(0).at(0).value<TTakeBack>().like.source, music + "a.mp3");
        QCOMPARE(english(notices.at(0).at(1).value<SbText>()), QStringLiteral("Like taken back: a.mp3"));
        QCOMPARE(undo.last().at(0).toBool(), false);

        QCOMPARE(session->takeBack().result, TTakeBack::Nothing); // nothing left: nothing said
        QCOMPARE(notices.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
