// Playback control in the main window: starting a track, the time label and position bar, the eight
// playback actions with their keys, the order of Next and Previous (in order and at random), the auto
// offset, and tracks that do not open. A fake engine gives exact positions where timing matters; the real
// engine on SDL's dummy driver shows the real failure of a file that does not open.
#include "AudioEngine.h"
#include "TrackList.h"
#include "diagnosticLog.h"
#include "dorBass.h"
#include "engineDouble.h"
#include "formMainAccess.h"
#include "fsPath.h"
#include "main.h"
#include "sbtest.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QSet>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <cstdio>
#include <map>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr qint64 kBytesPerSecond = 44100 * 4; // 44.1 kHz, stereo, 16-bit

// The main window on a fake engine, shown and active, over a folder holding a sub-folder and three
// tracks: the list is [..], [Sub], then the tracks in the platform's order.
struct Fixture {
    sbtest::EngineDouble engine;
    std::unique_ptr<TFormMain> w;
    QString folder;
    QStringList tracks; // file names in list order
    int stops = 0;

    bool start(const QString& name, bool autoOffset = false, bool random = false) {
        folder = sbtest::makeTempDir(name) + QStringLiteral("/");
        if (!QDir(folder).mkdir(QStringLiteral("Sub")))
            return false;
        for (const char* file : {"one.mp3", "two.mp3", "three.mp3"})
            if (!sbtest::writeFile(folder + QLatin1String(file), "not read by the fake engine"))
                return false;
        w = std::make_unique<TFormMain>(&engine);
        w->show();
        QApplication::setActiveWindow(w.get());
        if (!QTest::qWaitForWindowActive(w.get()))
            return false;
        w->session().options().autoOffset = autoOffset;
        w->session().options().randomPlay = random;
        QObject::connect(sbt::parts(w).actStop, &QAction::triggered, w.get(), [this] { ++stops; });
        engine.opened.clear(); // the start folder (an earlier test's) played at creation
        w->ScanFolder(folder);
        for (int row = 0; row < sbt::parts(w).trackModel->count(); ++row)
            if (sbt::parts(w).trackModel->entry(row).kind == TPlayList::kindTrack)
                tracks << sbt::parts(w).trackModel->entry(row).description;
        return sbt::parts(w).trackModel->count() == 5 && tracks.size() == 3;
    }
    int selected() const { return trackListSelectedRow(sbt::parts(w).lbTracklist); }
    QString playing() const { return QFileInfo(w->session().player()->TrackFilename()).fileName(); }
    void key(Qt::Key k) { QTest::keyClick(w.get(), k); }
};

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT

private slots:
    void startingTrackShowsItsNameCounterAndTime();
    void nextInOrderStopsAfterTheLastEntry();
    void endOfTrackStartsTheNextWithinTheTick();
    void previousFromFirstTrackSelectsLastFolderEntry();
    void randomWithOneTrackPlaysItAgain();
    void randomPlaysOtherTracksOnly();
    void previousPassesOverATrackThatDoesNotOpen();
    void namesThatAreNotUtf8PlayAndCopy();
    void autoOffsetAtEveryPlayThatTakesEffect();
    void playNeedsTheActiveWindow();
    void forwardAndRewindBySecondsOffset();
    void draggingTheBar_data();
    void draggingTheBar();
    void stopResetsTheBarAndKeepsTheTime();
    void unopenableFileIsPassedOver_data();
    void unopenableFileIsPassedOver();
};

