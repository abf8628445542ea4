// Folder scanning and the track list of the main window.
#include "TrackList.h"
#include "diagnosticLog.h"
#include "dorBass.h"
#include "folderListing.h"
#include "formMainAccess.h"
#include "fsPath.h"
#include "main.h"
#include "sbtest.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

const QString blanks = QStringLiteral("     ");

// A double click as the window system delivers it: a click, then a press that is also a double click.
void doubleClick(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(widget, button, {}, pos);
    QTest::mousePress(widget, button, {}, pos);
    QTest::mouseDClick(widget, button, {}, pos);
    QTest::mouseRelease(widget, button, {}, pos);
}

// Log lines written since `from`.
QStringList logSince(qsizetype from) {
    return logLines().mid(from);
}

} // namespace

class TestTrackList : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The list-box events of the view, on a bare view and model.
    void changeFiresOnlyWhenTheSelectedRowChanges();
    void doubleClickIsReportedOnEntriesAndEmptySpace();
    void rowsAreSeventyPixelsHigh();

    void scanListsParentFoldersAndTracksInNameOrder_data();
    void scanListsParentFoldersAndTracksInNameOrder();
    void scanLogsTheFolderAsPassed();
    void namesShowOnOneLine();
    void missingFolderKeepsTheListAndDisablesThePlayerActions();
    void rootHasNoParentEntry();
    void folderWithoutTracksSelectsNothing();
    void doubleClickOpensSubFolderAndParent_data();
    void doubleClickOpensSubFolderAndParent();
    void doubleClickOnTrackPlaysItFromItsStart();
    void selectionChangeStartsTracksOnly();
    void progressCounter_data();
    void progressCounter();
    void trackIndexByName_data();
    void trackIndexByName();
    void openFolderDialogScansTheChosenFilesFolder();
    void openFolderDialogCancelledChangesNothing();
    void scanListsEverySupportedFormatByItsExtension();
    void largeFolderHasNoWidgetPerEntry();

private:
    void writeTrack(const QString& path);
    void scan(const QString& folder);
    QPoint rowCentre(int row) const;
    int stopCount() const { return stops; }

    QByteArray toneBytes;
    std::unique_ptr<TFormMain> form;
    int stops = 0;
};

void TestTrackList::initTestCase() {
    // Long enough that no track ends while a test runs; small, so fixtures are cheap.
    sbtest::ToneSpec spec;
    spec.seconds = 30;
    spec.sampleRate = 8000;
    spec.channels = 1;
    spec.bitrate = 32;
    toneBytes = sbtest::toneMp3(spec);
    QVERIFY(!toneBytes.isEmpty());
}

void TestTrackList::init() {
    form = std::make_unique<TFormMain>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    stops = 0;
    connect(sbt::parts(form).actStop, &QAction::triggered, form.get(), [this] { ++stops; });
}

void TestTrackList::cleanup() {
    form.reset();
}

void TestTrackList::writeTrack(const QString& path) {
    QVERIFY2(sbtest::writeFile(path, toneBytes), qPrintable(path));
}

void TestTrackList::scan(const QString& folder) {
    form->ScanFolder(folder);
}

QPoint TestTrackList::rowCentre(int row) const {
    return sbt::parts(form).lbTracklist->visualRect(sbt::parts(form).trackModel->index(row)).center();
}

// --- the view's events ---

