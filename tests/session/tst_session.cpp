// The sorting session without a window, on the real engine (SDL's dummy driver) behind the spy: a track
// starts and ends and the next one follows, a Like copies, tells and moves on, a take-back undoes it,
// random play never repeats the playing track, a track that does not open is passed over (backwards after
// Previous). What a window shows is what the signals say.
#include "AudioEngine.h"
#include "dorBass.h"
#include "engineDouble.h"
#include "safeCopy.h"
#include "sbtest.h"
#include "sortingSession.h"

#include <QSignalSpy>
#include <QTest>
#include <memory>

class TestSession : public QObject {
    Q_OBJECT

    QString music; // short tones, never changed
    QString base;  // the collections
    std::unique_ptr<IAudioEngine> real;
    std::unique_ptr<sbtest::EngineDouble> spy;
    std::unique_ptr<TSortingSession> session;

    static QString english(const SbText& text) { return text.english(); }

    // The file names of the tracks started, in order.
    static QStringList names(const QSignalSpy& started) {
        QStringList list;
        for (const QList<QVariant>& args : started)
            list << args.at(0).toString().section(QLatin1Char('/'), -1);
        return list;
    }

private slots:
    void initTestCase() {
        music = sbtest::makeTempDir(QStringLiteral("music")) + QLatin1Char('/');
        sbtest::ToneSpec tone;
        tone.seconds = 0.6;
        for (const char* name : {"a.mp3", "c.mp3", "d.mp3"})
            QVERIFY(sbtest::writeToneMp3(music + QLatin1String(name), tone));
        // Between two good tracks in name order.
        QVERIFY(sbtest::writeFile(music + "b broken.mp3", "not an mp3 at all"));
    }
    void init() {
        base = sbtest::makeTempDir(QStringLiteral("base")) + QLatin1Char('/');
        real = createDefaultAudioEngine();
        spy = std::make_unique<sbtest::EngineDouble>(*real);
        session = std::make_unique<TSortingSession>();
        session->startPlayer(*spy);
        session->followOwnOrder();
        QVERIFY(session->player()->Valid());
        session->collections().setBase(base);
        session->initFolders(QStringLiteral("One,Two"), false);
        QVERIFY(session->playList().load(music));
    }
    void cleanup() {
        session.reset();
        spy.reset();
        real.reset();
        waitForCopiesOnDisk();
    }

    // A track starts, ticks while it plays and ends; the next one follows, a track that does not open is
    // passed over quietly, and after the last one the player stops (no wrap-around).
    void tracksFollowEachOther() {
        QSignalSpy started(session.get(), &TSortingSession::trackStarted);
        QSignalSpy rows(session.get(), &TSortingSession::currentRowChanged);
        QSignalSpy ticks(session.get(), &TSortingSession::positionChanged);
        QSignalSpy ended(session.get(), &TSortingSession::trackEnded);
        QSignalSpy errors(session.get(), &TSortingSession::error);
        const int first = session->playList().rowOf("a.mp3");
        session->playRow(first);
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.at(0).at(0).toString(), music + "a.mp3");
        QCOMPARE(rows.at(0).at(0).toInt(), first);
        QVERIFY(session->isPlaying());
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 4, 10000);
        QCOMPARE(names(started), (QStringList{"a.mp3", "b broken.mp3", "c.mp3", "d.mp3"}));
        QVERIFY(ticks.size() >= 3);
        QVERIFY(!session->isPlaying());
        QCOMPARE(session->playList().currentRow(), session->playList().rowOf("d.mp3"));
        QCOMPARE(errors.size(), 0);
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

    // Previous onto a track that does not open passes it over towards the start, not back to where the
    // user came from.
    void previousPassesOverBackwards() {
        session->playRow(session->playList().rowOf("c.mp3"));
        QSignalSpy started(session.get(), &TSortingSession::trackStarted);
        QSignalSpy ended(session.get(), &TSortingSession::trackEnded);
        session->previous();
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 2, 3000);
        QCOMPARE(names(started), (QStringList{"b broken.mp3", "a.mp3"}));
        QVERIFY(ended.at(0).at(0).toBool());
        QVERIFY(session->isPlaying());
        session->stop();
    }

    // Random play draws tracks only, never the one playing, and passes over sorted ones when asked to.
    void randomNeverRepeatsThePlayingOne() {
        session->options().randomPlay = true;
        QSignalSpy started(session.get(), &TSortingSession::trackStarted);
        session->playRow(session->playList().rowOf("a.mp3"));
        for (int i = 0; i < 40; ++i)
            session->next();
        const QStringList order = names(started);
        QCOMPARE(order.size(), 41);
        for (int i = 1; i < order.size(); ++i)
            QVERIFY2(order.at(i) != order.at(i - 1), qPrintable(order.join(", ")));
        QVERIFY(order.contains("c.mp3") && order.contains("d.mp3"));

        session->options().skipSorted = true;
        session->options().playNextAfterCopy = false;
        session->like(music + "c.mp3", session->collections().name(1));
        session->like(music + "d.mp3", session->collections().name(2));
        started.clear();
        for (int i = 0; i < 10; ++i)
            session->next();
        QVERIFY2(!names(started).contains("c.mp3") && !names(started).contains("d.mp3"),
                 qPrintable(names(started).join(", ")));
        session->stop();
    }

    // A Like copies, tells the client (notice, counts, marks) and goes on with the next track; a second
    // Like of the same name finds it there and warns.
    void likeCountsAndNotice() {
        session->playRow(session->playList().rowOf("a.mp3"));
        QSignalSpy notices(session.get(), &TSortingSession::notice);
        QSignalSpy counts(session.get(), &TSortingSession::countsChanged);
        QSignalSpy next(session.get(), &TSortingSession::trackStarted);
        QSignalSpy undo(session.get(), &TSortingSession::takeBackChanged);
        const TLikeOutcome done = session->like(music + "a.mp3", session->collections().name(1));
        QVERIFY(done.copied);
        QCOMPARE(session->collections().count(1), 1);
        QCOMPARE(counts.size(), 1);
        QCOMPARE(names(next), QStringList{"b broken.mp3"});
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
        QSignalSpy next(session.get(), &TSortingSession::trackStarted);
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