void TestPlayback::startingTrackShowsItsNameCounterAndTime() {
    Fixture f;
    QVERIFY(f.start("start"));
    TFormMain& w = *f.w;
    QCOMPARE(f.selected(), 2);
    QCOMPARE(f.playing(), f.tracks[0]);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QCOMPARE(f.engine.currentPosition(), 0);
    QCOMPARE(sbt::parts(w).currentFile, f.tracks[0]);
    QCOMPARE(sbt::parts(w).lblCurrentFile->text(), f.tracks[0]);
    QCOMPARE(sbt::parts(w).lbl_fm_1->text(), f.tracks[0] + "   ");
    QCOMPARE(sbt::parts(w).lbl_fm_2->text(), f.folder);
    QCOMPARE(sbt::parts(w).lblProgress->text(), QString("3 / 5 (60%)"));
    QVERIFY(sbt::parts(w).imgPause->isVisible());
    QVERIFY(!sbt::parts(w).imgPlay->isVisible());
    QCOMPARE(sbt::parts(w).TrackBar1->maximum(), 1588); // 15,876,000 bytes in units of 10,000, rounded
    QCOMPARE(sbt::parts(w).TrackBar1Tag, 0);

    // The total time shows by the first tick; the bar follows the position.
    QTRY_COMPARE(sbt::parts(w).lblTime->text(), QString("00:00 / 01:30"));
    f.engine.current()->position = 65 * kBytesPerSecond;
    QTRY_COMPARE(sbt::parts(w).lblTime->text(), QString("01:05 / 01:30"));
    QCOMPARE(sbt::parts(w).TrackBar1->value(), 1147); // 11,466,000 bytes
    QCOMPARE(f.engine.setPositionCalls, 0);           // the timer moving the bar never seeks

    // Esc pauses and plays again, with the image in step.
    f.key(Qt::Key_Escape);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Paused));
    QVERIFY(sbt::parts(w).imgPlay->isVisible() && !sbt::parts(w).imgPause->isVisible());
    QCOMPARE(sbt::parts(w).TrackBar1Tag, 1);
    f.key(Qt::Key_Escape);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QVERIFY(sbt::parts(w).imgPause->isVisible() && !sbt::parts(w).imgPlay->isVisible());
    QCOMPARE(f.engine.currentPosition(), 65 * kBytesPerSecond);
}

void TestPlayback::nextInOrderStopsAfterTheLastEntry() {
    Fixture f;
    QVERIFY(f.start("next"));
    f.key(Qt::Key_F8);
    QCOMPARE(f.selected(), 3);
    QCOMPARE(f.playing(), f.tracks[1]);
    QCOMPARE(sbt::parts(f.w).lblProgress->text(), QString("4 / 5 (80%)"));
    sbt::parts(f.w).btnNext->click();
    QCOMPARE(f.selected(), 4);
    QCOMPARE(f.playing(), f.tracks[2]);

    // At the last entry Next stops and does not wrap to the first.
    f.stops = 0;
    f.key(Qt::Key_F8);
    QCOMPARE(f.stops, 1);
    QCOMPARE(f.selected(), 4);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Stopped));
    QVERIFY(!f.w->session().player()->timerActive());
    QCOMPARE(f.engine.opened, QStringList(f.tracks));
    QVERIFY(sbt::parts(f.w).imgPlay->isVisible());
}

void TestPlayback::endOfTrackStartsTheNextWithinTheTick() {
    Fixture f;
    QVERIFY(f.start("end"));
    f.engine.current()->position = f.engine.current()->length;
    QTRY_COMPARE(f.playing(), f.tracks[1]);
    QCOMPARE(f.selected(), 3);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QVERIFY(f.w->session().player()->timerActive());

    // The last track's end stops playback with the last entry still selected.
    QVERIFY(sbt::parts(f.w).actNext->isEnabled());
    f.key(Qt::Key_F8);
    QCOMPARE(f.playing(), f.tracks[2]);
    f.engine.current()->position = f.engine.current()->length;
    QTRY_VERIFY(!f.w->session().player()->timerActive());
    QTest::qWait(600); // two more ticks' worth: nothing starts again
    QCOMPARE(f.selected(), 4);
    QCOMPARE(f.engine.opened, QStringList(f.tracks));
    QVERIFY(sbt::parts(f.w).imgPlay->isVisible());
    QCOMPARE(sbt::parts(f.w).TrackBar1->value(), 0);
}