void TestTrackList::changeFiresOnlyWhenTheSelectedRowChanges() {
    QListView view;
    TPlayList model;
    for (int i = 0; i < 5; ++i)
        model.append(QString("MP3"), "/m/", QString("%1.mp3").arg(i), TPlayList::kindTrack);
    view.setModel(&model);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    auto* events = new TTrackListEvents(&view);
    view.resize(300, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy changed(events, &TTrackListEvents::changed);

    trackListSelectRow(&view, 2); // by the program
    QCOMPARE(changed.count(), 1);
    QCOMPARE(trackListSelectedRow(&view), 2);
    trackListSelectRow(&view, 2); // the same row again
    QCOMPARE(changed.count(), 1);

    QTest::keyClick(view.viewport(), Qt::Key_Down); // the arrow keys
    QCOMPARE(changed.count(), 2);
    QCOMPARE(events->selectedRow(), 3);

    const QPoint first = view.visualRect(model.index(0)).center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, first); // a click
    QCOMPARE(changed.count(), 3);
    QCOMPARE(events->selectedRow(), 0);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, first); // the selected entry again
    QCOMPARE(changed.count(), 3);

    // Refilling the list drops the selection without an event, and the next selection of the same row
    // number is a change again.
    model.beginUpdate();
    model.clear();
    model.append(QString("MP3"), "/n/", "x.mp3", TPlayList::kindTrack);
    model.endUpdate();
    QCOMPARE(changed.count(), 3);
    QCOMPARE(trackListSelectedRow(&view), -1);
    trackListSelectRow(&view, 0);
    QCOMPARE(changed.count(), 4);

    model.clear(); // outside a bracket too
    QCOMPARE(changed.count(), 4);
    QCOMPARE(events->selectedRow(), -1);

    model.append(QString("MP3"), "/n/", "y.mp3", TPlayList::kindTrack);
    trackListSelectRow(&view, 0);
    QCOMPARE(changed.count(), 5);
    trackListSelectRow(&view, -1); // the program clearing the selection is a change
    QCOMPARE(changed.count(), 6);
    QCOMPARE(events->selectedRow(), -1);
}

