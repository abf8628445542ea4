// Sorting a folder over several sittings: taking back a Like (Ctrl+Z and the buttons' popup), and going on
// at the track the user stopped at.
#include "TrackList.h"
#include "diagnosticLog.h"
#include "dorBass.h"
#include "dorLanguage.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "formMainAccess.h"
#include "form_message.h"
#include "form_options.h"
#include "main.h"
#include "safeCopy.h"
#include "sbtest.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <functional>
#include <memory>

namespace {

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QString iniPath() {
    return getAppDataFolder(QStringLiteral("Sonabin Free"), true) + QStringLiteral("tst_sorting.ini");
}

// The tracks started since `from`, by file name, in order.
QStringList startedSince(qsizetype from) {
    QStringList started;
    const QStringList lines = logLines().mid(from);
    for (const QString& line : lines)
        if (line.startsWith(QStringLiteral("playTrack (start): ")))
            started << QFileInfo(line.mid(line.indexOf(':') + 2)).fileName();
    return started;
}

// Runs `answer` on the next modal dialog as soon as it is open (the caller then starts the dialog).
void answerNextDialog(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(dialog);
        }
    });
    poll->start();
}

// How many pixels of `rect` in `image` have about the colour `color`.
int pixelsOf(const QImage& image, const QRect& rect, const QColor& color) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += qAbs(c.red() - color.red()) < 12 && qAbs(c.green() - color.green()) < 12 &&
                 qAbs(c.blue() - color.blue()) < 12;
        }
    return n;
}

} // namespace

class TestSorting : public QObject {
    Q_OBJECT

    std::unique_ptr<TFormMain> w;
    QString music;      // four long tracks, made once
    QString base;       // the collections' base folder, ending in '/'
    QStringList tracks; // the track names in list order
    QStringList errors;

    QString lib(const QString& name) const { return base + name + QLatin1Char('/'); }

    // Starts the program the way a user does, with the settings file naming the music and base folders.
    void start(const QByteArray& extra = QByteArray()) {
        w.reset();
        QVERIFY(sbtest::writeFile(iniPath(), "[common]\r\ncounter=1\r\nfolder_curr=" + music.toUtf8() +
                                                 "\r\nfolder_lib=" + base.toUtf8() + "\r\n" + extra));
        startAgain();
    }
    void startAgain() {
        w = std::make_unique<TFormMain>();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        tracks.clear();
        for (int row = 0; row < sbt::parts(w).trackModel->count(); ++row)
            if (sbt::parts(w).trackModel->entry(row).kind == TPlayList::kindTrack)
                tracks << sbt::parts(w).trackModel->entry(row).description;
    }

    int rowOf(const QString& name) const { return w->getTrackIndexByName(name); }
    void playTrackNamed(const QString& name) {
        trackListSelectRow(sbt::parts(w).lbTracklist, rowOf(name));
        QCOMPARE(sbt::parts(w).currentFile, name);
    }
    QString noticeText() const {
        return sbt::parts(w).messWindow && sbt::parts(w).messWindow->isVisible()
                   ? sbt::parts(w).messWindow->lblMessage->text()
                   : QString();
    }
    QColor noticeColor() const { return sbt::parts(w).messWindow->noticeColor(); }
    void checkPlaysFromStart(const QString& name) {
        QCOMPARE(sbt::parts(w).currentFile, name);
        QCOMPARE(trackListSelectedRow(sbt::parts(w).lbTracklist), rowOf(name));
        QCOMPARE(QFileInfo(w->session().player()->TrackFilename()).fileName(), name);
        QVERIFY(w->session().player()->isPlaying());
        QVERIFY(w->session().player()->Position() < w->session().player()->SecondsToPosition(2));
    }
    void pressUndo() { QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier); }