void TestPlayback::previousFromFirstTrackSelectsLastFolderEntry() {
    Fixture f;
    QVERIFY(f.start("prev"));
    f.key(Qt::Key_F8);
    QCOMPARE(f.playing(), f.tracks[1]);
    sbt::parts(f.w).btnPrev->click();
    QCOMPARE(f.selected(), 2);
    QCOMPARE(f.playing(), f.tracks[0]);

    // From the first track the selection moves onto the folder entries; the track plays on.
    f.stops = 0;
    f.key(Qt::Key_F5);
    QCOMPARE(f.selected(), 1);
    QCOMPARE(f.playing(), f.tracks[0]);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    f.key(Qt::Key_F5);
    QCOMPARE(f.selected(), 0);
    QCOMPARE(f.stops, 0);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));

    // At the first entry Previous stops.
    f.key(Qt::Key_F5);
    QCOMPARE(f.stops, 1);
    QCOMPARE(f.selected(), 0);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Stopped));

    // Next moves on from the selected entry, not from the playing file.
    f.key(Qt::Key_F8);
    QCOMPARE(f.selected(), 1);
    f.key(Qt::Key_F8);
    QCOMPARE(f.playing(), f.tracks[0]);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
}

void TestPlayback::randomWithOneTrackPlaysItAgain() {
    Fixture f;
    QVERIFY(f.start("single", false, true));
    TPlayList* m = sbt::parts(f.w).trackModel;
    m->beginUpdate();
    m->clear();
    m->append("[Sub]", f.folder, QString(), TPlayList::kindFolder, "Sub");
    m->append("MP3", f.folder, f.tracks[0], TPlayList::kindTrack);
    m->endUpdate();
    trackListSelectRow(sbt::parts(f.w).lbTracklist, 1);
    QCOMPARE(f.playing(), f.tracks[0]);
    const int opens = f.engine.opened.size();
    f.engine.current()->position = 30 * kBytesPerSecond;

    // The draw has nothing else to land on: Next starts the track again, never the folder entry.
    f.key(Qt::Key_F8);
    QCOMPARE(f.engine.opened.size(), opens + 1);
    QCOMPARE(f.selected(), 1);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QCOMPARE(f.engine.currentPosition(), 0);

    // So does the end of the track: random play keeps playing.
    f.engine.current()->position = f.engine.current()->length;
    QTRY_COMPARE(f.engine.opened.size(), opens + 2);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QVERIFY(f.w->session().player()->timerActive());
}

void TestPlayback::randomPlaysOtherTracksOnly() {
    Fixture f;
    QVERIFY(f.start("random", false, true));
    QSet<int> seen;
    int previous = f.selected();
    for (int i = 0; i < 60; ++i) {
        // By the key and by the end of a track alike.
        if (i % 2 == 0) {
            f.key(Qt::Key_F8);
        } else {
            const int opens = f.engine.opened.size();
            f.engine.current()->position = f.engine.current()->length;
            QTRY_COMPARE(f.engine.opened.size(), opens + 1);
        }
        const int row = f.selected();
        QVERIFY2(row >= 2 && row != previous, qPrintable(QString("%1 after %2").arg(row).arg(previous)));
        QCOMPARE(f.playing(), sbt::parts(f.w).trackModel->entry(row).description);
        QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
        seen.insert(row);
        previous = row;
    }
    QCOMPARE(seen, QSet<int>({2, 3, 4}));

    // A folder without tracks: Next does nothing at all.
    f.w->ScanFolder(f.folder + "Sub");
    QCOMPARE(sbt::parts(f.w).trackModel->count(), 1);
    const int opens = f.engine.opened.size();
    f.stops = 0;
    f.key(Qt::Key_F8);
    QCOMPARE(f.engine.opened.size(), opens);
    QCOMPARE(f.selected(), -1);
    QCOMPARE(f.stops, 0);
}

void TestPlayback::previousPassesOverATrackThatDoesNotOpen() {
    Fixture f;
    QVERIFY(f.start("back"));
    f.key(Qt::Key_F8);
    f.key(Qt::Key_F8);
    QCOMPARE(f.playing(), f.tracks[2]);
    QVERIFY(QFile::remove(f.folder + f.tracks[1]));

    // Onto the track that does not open, then past it to the one before, as Next passes over it forwards.
    f.key(Qt::Key_F5);
    QCOMPARE(f.selected(), 3);
    QTRY_COMPARE(f.selected(), 2);
    QCOMPARE(f.playing(), f.tracks[0]);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    // A file that is gone never reaches the engine.
    QCOMPARE(f.engine.opened, (QStringList{f.tracks[0], f.tracks[1], f.tracks[2], f.tracks[0]}));

    // The track reached by Previous plays to its end and goes on forwards, past the broken one again.
    f.engine.current()->position = f.engine.current()->length;
    QTRY_COMPARE(f.selected(), 4);
    QCOMPARE(f.playing(), f.tracks[2]);
    QCOMPARE(f.engine.opened.mid(4), (QStringList{f.tracks[2]}));
}