void TestTrackList::doubleClickIsReportedOnEntriesAndEmptySpace() {
    QListView view;
    TPlayList model;
    model.append(QString("[A]"), "/m/", QString(), TPlayList::kindFolder, "A");
    view.setModel(&model);
    view.setItemDelegate(new TTrackListDelegate(&view));
    auto* events = new TTrackListEvents(&view);
    view.resize(300, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy changed(events, &TTrackListEvents::changed);
    QSignalSpy dbl(events, &TTrackListEvents::doubleClicked);

    doubleClick(view.viewport(), view.visualRect(model.index(0)).center());
    QCOMPARE(dbl.count(), 1);
    QCOMPARE(changed.count(), 1); // its first click selected the entry
    doubleClick(view.viewport(), QPoint(150, 350));
    QCOMPARE(dbl.count(), 2);
    doubleClick(view.viewport(), QPoint(150, 350), Qt::RightButton);
    QCOMPARE(dbl.count(), 2);
}

void TestTrackList::rowsAreSeventyPixelsHigh() {
    const QString dir = sbtest::makeTempDir("rows");
    QVERIFY(QDir(dir).mkdir("Sub"));
    writeTrack(dir + "/t.mp3");
    scan(dir);
    QCOMPARE(sbt::parts(form).trackModel->count(), 3);
    for (int row = 0; row < 3; ++row)
        QCOMPARE(sbt::parts(form).lbTracklist->visualRect(sbt::parts(form).trackModel->index(row)).height(),
                 70);
    // Drawing every kind of entry, selected and not, with the pictures the window gives.
    const auto* delegate = qobject_cast<TTrackListDelegate*>(sbt::parts(form).lbTracklist->itemDelegate());
    QVERIFY(delegate);
    QVERIFY(!delegate->icon(TPlayList::kindTrack).isNull());
    QVERIFY(!delegate->icon(TPlayList::kindFolder).isNull());
    QVERIFY(!sbt::parts(form).lbTracklist->grab().isNull());

    // Rows span the view; a list long enough for a vertical scroll bar gets no horizontal one.
    const QString longer = sbtest::makeTempDir("longer");
    for (int i = 0; i < 30; ++i)
        QVERIFY(sbtest::writeFile(longer + QString("/%1.mp3").arg(i), QByteArray()));
    scan(longer);
    QApplication::processEvents();
    QVERIFY(sbt::parts(form).lbTracklist->verticalScrollBar()->isVisible());
    QVERIFY(!sbt::parts(form).lbTracklist->horizontalScrollBar()->isVisible());
    QCOMPARE(sbt::parts(form).lbTracklist->visualRect(sbt::parts(form).trackModel->index(0)).width(),
             sbt::parts(form).lbTracklist->viewport()->width());
}

// --- scanning ---

void TestTrackList::scanListsParentFoldersAndTracksInNameOrder_data() {
    QTest::addColumn<bool>("oddEntries");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("tracks");
    QTest::newRow("Rock, Jazz, b.mp3, a.MP3, Track 10, Track 2, c.txt")
        << false << QStringList{"Jazz", "Rock"}
        << QStringList{"a.MP3", "b.mp3", "Track 2.mp3", "Track 10.mp3"};
    QTest::newRow("hidden, nested, folder named .mp3")
        << true << QStringList{".hidden", "Jazz", "not-a-track.mp3", "Rock"}
        << QStringList{".c.mp3", "a.MP3", "b.mp3", "Track 2.mp3", "Track 10.mp3"};
}

void TestTrackList::scanListsParentFoldersAndTracksInNameOrder() {
    QFETCH(bool, oddEntries);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, tracks);
    const QString music = sbtest::makeTempDir("Music") + "/";
    QDir dir(music);
    QVERIFY(dir.mkdir("Rock") && dir.mkdir("Jazz"));
    for (const char* name : {"b.mp3", "a.MP3", "Track 10.mp3", "Track 2.mp3"})
        writeTrack(music + name);
    QVERIFY(sbtest::writeFile(music + "c.txt", "text"));
    if (oddEntries) {
        QVERIFY(dir.mkdir(".hidden"));
        writeTrack(music + ".c.mp3");
        QVERIFY(dir.mkdir("not-a-track.mp3"));                          // a folder, however it is named
        QVERIFY(sbtest::writeFile(music + "Rock/deep.mp3", toneBytes)); // never recursive
    }

    const qsizetype logStart = logLines().size();
    scan(music.chopped(1)); // without the delimiter

    QCOMPARE(sbt::parts(form).currentFolder, music);
    QCOMPARE(sbt::parts(form).lblFolder->text(), music);
    const int trackCount = int(tracks.size());

    TPlayList* m = sbt::parts(form).trackModel;
    QCOMPARE(m->count(), 1 + folders.size() + tracks.size());
    QCOMPARE(m->entry(0).title, "[..]" + blanks);
    QCOMPARE(m->entry(0).subtitle, QDir::cleanPath(music + "..") + "/");
    QCOMPARE(m->entry(0).description, QString());
    QCOMPARE(int(m->entry(0).kind), 1);
    for (int i = 0; i < folders.size(); ++i) {
        const TTrackEntry& e = m->entry(1 + i);
        QCOMPARE(e.title, "[" + folders[i] + "]" + blanks);
        QCOMPARE(e.subtitle, music);
        QCOMPARE(e.description, QString());
        QCOMPARE(int(e.kind), 1);
    }
    for (int i = 0; i < tracks.size(); ++i) {
        const TTrackEntry& e = m->entry(1 + folders.size() + i);
        QCOMPARE(e.title, "MP3" + blanks);
        QCOMPARE(e.subtitle, music);
        QCOMPARE(e.description, tracks[i]);
        QCOMPARE(int(e.kind), 0);
    }

    const QStringList log = logSince(logStart);
    QVERIFY(log.contains("ScanFolder: " + music.chopped(1)));
    QVERIFY(log.contains(QString("> Found: %1 files(s)").arg(trackCount)));
    // The first track entry is selected, and the selection started it: after the scan's own stop, the
    // change handler and the start of the track stopped the player once each.
    QCOMPARE(trackListSelectedRow(sbt::parts(form).lbTracklist), 1 + folders.size());
    QCOMPARE(sbt::parts(form).currentFile, tracks[0]);
    QCOMPARE(stopCount(), 3);
    for (QAction* a : {sbt::parts(form).actPlay, sbt::parts(form).actStop, sbt::parts(form).actNext,
                       sbt::parts(form).actCommand1, sbt::parts(form).actDelFromLib})
        QVERIFY(a->isEnabled());
}