private slots:
    void initTestCase() {
        music = sbtest::makeTempDir(QStringLiteral("music")) + QLatin1Char('/');
        for (int i = 1; i <= 4; ++i) {
            sbtest::ToneSpec spec;
            spec.seconds = 30;
            spec.frequency = 220.0 * i;
            QVERIFY(sbtest::writeToneMp3(music + QStringLiteral("track %1.mp3").arg(i), spec));
        }
    }
    void init() {
        errors.clear();
        TFormMainTestAccess::errorReportHook() = [this](const QString& text) { errors << text; };
        base = sbtest::makeTempDir(QStringLiteral("collections")) + QLatin1Char('/');
        start();
        QCOMPARE(tracks.size(), 4);
        QCOMPARE(sbt::parts(w).currentFile, tracks[0]);
    }
    void cleanup() {
        w.reset();
        waitForCopiesOnDisk();
        TFormMainTestAccess::errorReportHook() = {};
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
    }

    // --- taking a Like back ---

    // Two Likes taken back two deep: the newest first; each recounts, tells, and plays that track again.
    void takesBackTwoDeep() {
        QVERIFY(!sbt::parts(w).actUndoLike->isEnabled());
        QTest::keyClick(w.get(), Qt::Key_F1); // tracks[0] into Favorites; tracks[1] plays
        QTest::keyClick(w.get(), Qt::Key_F2); // tracks[1] into Archive; tracks[2] plays
        QCOMPARE(sbt::parts(w).currentFile, tracks[2]);
        QCOMPARE(entries(lib("Favorites")), QStringList{tracks[0]});
        QCOMPARE(entries(lib("Archive")), QStringList{tracks[1]});
        QVERIFY(sbt::parts(w).actUndoLike->isEnabled());

        pressUndo();
        QCOMPARE(entries(lib("Archive")), QStringList());
        QCOMPARE(entries(lib("Favorites")), QStringList{tracks[0]});
        QCOMPARE(sbt::parts(w).lbl_2_Count->text(), QStringLiteral("[0]"));
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[1]"));
        QCOMPARE(noticeText(), QStringLiteral("Like taken back: ") + tracks[1]);
        QCOMPARE(noticeColor(), TFormMessage::clrI);
        checkPlaysFromStart(tracks[1]);

        pressUndo();
        QCOMPARE(entries(lib("Favorites")), QStringList());
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[0]"));
        QCOMPARE(noticeText(), QStringLiteral("Like taken back: ") + tracks[0]);
        checkPlaysFromStart(tracks[0]);
        QVERIFY(!sbt::parts(w).actUndoLike->isEnabled());

        // Nothing is left to take back: the key does nothing at all.
        const qsizetype before = logLines().size();
        pressUndo();
        QVERIFY(startedSince(before).isEmpty());
        QCOMPARE(entries(music).size(), 4); // the tracks themselves are never touched
    }

    // A Like taken back while its track plays on (no move to the next track) starts it again.
    void takeBackRestartsThePlayingTrack() {
        w->session().options().playNextAfterCopy = false;
        QTest::keyClick(w.get(), Qt::Key_F7);
        QTest::keyClick(w.get(), Qt::Key_F7);
        QVERIFY(w->session().player()->Position() >= w->session().player()->SecondsToPosition(20));
        QTest::keyClick(w.get(), Qt::Key_F1);
        const qsizetype before = logLines().size();
        pressUndo();
        QCOMPARE(startedSince(before), QStringList{tracks[0]});
        checkPlaysFromStart(tracks[0]);
        QVERIFY(entries(lib("Favorites")).isEmpty());
    }

    // A copy changed since the Like is not the copy the Like made: it stays, and the user is told why.
    void changedCopyIsLeftAlone() {
        QTest::keyClick(w.get(), Qt::Key_F1);
        const QString copy = lib("Favorites") + tracks[0];
        const QByteArray edited = sbtest::readFile(copy) + "TAG edited by a tagger";
        QVERIFY(sbtest::writeFile(copy, edited));
        const qsizetype before = logLines().size();

        pressUndo();

        QCOMPARE(sbtest::readFile(copy), edited);
        QVERIFY(noticeText().contains(tracks[0]));
        QVERIFY(noticeText().contains(QStringLiteral("left in place")));
        QCOMPARE(noticeColor(), TFormMessage::clrW);
        QVERIFY(startedSince(before).isEmpty()); // nothing was taken back, so nothing plays again
        QCOMPARE(sbt::parts(w).currentFile, tracks[1]);
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[1]"));
        QVERIFY(!sbt::parts(w).actUndoLike->isEnabled());
    }

    // A Like that found the file already there made no copy: the take-back skips it for the one before.
    void likeThatFoundTheFileIsNotTakenBack() {
        QTest::keyClick(w.get(), Qt::Key_F2); // tracks[0] into Archive
        QVERIFY(sbtest::writeFile(lib("Favorites") + tracks[1], "theirs"));
        QTest::keyClick(w.get(), Qt::Key_F1); // tracks[1] is there already: no copy
        QCOMPARE(w->session().likeHistory().size(), 1);

        pressUndo();
        QCOMPARE(sbtest::readFile(lib("Favorites") + tracks[1]), QByteArray("theirs"));
        QVERIFY(entries(lib("Archive")).isEmpty());
        QCOMPARE(noticeText(), QStringLiteral("Like taken back: ") + tracks[0]);
        QVERIFY(!sbt::parts(w).actUndoLike->isEnabled());
    }

    // A held Ctrl+Z sends one press and then auto-repeated ones: only one Like is taken back.
    void heldKeyTakesBackOne() {
        QTest::keyClick(w.get(), Qt::Key_F1);
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(entries(lib("Favorites")).size(), 2);
        QWindow* window = w->windowHandle();
        const QString z = QStringLiteral("\x1a");
        qt_handleKeyEvent(window, QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier, z, false);
        for (int i = 0; i < 8; ++i) {
            qt_handleKeyEvent(window, QEvent::KeyRelease, Qt::Key_Z, Qt::ControlModifier, z, true);
            qt_handleKeyEvent(window, QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier, z, true);
        }
        qt_handleKeyEvent(window, QEvent::KeyRelease, Qt::Key_Z, Qt::ControlModifier, z, false);
        QCOMPARE(entries(lib("Favorites")), QStringList{tracks[0]});
        QCOMPARE(w->session().likeHistory().size(), 1);
    }

    // A repeat that passes for a new press (a release and a press at one instant, as an X server repeats a
    // held key) does not reach the shortcut; a press a moment later does.
    void repeatWithoutItsFlagIsStopped_data() {
        QTest::addColumn<int>("after"); // ms after the release
        QTest::addColumn<bool>("stopped");
        QTest::newRow("same instant") << 0 << true;
        QTest::newRow("a hand's press") << 80 << false;
    }
    void repeatWithoutItsFlagIsStopped() {
        QFETCH(int, after);
        QFETCH(bool, stopped);
        QTest::keyClick(w.get(),
                        Qt::Key_F1); // something to take back: a disabled action's key is not watched
        QVERIFY(sbt::parts(w).actUndoLike->isEnabled());
        QWindow* window = w->windowHandle();
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Z, Qt::ControlModifier, QStringLiteral("\x1a"));
        release.setTimestamp(500000);
        QCoreApplication::sendEvent(window, &release);
        QKeyEvent press(QEvent::ShortcutOverride, Qt::Key_Z, Qt::ControlModifier, QStringLiteral("\x1a"));
        press.setTimestamp(500000 + after);
        press.ignore();
        QCoreApplication::sendEvent(window, &press);
        QCOMPARE(press.isAccepted(), stopped);
        // Only the keys of actions that must not repeat are watched.
        QKeyEvent f8(QEvent::KeyRelease, Qt::Key_F8, Qt::NoModifier);
        f8.setTimestamp(600000);
        QCoreApplication::sendEvent(window, &f8);
        QKeyEvent f8Again(QEvent::ShortcutOverride, Qt::Key_F8, Qt::NoModifier);
        f8Again.setTimestamp(600000);
        f8Again.ignore();
        QCoreApplication::sendEvent(window, &f8Again);
        QVERIFY(!f8Again.isAccepted());
    }

    // The buttons' popup offers the take-back, greyed while there is nothing to take back.
    void popupOffersTheTakeBack() {
        sbt::parts(w).PM_LIBSTag = 1;
        w->PM_LIBSPopup(sbt::parts(w).PM_LIBS);
        QVERIFY(sbt::parts(w).PM_LIBS->actions().contains(sbt::parts(w).actUndoLike));
        QVERIFY(!sbt::parts(w).actUndoLike->isEnabled());

        QTest::keyClick(w.get(), Qt::Key_F1);
        w->PM_LIBSPopup(sbt::parts(w).PM_LIBS);
        QVERIFY(sbt::parts(w).PM_LIBS->actions().contains(sbt::parts(w).actUndoLike));
        QVERIFY(sbt::parts(w).actUndoLike->isEnabled());
        sbt::parts(w).PM_LIBS->popup(sbt::parts(w).btnLib1->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(sbt::parts(w).PM_LIBS));
        sbt::parts(w).PM_LIBS->setActiveAction(sbt::parts(w).actUndoLike);
        QTest::keyClick(sbt::parts(w).PM_LIBS, Qt::Key_Return);
        QVERIFY(entries(lib("Favorites")).isEmpty());
        checkPlaysFromStart(tracks[0]);
    }

    // The track of a Like taken back after moving to another folder is not looked for there.
    void takeBackFromAnotherFolder() {
        QTest::keyClick(w.get(), Qt::Key_F1);
        const QString other = sbtest::makeTempDir(QStringLiteral("other")) + QLatin1Char('/');
        QVERIFY(QFile::copy(music + tracks[2], other + tracks[0])); // the same name, another folder
        QVERIFY(QFile::copy(music + tracks[2], other + QStringLiteral("zz.mp3")));
        w->ScanFolder(other);
        playTrackNamed(QStringLiteral("zz.mp3"));
        const qsizetype before = logLines().size();
        pressUndo();
        QVERIFY(entries(lib("Favorites")).isEmpty());
        QCOMPARE(noticeText(), QStringLiteral("Like taken back: ") + tracks[0]);
        QVERIFY(startedSince(before).isEmpty());
        QCOMPARE(sbt::parts(w).currentFile, QStringLiteral("zz.mp3"));
    }

    // The notice comes from the language.
    void takeBackNoticeIsTranslated() {
        const QString folder = sbtest::makeTempDir(QStringLiteral("lang"));
        QVERIFY(sbtest::writeFile(folder + QStringLiteral("/Test.lng"),
                                  "txt_like_taken_back=Zurückgenommen: %1\n"));
        sbt::parts(w).LanguageEngine->LoadFromFile(QStringLiteral("Test.lng"), folder);
        QTest::keyClick(w.get(), Qt::Key_F1);
        pressUndo();
        QCOMPARE(noticeText(), QStringLiteral("Zurückgenommen: ") + tracks[0]);
    }

    // --- the sorted marks ---

    int marksOf(const QString& name) const { return sbt::parts(w).trackModel->sortedMarks(rowOf(name)); }

    // Marks come from the listing at the scan, and follow a Like, a take-back and a rebinding.
    void marksFollowLikesTakeBacksAndBindings() {
        QVERIFY(sbtest::writeFile(lib("Archive") + tracks[3], "x"));
        QVERIFY(sbtest::writeFile(lib("Sport") + tracks[2], "x"));
        QCOMPARE(marksOf(tracks[3]), 0); // put there behind the program's back: not listed yet
        w->ScanFolder(music);
        QCOMPARE(marksOf(tracks[3]), int(TSortedIndex::inCollection2));
        QCOMPARE(marksOf(tracks[0]), 0);

        QSignalSpy repaint(sbt::parts(w).trackModel, &QAbstractItemModel::dataChanged);
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(marksOf(tracks[0]), int(TSortedIndex::inCollection1));
        QVERIFY(!repaint.isEmpty());
        QTest::keyClick(w.get(), Qt::Key_F2);
        QCOMPARE(marksOf(tracks[1]), int(TSortedIndex::inCollection2));

        pressUndo();
        QCOMPARE(marksOf(tracks[1]), 0);
        QCOMPARE(marksOf(tracks[0]), int(TSortedIndex::inCollection1));

        // A Like that finds the file there marks it too: it is in the collection.
        QVERIFY(sbtest::writeFile(lib("Favorites") + tracks[1], "theirs"));
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(marksOf(tracks[1]), int(TSortedIndex::inCollection1));

        // Rebinding a button lists its new collection; both buttons on one collection give both marks.
        for (int button : {1, 2}) {
            sbt::parts(w).PM_LIBSTag = button;
            w->PM_LIBSPopup(sbt::parts(w).PM_LIBS);
            QAction* sport = nullptr;
            for (QAction* a : sbt::parts(w).PM_LIBS->actions())
                if (a->text() == QStringLiteral("Sport"))
                    sport = a;
            QVERIFY(sport);
            sport->trigger();
        }
        QCOMPARE(marksOf(tracks[2]), int(TSortedIndex::inCollection1 | TSortedIndex::inCollection2));
        QCOMPARE(marksOf(tracks[0]), 0);
        QCOMPARE(marksOf(tracks[3]), 0);
        playTrackNamed(tracks[3]);
        QTest::keyClick(w.get(), Qt::Key_F1);
        QVERIFY(QFileInfo(lib("Sport") + tracks[3]).isFile());
        QCOMPARE(marksOf(tracks[3]), int(TSortedIndex::inCollection1 | TSortedIndex::inCollection2));

        // Folder entries carry no mark, whatever their name.
        QVERIFY(QDir(lib("Favorites")).mkdir(QStringLiteral("sub")));
        QVERIFY(QDir(music).mkdir(QStringLiteral("sub")));
        w->ScanFolder(music);
        QDir(music).rmdir(QStringLiteral("sub"));
        QCOMPARE(sbt::parts(w).trackModel->sortedMarks(rowOf(QStringLiteral("sub"))), 0);
    }

    // The delegate paints a dot in each collection's button colour, and none on unsorted entries.
    void marksArePaintedInTheButtonsColours() {
        QVERIFY(sbtest::writeFile(lib("Favorites") + tracks[1], "x"));
        QVERIFY(sbtest::writeFile(lib("Favorites") + tracks[2], "x"));
        QVERIFY(sbtest::writeFile(lib("Archive") + tracks[2], "x"));
        QVERIFY(sbtest::writeFile(lib("Archive") + tracks[3], "x"));
        w->ScanFolder(music);
        QCoreApplication::processEvents();
        const QImage image = sbt::parts(w).lbTracklist->viewport()->grab().toImage();
        // The right end of the entry, where the marks go.
        const auto rect = [&](const QString& name) {
            QRect r = sbt::parts(w).lbTracklist->visualRect(sbt::parts(w).trackModel->index(rowOf(name)));
            r.setLeft(r.right() - 60);
            return QRect(r.topLeft() * image.devicePixelRatio(), r.size() * image.devicePixelRatio());
        };
        const QColor one = TTrackListDelegate::mark1Color, two = TTrackListDelegate::mark2Color;
        QCOMPARE(pixelsOf(image, rect(tracks[0]), one) + pixelsOf(image, rect(tracks[0]), two), 0);
        QVERIFY(pixelsOf(image, rect(tracks[1]), one) > 20);
        QCOMPARE(pixelsOf(image, rect(tracks[1]), two), 0);
        QVERIFY(pixelsOf(image, rect(tracks[2]), one) > 20);
        QVERIFY(pixelsOf(image, rect(tracks[2]), two) > 20);
        QCOMPARE(pixelsOf(image, rect(tracks[3]), one), 0);
        QVERIFY(pixelsOf(image, rect(tracks[3]), two) > 20);
    }

    // --- skipping what is sorted ---

    // Off by default; the options dialog switches it, and it reaches the settings.
    void skipOptionInTheOptionsDialog() {
        QVERIFY(!w->session().options().skipSorted);
        answerNextDialog([](QWidget* dialog) {
            auto* d = qobject_cast<TFormOptions*>(dialog);
            QVERIFY(d);
            QVERIFY(!d->cbSkipSorted->isChecked());
            d->cbSkipSorted->setChecked(true);
            d->accept();
        });
        sbt::parts(w).actOptions->trigger();
        QVERIFY(w->session().options().skipSorted);
        QVERIFY(sbtest::readFile(iniPath()).contains("skip_sorted=1"));
        w.reset();
        startAgain();
        QVERIFY(w->session().options().skipSorted);
    }

    // In order, Next and the end of a track pass over sorted tracks; after the last unsorted one, playback
    // stops as after the last entry.
    void skipSortedInOrder_data() {
        QTest::addColumn<bool>("skip");
        QTest::addColumn<bool>("byEnd"); // the track plays to its end, else F8
        QTest::newRow("off, F8") << false << false;
        QTest::newRow("on, F8") << true << false;
        QTest::newRow("on, end of track") << true << true;
    }
    void skipSortedInOrder() {
        QFETCH(bool, skip);
        QFETCH(bool, byEnd);
        QVERIFY(sbtest::writeFile(lib("Favorites") + tracks[1], "x"));
        QVERIFY(sbtest::writeFile(lib("Archive") + tracks[2], "x"));
        w->ScanFolder(music);
        w->session().options().skipSorted = skip;
        QCOMPARE(sbt::parts(w).currentFile, tracks[0]);
        const auto next = [&] {
            if (!byEnd) {
                QTest::keyClick(w.get(), Qt::Key_F8);
                return;
            }
            const QString before = sbt::parts(w).currentFile;
            w->session().player()->setPosition(w->session().player()->PositionMax() - 1000);
            QTRY_VERIFY_WITH_TIMEOUT(
                sbt::parts(w).currentFile != before || !w->session().player()->timerActive(), 5000);
        };
        next();
        QCOMPARE(sbt::parts(w).currentFile, skip ? tracks[3] : tracks[1]);
        QVERIFY(w->session().player()->isPlaying());
        if (!skip)
            return;
        // Nothing unsorted after it: the end, as after the last entry.
        next();
        QCOMPARE(sbt::parts(w).currentFile, tracks[3]);
        QVERIFY(!w->session().player()->isPlaying());
    }

    // At random, the draw never lands on a sorted track, and still reaches every other one.
    void skipSortedAtRandom() {
        QVERIFY(sbtest::writeFile(lib("Favorites") + tracks[1], "x"));
        QVERIFY(sbtest::writeFile(lib("Archive") + tracks[2], "x"));
        w->ScanFolder(music);
        w->session().options().randomPlay = true;
        w->session().options().skipSorted = true;
        QSet<QString> landed;
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(w.get(), Qt::Key_F8);
            const int row = trackListSelectedRow(sbt::parts(w).lbTracklist);
            QVERIFY(!w->isSortedRow(row));
            if (sbt::parts(w).trackModel->entry(row).kind == TPlayList::kindTrack)
                landed << sbt::parts(w).trackModel->entry(row).description;
        }
        QCOMPARE(landed, (QSet<QString>{tracks[0], tracks[3]}));

        // The same draws without the option reach the sorted tracks as well.
        w->session().options().skipSorted = false;
        for (int i = 0; i < 80; ++i) {
            QTest::keyClick(w.get(), Qt::Key_F8);
            const int row = trackListSelectedRow(sbt::parts(w).lbTracklist);
            if (sbt::parts(w).trackModel->entry(row).kind == TPlayList::kindTrack)
                landed << sbt::parts(w).trackModel->entry(row).description;
        }
        QCOMPARE(landed.size(), 4);
    }

    // --- going on where the user stopped ---

    // The track that started last is remembered; it reaches the file with the next normal save, and the
    // next start plays it from its start, without starting the first track first.
    void restartGoesOnAtTheRememberedTrack() {
        playTrackNamed(tracks[2]);
        QCOMPARE(optionsBase->ReadString("common", "file_curr", QString()), tracks[2]);
        QVERIFY(!sbtest::readFile(iniPath()).contains(tracks[2].toUtf8()));
        w.reset();
        QVERIFY(sbtest::readFile(iniPath()).contains("file_curr=" + tracks[2].toUtf8()));

        const qsizetype before = logLines().size();
        startAgain();
        QCOMPARE(startedSince(before), QStringList{tracks[2]});
        checkPlaysFromStart(tracks[2]);
    }

    // A remembered track that is gone, or that belongs to no track entry, leaves the first track to play.
    void restartWithoutTheRememberedTrack_data() {
        QTest::addColumn<QByteArray>("remembered");
        QTest::newRow("removed meanwhile") << QByteArray("gone.mp3");
        QTest::newRow("a folder's name") << QByteArray("sub");
        QTest::newRow("a path") << QByteArray("../track 3.mp3/x");
        QTest::newRow("empty") << QByteArray();
    }
    void restartWithoutTheRememberedTrack() {
        QFETCH(QByteArray, remembered);
        QDir(music).mkdir(QStringLiteral("sub"));
        const qsizetype before = logLines().size();
        start("file_curr=" + remembered + "\r\n");
        QDir(music).rmdir(QStringLiteral("sub"));
        QCOMPARE(startedSince(before), QStringList{tracks[0]});
        checkPlaysFromStart(tracks[0]);
        QCOMPARE(optionsBase->ReadString("common", "file_curr", QString()), tracks[0]);
    }

    // A folder opened and left without a track started has no track to go on at.
    void folderWithoutTracksForgetsTheTrack() {
        playTrackNamed(tracks[3]);
        const QString empty = sbtest::makeTempDir(QStringLiteral("empty"));
        w->ScanFolder(empty);
        QCOMPARE(optionsBase->ReadString("common", "file_curr", QString()), QString());
    }
};

QTEST_MAIN(TestSorting)
#include "tst_sorting.moc"