void TestPlayback::namesThatAreNotUtf8PlayAndCopy() {
    Fixture f;
    QVERIFY(f.start("bytes"));
    const QByteArray latin1("Caf\xe9.mp3");
    const QByteArray cp1251Folder("\xd0\xee\xea"); // CP1251
    const QByteArray folder = pathBytes(f.folder);
    QVERIFY(::mkdir(QByteArray(folder + cp1251Folder).constData(), 0755) == 0);
    for (const QByteArray& name :
         {QByteArray(folder + latin1), QByteArray(folder + cp1251Folder + "/" + latin1)}) {
        FILE* file = std::fopen(name.constData(), "wb");
        QVERIFY(file && std::fputs("track", file) >= 0 && std::fclose(file) == 0);
    }
    f.w->ScanFolder(f.folder);
    const TPlayList* m = sbt::parts(f.w).trackModel;
    QCOMPARE(m->count(), 7); // [..], [Sub], the CP1251 folder, the Latin-1 track and three others
    QCOMPARE(m->entry(2).title.trimmed(), QString("[\uFFFD\uFFFD\uFFFD]"));

    // The track opens by its own bytes, the player panel shows it, and a Like copies it by them.
    const int row = f.w->getTrackIndexByName(pathFromBytes(latin1));
    QVERIFY(row > 2);
    trackListSelectRow(sbt::parts(f.w).lbTracklist, row);
    QCOMPARE(pathBytes(f.w->session().player()->TrackFilename()), folder + latin1);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QCOMPARE(sbt::parts(f.w).lblCurrentFile->text(), QString("Caf\uFFFD.mp3"));
    const QString base = sbtest::makeTempDir("base") + "/";
    f.w->collections().setBase(base);
    f.w->initFolders(false);
    f.w->session().options().playNextAfterCopy = false;
    sbt::parts(f.w).actCommand1->trigger();
    struct stat st {};
    QVERIFY(::stat(QByteArray(pathBytes(base + f.w->collections().name(1)) + "/" + latin1).constData(),
                   &st) == 0);
    QCOMPARE(sbt::parts(f.w).lbl_1_count->text(), QString("[1]"));

    // The CP1251 folder opens and lists its track.
    trackListSelectRow(sbt::parts(f.w).lbTracklist, 2);
    f.w->lbTracklistDblClick();
    QCOMPARE(pathBytes(sbt::parts(f.w).currentFolder), folder + cp1251Folder + "/");
    QCOMPARE(sbt::parts(f.w).trackModel->count(), 2);
    QCOMPARE(pathBytes(f.w->session().player()->TrackFilename()), folder + cp1251Folder + "/" + latin1);
}

void TestPlayback::autoOffsetAtEveryPlayThatTakesEffect() {
    Fixture f;
    QVERIFY(f.start("offset", true));
    const qint64 ten = 10 * kBytesPerSecond;
    QCOMPARE(f.playing(), f.tracks[0]);
    QCOMPARE(f.engine.currentPosition(), ten);

    f.key(Qt::Key_Return); // Enter while playing jumps ahead
    QCOMPARE(f.engine.currentPosition(), 2 * ten);
    f.key(Qt::Key_Escape);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Paused));
    QCOMPARE(f.engine.currentPosition(), 2 * ten);
    f.key(Qt::Key_Escape); // continuing after Pause
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QCOMPARE(f.engine.currentPosition(), 3 * ten);

    f.key(Qt::Key_F8); // each new track starts ten seconds in
    QCOMPARE(f.playing(), f.tracks[1]);
    QCOMPARE(f.engine.currentPosition(), ten);

    // A track shorter than the offset lands just before its end and ends at the next tick.
    f.engine.lengths[f.tracks[2]] = 4 * kBytesPerSecond;
    f.key(Qt::Key_F8);
    QCOMPARE(f.playing(), f.tracks[2]);
    QCOMPARE(f.engine.currentPosition(), 4 * kBytesPerSecond - 12); // ten bytes before, snapped to a frame
}