void TestTrackList::missingFolderKeepsTheListAndDisablesThePlayerActions() {
    const QString music = sbtest::makeTempDir("Kept") + "/";
    writeTrack(music + "one.mp3");
    scan(music);
    const int rows = sbt::parts(form).trackModel->count();
    const QString file = sbt::parts(form).currentFile;
    QCOMPARE(file, QString("one.mp3"));

    const QString missing = music + "gone";
    const qsizetype logStart = logLines().size();
    scan(missing);
    QCOMPARE(sbt::parts(form).trackModel->count(), rows);
    QCOMPARE(sbt::parts(form).trackModel->entry(rows - 1).description, QString("one.mp3"));
    QCOMPARE(sbt::parts(form).currentFile, file);
    QCOMPARE(sbt::parts(form).currentFolder, missing + "/");
    QCOMPARE(sbt::parts(form).lblFolder->text(), missing + "/");
    QCOMPARE(sbt::parts(form).lbl_fm_1->text(), QString("No music files   "));
    QCOMPARE(sbt::parts(form).lbl_fm_2->text(), missing + "/");
    for (QAction* a :
         {sbt::parts(form).actCommand1, sbt::parts(form).actCommand2, sbt::parts(form).actForward,
          sbt::parts(form).actNext, sbt::parts(form).actPause, sbt::parts(form).actPlay,
          sbt::parts(form).actPlayPause, sbt::parts(form).actPrev, sbt::parts(form).actRewind,
          sbt::parts(form).actStop, sbt::parts(form).actCreateNewLib, sbt::parts(form).actDelFromLib})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    for (QAction* a : {sbt::parts(form).actopenFolder, sbt::parts(form).actOptions, sbt::parts(form).actHelp,
                       sbt::parts(form).actAbout, sbt::parts(form).actLog})
        QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
    const QStringList log = logSince(logStart);
    QVERIFY(log.contains("ScanFolder: " + missing));
    QVERIFY(log.filter("> Found").isEmpty());

    // The next good scan enables them again; its opening stop was a disabled action and did nothing.
    stops = 0;
    scan(music);
    QVERIFY(sbt::parts(form).actStop->isEnabled());
    QCOMPARE(stopCount(), 2); // only the change handler's stop and the track start's
}

void TestTrackList::rootHasNoParentEntry() {
    scan("/");
    QCOMPARE(sbt::parts(form).currentFolder, QString("/"));
    const TPlayList* m = sbt::parts(form).trackModel;
    QVERIFY(m->count() > 0);
    for (int row = 0; row < m->count(); ++row)
        QVERIFY(m->entry(row).title != "[..]" + blanks);
    QCOMPARE(m->entry(0).subtitle, QString("/"));

    // One level down, the parent entry leads back to the root.
    scan("/usr");
    QCOMPARE(m->entry(0).title, "[..]" + blanks);
    QCOMPARE(m->entry(0).subtitle, QString("/"));
}

void TestTrackList::folderWithoutTracksSelectsNothing() {
    const QString dir = sbtest::makeTempDir("NoTracks") + "/";
    QVERIFY(QDir(dir).mkdir("Only"));
    sbt::parts(form).currentFile = "old.mp3";
    scan(dir);
    QCOMPARE(sbt::parts(form).trackModel->count(), 2);
    QCOMPARE(trackListSelectedRow(sbt::parts(form).lbTracklist), -1);
    QCOMPARE(sbt::parts(form).currentFile, QString());
    QCOMPARE(sbt::parts(form).lbl_fm_1->text(), QString("Folder:   "));
    QCOMPARE(sbt::parts(form).lbl_fm_2->text(), dir);
    QVERIFY(sbt::parts(form).actPlay->isEnabled());
    QCOMPARE(stopCount(), 1);
}

// --- double click ---

void TestTrackList::doubleClickOpensSubFolderAndParent_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("plain") << "Rock"
                           << "[Rock]";
    QTest::newRow("in brackets") << "[Live]"
                                 << "[Live]";
    QTest::newRow("leading blank") << " Demo"
                                   << "[Demo]";
    QTest::newRow("trailing blank") << "Demo "
                                    << "[Demo]";
    QTest::newRow("opening mark only") << "[Live"
                                       << "[Live";
    QTest::newRow("dots") << "..."
                          << "[...]";
}

void TestTrackList::doubleClickOpensSubFolderAndParent() {
    QFETCH(QString, name);
    QFETCH(QString, title);
    const QString music = sbtest::makeTempDir("Music") + "/";
    QVERIFY(QDir(music).mkdir(name));
    writeTrack(music + name + "/inner.mp3");
    scan(music);
    QCOMPARE(sbt::parts(form).trackModel->count(), 2);
    QCOMPARE(sbt::parts(form).trackModel->entry(1).title, title + blanks);

    doubleClick(sbt::parts(form).lbTracklist->viewport(), rowCentre(1));
    QCOMPARE(sbt::parts(form).currentFolder, music + name + "/");
    QVERIFY(sbt::parts(form).actPlay->isEnabled()); // found, not the empty-folder state
    QCOMPARE(sbt::parts(form).trackModel->count(), 2);
    QCOMPARE(sbt::parts(form).trackModel->entry(1).description, QString("inner.mp3"));
    QCOMPARE(sbt::parts(form).currentFile, QString("inner.mp3"));

    doubleClick(sbt::parts(form).lbTracklist->viewport(), rowCentre(0));
    QCOMPARE(sbt::parts(form).currentFolder, music);
    QCOMPARE(sbt::parts(form).trackModel->entry(1).title, title + blanks);
}

void TestTrackList::doubleClickOnTrackPlaysItFromItsStart() {
    const QString music = sbtest::makeTempDir("Music") + "/";
    writeTrack(music + "x.mp3");
    writeTrack(music + "y.mp3");
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    form->session().options().autoOffset = true;
    scan(music);
    const QString folder = sbt::parts(form).currentFolder;
    QCOMPARE(trackListSelectedRow(sbt::parts(form).lbTracklist), 1);
    const auto seconds = [this] {
        return form->session().player()->PositionToSeconds(form->session().player()->Position());
    };

    // On another track: it plays, ten seconds in as for any Play.
    doubleClick(sbt::parts(form).lbTracklist->viewport(), rowCentre(2));
    QCOMPARE(trackListSelectedRow(sbt::parts(form).lbTracklist), 2);
    QCOMPARE(form->session().player()->TrackFilename(), music + "y.mp3");
    QVERIFY(form->session().player()->isPlaying());
    QCOMPARE(seconds(), 10);

    // On the track that plays, further on: from its start again.
    sbt::parts(form).actForward->trigger();
    QVERIFY(seconds() >= 20);
    doubleClick(sbt::parts(form).lbTracklist->viewport(), rowCentre(2));
    QVERIFY(form->session().player()->isPlaying());
    QCOMPARE(seconds(), 10);
    QCOMPARE(sbt::parts(form).currentFolder, folder);

    // On empty space, with nothing selected: a stop, nothing else.
    trackListSelectRow(sbt::parts(form).lbTracklist, -1);
    stops = 0;
    form->lbTracklistDblClick();
    QCOMPARE(stopCount(), 1);
    QVERIFY(!form->session().player()->isPlaying());
    QCOMPARE(sbt::parts(form).currentFolder, folder);
}