void TestPlayback::playNeedsTheActiveWindow() {
    Fixture f;
    QVERIFY(f.start("inactive", true));
    f.key(Qt::Key_Escape);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Paused));

    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!f.w->isActiveWindow());

    // Play and Play / Pause do nothing, whoever triggers them.
    const qint64 paused = f.engine.currentPosition();
    sbt::parts(f.w).actPlay->trigger();
    sbt::parts(f.w).actPlayPause->trigger();
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Paused));
    QCOMPARE(f.engine.currentPosition(), paused);
    QVERIFY(sbt::parts(f.w).imgPlay->isVisible());

    // A track started meanwhile plays from its start, with the image and bar maximum set; the seek
    // guard stays on until the first tick.
    sbt::parts(f.w).actNext->trigger();
    QCOMPARE(f.playing(), f.tracks[1]);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QCOMPARE(f.engine.currentPosition(), 0);
    QVERIFY(sbt::parts(f.w).imgPause->isVisible() && !sbt::parts(f.w).imgPlay->isVisible());
    QCOMPARE(sbt::parts(f.w).TrackBar1->maximum(), 1588);
    QCOMPARE(sbt::parts(f.w).TrackBar1Tag, 1);
    QTRY_COMPARE(sbt::parts(f.w).TrackBar1Tag, 0);
}

void TestPlayback::forwardAndRewindBySecondsOffset() {
    Fixture f;
    QVERIFY(f.start("seek"));
    QCOMPARE(f.w->session().options().secondsOffset, 10);
    f.key(Qt::Key_F7);
    sbt::parts(f.w).btnForward->click();
    QCOMPARE(f.engine.currentPosition(), 20 * kBytesPerSecond);
    f.key(Qt::Key_F6);
    QCOMPARE(f.engine.currentPosition(), 10 * kBytesPerSecond);

    // In every state, and bounded at both ends.
    f.key(Qt::Key_Escape);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Paused));
    sbt::parts(f.w).btnRewind->click();
    f.key(Qt::Key_F6);
    QCOMPARE(f.engine.currentPosition(), 0);
    f.engine.current()->position = 85 * kBytesPerSecond;
    f.key(Qt::Key_F7);
    QCOMPARE(f.engine.currentPosition(), 90 * kBytesPerSecond - 12);
}

void TestPlayback::draggingTheBar_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("seeks");
    QTest::newRow("playing") << "playing" << true;
    QTest::newRow("paused") << "paused" << false;
    QTest::newRow("stopped") << "stopped" << false;
}

void TestPlayback::draggingTheBar() {
    QFETCH(QString, state);
    QFETCH(bool, seeks);
    Fixture f;
    QVERIFY(f.start("bar"));
    f.engine.current()->position = 20 * kBytesPerSecond;
    QTRY_COMPARE(sbt::parts(f.w).TrackBar1->value(), 353); // 3,528,000 bytes
    if (state == "paused")
        f.key(Qt::Key_Escape);
    else if (state == "stopped")
        sbt::parts(f.w).actStop->trigger();

    // What a drag of the handle does: the slider moves while held down.
    QSlider* bar = sbt::parts(f.w).TrackBar1;
    bar->setSliderDown(true);
    bar->setSliderPosition(1000);
    bar->setSliderPosition(1200);
    bar->setSliderDown(false);
    QCOMPARE(bar->value(), 1200);
    QCOMPARE(f.engine.currentPosition(), seeks ? 12000000 : 20 * kBytesPerSecond);

    // A click on the groove jumps there.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 4, bar->height() / 2));
    if (seeks) {
        QVERIFY2(std::abs(bar->value() - bar->maximum() / 4) < bar->maximum() / 20,
                 qPrintable(QString::number(bar->value())));
        QCOMPARE(f.engine.currentPosition(), bar->value() * 10000);
    } else {
        QCOMPARE(f.engine.currentPosition(), 20 * kBytesPerSecond);
    }

    // The handle at the maximum asks for a little more than the length: ten bytes before the end.
    if (seeks) {
        bar->setValue(bar->maximum());
        QCOMPARE(f.engine.currentPosition(), 90 * kBytesPerSecond - 12);
        return;
    }

    // The first tick after Play puts the bar back at the real position.
    f.key(Qt::Key_Escape);
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Playing));
    QTRY_COMPARE(bar->value(), 353);
    QCOMPARE(f.engine.currentPosition(), 20 * kBytesPerSecond);
}