void TestTrackList::scanLogsTheFolderAsPassed() {
    const QString music = sbtest::makeTempDir("Passed");
    writeTrack(music + "/one.mp3");
    // The start of a session passes currentFolder itself, which the scan rewrites with the delimiter.
    sbt::parts(form).currentFolder = music;
    const qsizetype logStart = logLines().size();
    form->ScanFolder(sbt::parts(form).currentFolder);
    QCOMPARE(logSince(logStart).filter("ScanFolder:"), QStringList{"ScanFolder: " + music});
    QCOMPARE(sbt::parts(form).currentFolder, music + "/");
}

void TestTrackList::namesShowOnOneLine() {
    const QString music = sbtest::makeTempDir("Lines") + "/";
    const QString broken = "Side A\nSide B.mp3";
    const QString latin1 = pathFromBytes("Caf\xe9.mp3");
    writeTrack(music + broken);
    // A Latin-1 name, written by its bytes.
    FILE* raw = std::fopen(pathBytes(music + latin1).constData(), "wb");
    QVERIFY(raw &&
            std::fwrite(toneBytes.constData(), 1, size_t(toneBytes.size()), raw) == size_t(toneBytes.size()));
    QVERIFY(std::fclose(raw) == 0);
    QVERIFY(QDir(music).mkdir("Two\nlines"));
    scan(music);
    const TPlayList* m = sbt::parts(form).trackModel;
    QCOMPARE(m->count(), 4);
    QCOMPARE(m->entry(1).title, "[Two\uFFFDlines]" + blanks);
    QCOMPARE(m->entry(2).description, latin1); // the bytes, kept for the open
    QCOMPARE(m->entry(3).description, broken);

    // The list's tooltip and drawing show one line: the entry draws exactly as its shown form does.
    QCOMPARE(m->data(m->index(3), Qt::ToolTipRole).toString(), music + "Side A\uFFFDSide B.mp3");
    const auto drawn = [this](const QString& description) {
        TPlayList one;
        one.append("MP3", "/m/", description, TPlayList::kindTrack);
        QStyleOptionViewItem option;
        option.initFrom(sbt::parts(form).lbTracklist);
        option.rect = QRect(0, 0, 400, TTrackListDelegate::rowHeight);
        QImage image(option.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        TTrackListDelegate().paint(&painter, option, one.index(0));
        return image;
    };
    QCOMPARE(drawn(broken), drawn("Side A\uFFFDSide B.mp3"));
    QVERIFY(drawn(broken) != drawn("Side A Side B.mp3"));

    // The player panel, for the track that plays.
    trackListSelectRow(sbt::parts(form).lbTracklist, 3);
    QCOMPARE(sbt::parts(form).lblCurrentFile->text(), QString("Side A\uFFFDSide B.mp3"));
    QCOMPARE(sbt::parts(form).lbl_fm_1->text(), QString("Side A\uFFFDSide B.mp3   "));
    trackListSelectRow(sbt::parts(form).lbTracklist, 2);
    QCOMPARE(form->session().player()->TrackFilename(), music + latin1);
    QCOMPARE(sbt::parts(form).lblCurrentFile->text(), QString("Caf\uFFFD.mp3"));
}

void TestTrackList::selectionChangeStartsTracksOnly() {
    const QString music = sbtest::makeTempDir("Music") + "/";
    QVERIFY(QDir(music).mkdir("Sub"));
    writeTrack(music + "x.mp3");
    writeTrack(music + "y.mp3");
    scan(music);
    const TPlayList* m = sbt::parts(form).trackModel;
    const int first = trackListSelectedRow(sbt::parts(form).lbTracklist);
    QCOMPARE(first, 2);
    const int second = 3;

    stops = 0;
    QTest::mouseClick(sbt::parts(form).lbTracklist->viewport(), Qt::LeftButton, {}, rowCentre(first));
    QCOMPARE(stopCount(), 0); // the selected entry again: no restart

    // Each start stops twice: the change handler, then the start of the track itself.
    QTest::mouseClick(sbt::parts(form).lbTracklist->viewport(), Qt::LeftButton, {}, rowCentre(second));
    QCOMPARE(stopCount(), 2);
    QCOMPARE(sbt::parts(form).currentFile, m->entry(second).description);

    QTest::keyClick(sbt::parts(form).lbTracklist, Qt::Key_Up);
    QCOMPARE(stopCount(), 4);
    QCOMPARE(sbt::parts(form).currentFile, m->entry(first).description);

    // A folder entry selected by a click opens nothing and stops nothing.
    QTest::mouseClick(sbt::parts(form).lbTracklist->viewport(), Qt::LeftButton, {}, rowCentre(1));
    QCOMPARE(trackListSelectedRow(sbt::parts(form).lbTracklist), 1);
    QCOMPARE(stopCount(), 4);
    QCOMPARE(sbt::parts(form).currentFolder, music);
}

// --- counter and look-up ---

void TestTrackList::progressCounter_data() {
    QTest::addColumn<int>("folders");
    QTest::addColumn<int>("tracks");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::newRow("4 of 13") << 3 << 10 << 3 << "4 / 13 (31%)";
    QTest::newRow("4 of 8") << 0 << 8 << 3 << "4 / 8 (50%)";
    QTest::newRow("half rounds to even") << 0 << 8 << 0 << "1 / 8 (12%)";
    QTest::newRow("last") << 1 << 7 << 7 << "8 / 8 (100%)";
    QTest::newRow("empty list") << 0 << 0 << 0 << "0 / 0 (0%)";
}

void TestTrackList::progressCounter() {
    QFETCH(int, folders);
    QFETCH(int, tracks);
    QFETCH(int, index);
    QFETCH(QString, text);
    sbt::parts(form).trackModel->clear();
    for (int i = 0; i < folders; ++i)
        form->addTrackItem(QString("[F%1]").arg(i), "/m/", QString(), true, QString("F%1").arg(i));
    for (int i = 0; i < tracks; ++i)
        form->addTrackItem("MP3", "/m/", QString("%1.mp3").arg(i), false);
    form->updateProgress(index);
    QCOMPARE(sbt::parts(form).lblProgress->text(), text);
    const int count = folders + tracks;
    if (count > 0) {
        QCOMPARE(sbt::parts(form).ProgressBar1->maximum(), count);
        QCOMPARE(sbt::parts(form).ProgressBar1->value(), index + 1);
    } else {
        QCOMPARE(sbt::parts(form).ProgressBar1->value(),
                 sbt::parts(form).ProgressBar1->minimum()); // empty, not busy
        QVERIFY(sbt::parts(form).ProgressBar1->maximum() > sbt::parts(form).ProgressBar1->minimum());
    }
}

void TestTrackList::trackIndexByName_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("index");
    QTest::newRow("full path") << "/elsewhere/b.mp3" << 3;
    QTest::newRow("bare name") << "a.MP3" << 2;
    QTest::newRow("case differs") << "A.mp3" << -1;
    QTest::newRow("unknown") << "z.mp3" << -1;
    QTest::newRow("folder path") << "/m/" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestTrackList::trackIndexByName() {
    QFETCH(QString, file);
    QFETCH(int, index);
    sbt::parts(form).trackModel->clear();
    form->addTrackItem("[..]", "/", QString(), true, "..");
    form->addTrackItem("[Sub]", "/m/", QString(), true, "Sub");
    form->addTrackItem("MP3", "/m/", "a.MP3", false);
    form->addTrackItem("MP3", "/m/", "b.mp3", false);
    form->addTrackItem("MP3", "/m/", "b.mp3", false);
    const qsizetype logStart = logLines().size();
    QCOMPARE(form->getTrackIndexByName(file), index);
    const QString name = file.mid(file.lastIndexOf('/') + 1);
    QCOMPARE(logSince(logStart).last(),
             QString("getTrackIndexByName:  Index: %1 file: %2").arg(index).arg(name));
}

// --- the file dialog ---

void TestTrackList::openFolderDialogScansTheChosenFilesFolder() {
    const QString chosenDir = sbtest::makeTempDir("Chosen") + "/";
    writeTrack(chosenDir + "first.mp3");
    writeTrack(chosenDir + "second.mp3");
    const QString chosen = chosenDir + "second.mp3";
    sbt::parts(form).actopenFolder->setText("Pick a track");

    QString title;
    QStringList filters;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    sbt::parts(form).actopenFolder->trigger();
    QCOMPARE(title, QString("Pick a track"));
    QCOMPARE(filters, QStringList{"*.mp3 *.flac *.ogg *.oga *.opus *.m4a *.wav"});
    QCOMPARE(sbt::parts(form).currentFolder, chosenDir);
    // The folder's first track starts, not the chosen file.
    QCOMPARE(sbt::parts(form).currentFile, QString("first.mp3"));
}

void TestTrackList::openFolderDialogCancelledChangesNothing() {
    const QString music = sbtest::makeTempDir("Stay") + "/";
    writeTrack(music + "one.mp3");
    scan(music);
    const qsizetype logStart = logLines().size();
    QTimer::singleShot(0, this, [] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    sbt::parts(form).actopenFolder->trigger();
    QCOMPARE(sbt::parts(form).currentFolder, music);
    QVERIFY(logSince(logStart).filter("ScanFolder").isEmpty());
}

void TestTrackList::scanListsEverySupportedFormatByItsExtension() {
    // The title is the extension in capitals; the content does not matter for the list.
    const QString music = sbtest::makeTempDir("Formats") + "/";
    const QMap<QString, QString> listed = {{"a.flac", "FLAC"}, {"b.OGG", "OGG"}, {"c.oga", "OGA"},
                                           {"d.opus", "OPUS"}, {"e.M4a", "M4A"}, {"f.wav", "WAV"},
                                           {"g.mp3", "MP3"}};
    for (auto it = listed.cbegin(); it != listed.cend(); ++it)
        QVERIFY(sbtest::writeFile(music + it.key(), "x"));
    for (const char* other : {"h.aac", "i.wma", "j.flac.part", "flac"})
        QVERIFY(sbtest::writeFile(music + other, "x"));
    scan(music);
    QMap<QString, QString> shown;
    for (int row = 0; row < sbt::parts(form).trackModel->count(); ++row) {
        const TTrackEntry& e = sbt::parts(form).trackModel->entry(row);
        if (e.kind == TPlayList::kindTrack)
            shown.insert(e.description, e.title);
    }
    QMap<QString, QString> expected;
    for (auto it = listed.cbegin(); it != listed.cend(); ++it)
        expected.insert(it.key(), it.value() + blanks);
    QCOMPARE(shown, expected);
}

// --- size ---

void TestTrackList::largeFolderHasNoWidgetPerEntry() {
    const QString big = sbtest::makeTempDir("Big") + "/";
    QDir dir(big);
    for (int i = 0; i < 500; ++i)
        QVERIFY(dir.mkdir(QString("folder %1").arg(i)));
    for (int i = 0; i < 10000; ++i)
        QVERIFY(sbtest::writeFile(big + QString("track %1.mp3").arg(i, 5, 10, QChar('0')), QByteArray()));
    const int widgetsBefore = sbt::parts(form).lbTracklist->findChildren<QWidget*>().size();
    scan(big);
    QCOMPARE(sbt::parts(form).trackModel->count(), 1 + 500 + 10000);
    QCOMPARE(trackListSelectedRow(sbt::parts(form).lbTracklist), 501);
    sbt::parts(form).lbTracklist->scrollToBottom();
    QVERIFY(!sbt::parts(form).lbTracklist->grab().isNull());
    QCOMPARE(sbt::parts(form).lbTracklist->findChildren<QWidget*>().size(), widgetsBefore);
}

QTEST_MAIN(TestTrackList)
#include "tst_tracklist.moc"