void TestPlayback::stopResetsTheBarAndKeepsTheTime() {
    Fixture f;
    QVERIFY(f.start("stop"));
    f.engine.current()->position = 5 * kBytesPerSecond;
    QTRY_COMPARE(sbt::parts(f.w).lblTime->text(), QString("00:05 / 01:30"));
    QCOMPARE(sbt::parts(f.w).TrackBar1->value(), 88);

    sbt::parts(f.w).actStop->trigger();
    QCOMPARE(sbt::parts(f.w).TrackBar1->value(), 0);
    QCOMPARE(sbt::parts(f.w).TrackBar1Tag, 1);
    QCOMPARE(sbt::parts(f.w).lblTime->text(), QString("00:05 / 01:30"));
    QVERIFY(sbt::parts(f.w).imgPlay->isVisible() && !sbt::parts(f.w).imgPause->isVisible());
    QCOMPARE(f.engine.currentState(), int(AudioActivity::Stopped));
    QTest::qWait(300);
    QCOMPARE(sbt::parts(f.w).lblTime->text(), QString("00:05 / 01:30"));
    QCOMPARE(f.engine.currentPosition(), 5 * kBytesPerSecond); // Stop keeps the stream's position

    // Play continues from there; the first tick brings the bar back.
    f.key(Qt::Key_Return);
    QTRY_COMPARE(sbt::parts(f.w).TrackBar1->value(), 88);
    QCOMPARE(f.engine.currentPosition(), 5 * kBytesPerSecond);
}

void TestPlayback::unopenableFileIsPassedOver_data() {
    QTest::addColumn<bool>("deleted");
    QTest::newRow("not MPEG audio") << false;
    QTest::newRow("deleted after the scan") << true;
}

void TestPlayback::unopenableFileIsPassedOver() {
    QFETCH(bool, deleted);
    sbtest::ToneSpec spec;
    spec.seconds = 20;
    spec.sampleRate = 8000;
    spec.channels = 1;
    spec.bitrate = 32;
    const QByteArray tone = sbtest::toneMp3(spec);
    QVERIFY(!tone.isEmpty());
    const QString folder = sbtest::makeTempDir("broken") + "/";
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        QVERIFY(sbtest::writeFile(folder + name, tone));

    // The real engine, on SDL's dummy driver.
    TFormMain w;
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(w.session().player()->Valid());
    w.ScanFolder(folder);
    QCOMPARE(sbt::parts(w).trackModel->count(), 4);
    QTRY_VERIFY(w.session().player()->Position() > 0);
    const QString middle = folder + sbt::parts(w).trackModel->entry(2).description;
    const QString last = folder + sbt::parts(w).trackModel->entry(3).description;
    if (deleted)
        QVERIFY(QFile::remove(middle));
    else
        QVERIFY(sbtest::writeFile(middle, QByteArray(20000, 'x')));

    const qsizetype logStart = logLines().size();
    QTest::keyClick(&w, Qt::Key_F8);
    QCOMPARE(w.session().player()->TrackFilename(), middle);
    QCOMPARE(w.session().player()->isPlaying(), false);
    QTRY_COMPARE(w.session().player()->TrackFilename(), last);
    QCOMPARE(trackListSelectedRow(sbt::parts(w).lbTracklist), 3);
    QVERIFY(w.session().player()->isPlaying());
    QTRY_VERIFY(w.session().player()->Position() > 0);
    const QStringList log = logLines().mid(logStart).filter("playTrack (start)");
    QCOMPARE(log, QStringList({"playTrack (start): " + middle, "playTrack (start): " + last}));
    QVERIFY(logLines().mid(logStart).filter("> Can not play").isEmpty());
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
