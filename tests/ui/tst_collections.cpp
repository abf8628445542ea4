// Collections: the base folder and its default collections, the Like action behind F1 / F2 and the two
// buttons, their counters, the popup that rebinds a button, the long press, and creating and deleting.
#include "TrackList.h"
#include "dorBass.h"
#include "dorLanguage.h"
#include "dorTools.h"
#include "formMainAccess.h"
#include "form_message.h"
#include "fsPath.h"
#include "main.h"
#include "safeCopy.h"
#include "sbtest.h"
#include "tmpfsMount.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList entries(const QString& folder, QDir::Filters filter = QDir::AllEntries) {
    return QDir(folder).entryList(filter | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray tone(double seconds, double frequency) {
    sbtest::ToneSpec spec;
    spec.seconds = seconds;
    spec.frequency = frequency;
    return sbtest::toneMp3(spec);
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

// Lets the language define `def_libs` the way a language file does.
void setDefaultLibraries(TFormMain& w, const QString& list) {
    const QString folder = sbtest::makeTempDir(QStringLiteral("lang"));
    QVERIFY(sbtest::writeFile(folder + QStringLiteral("/Test.lng"), "def_libs=" + list.toUtf8() + "\n"));
    sbt::parts(w).LanguageEngine->LoadFromFile(QStringLiteral("Test.lng"), folder);
    QCOMPARE(sbt::parts(w).LanguageEngine->getText(QStringLiteral("def_libs"), QString()), list);
}

QStringList menuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

QAction* menuEntry(const QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace

class TestCollections : public QObject {
    Q_OBJECT

    std::unique_ptr<TFormMain> w;
    QString base;      // the collections' base folder, ending in '/'
    QString music;     // three long tracks, made once, never changed
    QString track;     // the track that plays: the first of the list
    QString nextTrack; // the entry after it
    QStringList errors;
    std::unique_ptr<QSignalSpy> nextSpy;

    // Scans `folder` as choosing it does: its first track is selected and plays.
    void scan(const QString& folder) {
        w->ScanFolder(folder);
        track = sbt::parts(w).currentFile;
        const int row = w->getTrackIndexByName(track);
        nextTrack = row >= 0 && row + 1 < sbt::parts(w).trackModel->count()
                        ? sbt::parts(w).trackModel->entry(row + 1).description
                        : QString();
    }
    QString lib(const QString& name) const { return base + name + QLatin1Char('/'); }

    struct Notice {
        bool shown = false;
        QString title, message;
        QColor color;
    };
    Notice notice() const {
        if (!sbt::parts(w).messWindow || !sbt::parts(w).messWindow->isVisible())
            return {};
        return {true, sbt::parts(w).messWindow->lblTitle->text(),
                sbt::parts(w).messWindow->lblMessage->text(), sbt::parts(w).messWindow->noticeColor()};
    }

    // The Like moved the list to the next entry, and that track plays.
    void checkMovedOn() {
        QCOMPARE(nextSpy->count(), 1);
        QVERIFY(!nextTrack.isEmpty());
        QCOMPARE(sbt::parts(w).currentFile, nextTrack);
        QCOMPARE(QFileInfo(w->session().player()->TrackFilename()).fileName(), nextTrack);
        QVERIFY(w->session().player()->isPlaying());
    }
    void checkStayed(const QString& file) {
        QCOMPARE(nextSpy->count(), 0);
        QCOMPARE(sbt::parts(w).currentFile, file);
    }

private slots:
    void initTestCase() {
        music = sbtest::makeTempDir(QStringLiteral("music")) + QLatin1Char('/');
        const double tones[] = {440, 550, 660};
        for (int i = 0; i < 3; ++i)
            QVERIFY(
                sbtest::writeFile(music + QStringLiteral("track %1.mp3").arg(i + 1), tone(60.0, tones[i])));
    }

    void init() {
        errors.clear();
        TFormMainTestAccess::errorReportHook() = [this](const QString& text) { errors << text; };
        w = std::make_unique<TFormMain>();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        base = sbtest::makeTempDir(QStringLiteral("collections")) + QLatin1Char('/');
        w->collections().setBase(base);
        w->initFolders(false);
        scan(music);
        QVERIFY(!track.isEmpty());
        QVERIFY(w->session().player()->isPlaying());
        nextSpy = std::make_unique<QSignalSpy>(sbt::parts(w).actNext, &QAction::triggered);
        QVERIFY(errors.isEmpty());
    }
    void cleanup() {
        nextSpy.reset();
        w.reset();
        setCopySyncFailureForTests(0);
        TFormMainTestAccess::errorReportHook() = {};
    }

    // --- the base folder and the default collections ---

    void initFoldersCreatesAndBindsDefaults_data() {
        QTest::addColumn<QString>("defLibs"); // null: the built-in list
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("lib1");
        QTest::addColumn<QString>("lib2");
        QTest::newRow("built-in") << QString() << QStringList{"Archive", "Car", "Favorites", "Sport", "Temp"}
                                  << "Favorites"
                                  << "Archive";
        QTest::newRow("names kept as they are") << "Rock, Pop" << QStringList{" Pop", "Rock"} << "Rock"
                                                << " Pop";
        // Names that are no plain folder names are neither created nor bound; the built-in names fill in.
        QTest::newRow("paths and dots skipped")
            << "../Escape,Sub/Dir,,.,..,/abs,Jazz" << QStringList{"Favorites", "Jazz"} << "Jazz"
            << "Favorites";
        QTest::newRow("nothing usable") << ",.,.." << QStringList{"Archive", "Favorites"} << "Favorites"
                                        << "Archive";
        QTest::newRow("one name") << "Favorites" << QStringList{"Archive", "Favorites"} << "Favorites"
                                  << "Archive";
    }
    void initFoldersCreatesAndBindsDefaults() {
        QFETCH(QString, defLibs);
        QFETCH(QStringList, folders);
        QFETCH(QString, lib1);
        QFETCH(QString, lib2);
        const QString fresh = sbtest::makeTempDir(QStringLiteral("base"));
        if (!defLibs.isNull())
            setDefaultLibraries(*w, defLibs);
        const QStringList around = entries(fresh + QStringLiteral("/.."));
        w->collections().setBase(fresh + QStringLiteral("/lib")); // missing, and without a trailing delimiter

        w->initFolders(false);

        QCOMPARE(w->collections().base(), fresh + QStringLiteral("/lib/"));
        QCOMPARE(entries(w->collections().base()), folders);
        QCOMPARE(entries(fresh), QStringList{"lib"});
        QCOMPARE(entries(fresh + QStringLiteral("/..")), around);
        QCOMPARE(w->collections().name(1), lib1);
        QCOMPARE(w->collections().name(2), lib2);
        QCOMPARE(sbt::parts(w).lbl_1_collection->text(), lib1);
        QCOMPARE(sbt::parts(w).lbl_2_Collection->text(), lib2);
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[0]"));
        QCOMPARE(sbt::parts(w).lbl_2_Count->text(), QStringLiteral("[0]"));
    }

    // A first run, and an empty setting, both use ~/Sonabin: never the file-system root.
    void defaultBaseFolder_data() {
        QTest::addColumn<bool>("reset");
        QTest::addColumn<QString>("setting");
        QTest::newRow("first run") << true << QStringLiteral("/tmp/elsewhere");
        QTest::newRow("empty setting") << false << QString();
    }
    void defaultBaseFolder() {
        QFETCH(bool, reset);
        QFETCH(QString, setting);
        QDir(QDir::homePath() + QStringLiteral("/Sonabin")).removeRecursively();
        w->collections().setBase(setting);
        w->initFolders(reset);
        QCOMPARE(w->collections().base(), QDir::homePath() + QStringLiteral("/Sonabin/"));
        QVERIFY(QFileInfo(QDir::homePath() + QStringLiteral("/Sonabin/Favorites")).isDir());
        QVERIFY(!QFileInfo::exists(QStringLiteral("/Favorites")));
    }

    // A base folder that cannot be made (here a file stands in its way) is reported, and the buttons still
    // name their collections; a Like then reports the same, copies nothing and stays on the track.
    void baseFolderThatCannotBeMade() {
        const QString blocker = sbtest::makeTempDir(QStringLiteral("blocked")) + QStringLiteral("/file");
        QVERIFY(sbtest::writeFile(blocker, "x"));
        w->collections().setBase(blocker + QStringLiteral("/lib"));
        w->runGuarded([this] { w->initFolders(false); });
        QCOMPARE(errors.size(), 1);
        QCOMPARE(sbt::parts(w).lbl_1_collection->text(), QStringLiteral("Favorites"));
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[0]"));

        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(errors.size(), 2);
        QCOMPARE(nextSpy->count(), 0);
        QVERIFY(QFileInfo(blocker).isFile());
    }

    // What a copy cut short by a crash left in the collections goes when they are set up, in a collection
    // of the user's own too; nothing else does, and a part another running instance holds stays.
    void staleCopyPartsGoAtStart() {
        QVERIFY(QDir(base).mkdir(QStringLiteral("Jazz")));
        QVERIFY(sbtest::writeFile(lib("Favorites") + QStringLiteral(".sonabin-1f.part"), "x"));
        QVERIFY(sbtest::writeFile(lib("Archive") + QStringLiteral(".sonabin-2e.part"), "x"));
        QVERIFY(sbtest::writeFile(lib("Jazz") + QStringLiteral(".sonabin-3d.part"), "x"));
        QVERIFY(sbtest::writeFile(lib("Jazz") + QStringLiteral(".sonabin-busy.part"), "x"));
        QVERIFY(sbtest::writeFile(lib("Favorites") + QStringLiteral("kept.mp3"), "x"));
        const int busy =
            ::open(QFile::encodeName(lib("Jazz") + QStringLiteral(".sonabin-busy.part")).constData(),
                   O_RDWR | O_CLOEXEC);
        QVERIFY(busy >= 0);
        QVERIFY(::flock(busy, LOCK_EX) == 0);
        w->initFolders(false);
        ::close(busy);
        QCOMPARE(entries(lib("Favorites")), QStringList{QStringLiteral("kept.mp3")});
        QVERIFY(entries(lib("Archive")).isEmpty());
        QCOMPARE(entries(lib("Jazz")), QStringList{QStringLiteral(".sonabin-busy.part")});
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[1]"));
    }

    // A held key repeats: a Like runs once however long F1 / F2 is held, a toggle once; moving through
    // the list and seeking go on repeating. On X11 Qt marks a repeat only when it finds the repeat's press
    // queued behind its release; a busy program gets them unmarked, known only by their equal times.
    void heldKeyRepeatsOnlyWhereWanted_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("repeats");
        QTest::addColumn<bool>("marked"); // Qt marked the repeats as such
        const struct {
            const char* name;
            Qt::Key key;
            const char* action;
            bool repeats;
        } keys[] = {{"F1", Qt::Key_F1, "actCommand1", false},
                    {"F2", Qt::Key_F2, "actCommand2", false},
                    {"Esc", Qt::Key_Escape, "actPlayPause", false},
                    {"F5", Qt::Key_F5, "actPrev", true},
                    {"F6", Qt::Key_F6, "actRewind", true},
                    {"F7", Qt::Key_F7, "actForward", true},
                    {"F8", Qt::Key_F8, "actNext", true}};
        for (const auto& k : keys)
            for (const bool marked : {true, false})
                QTest::addRow("%s, repeats %s", k.name, marked ? "marked" : "unmarked")
                    << int(k.key) << QString::fromLatin1(k.action) << k.repeats << marked;
    }
    void heldKeyRepeatsOnlyWhereWanted() {
        QFETCH(int, key);
        QFETCH(QString, action);
        QFETCH(bool, repeats);
        QFETCH(bool, marked);
        auto* act = w->findChild<QAction*>(action);
        QVERIFY(act);
        QSignalSpy runs(act, &QAction::triggered);
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : w.get();
        QVERIFY(focus->window() == w.get());
        // As the window system delivers a held key: one press, then release and press pairs sharing their
        // time, then the real release. A press goes the way of every press: shortcuts first.
        ulong time = 100000;
        const auto press = [&](bool autoRepeat) {
            if (!qt_sendShortcutOverrideEvent(focus, time, key, Qt::NoModifier, QString(), autoRepeat)) {
                QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
                event.setTimestamp(time);
                QApplication::sendEvent(focus, &event);
            }
            QCoreApplication::processEvents();
        };
        const auto release = [&](bool autoRepeat) {
            QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier, QString(), autoRepeat);
            event.setTimestamp(time);
            QApplication::sendEvent(focus, &event);
            QCoreApplication::processEvents();
        };
        constexpr int repeatsSent = 12;
        press(false);
        for (int i = 0; i < repeatsSent; ++i) {
            time += 33;
            release(marked);
            press(marked);
        }
        time += 20;
        release(false);
        QCOMPARE(runs.count(), repeats ? repeatsSent + 1 : 1);
        if (key == Qt::Key_F1 || key == Qt::Key_F2) {
            const QString into = key == Qt::Key_F1 ? QStringLiteral("Favorites") : QStringLiteral("Archive");
            QCOMPARE(entries(lib(into)), QStringList{track});
            QCOMPARE(nextSpy->count(), 1);
        }
        // A new press, a moment after the release, runs again.
        time += 150;
        press(false);
        QCOMPARE(runs.count(), repeats ? repeatsSent + 2 : 2);
    }

    void countsSupportedFilesInAnyCase() {
        for (const char* name :
             {"a.mp3", "b.MP3", "c.Mp3", ".hidden.mp3", "d.txt", "e.mp3.part", "mp3", "f.flac", "g.OGG",
              "h.oga", "i.Opus", "j.m4a", "k.WAV", "l.aac", "m.flac.part", "n.wma"})
            QVERIFY(sbtest::writeFile(lib("Favorites") + QLatin1String(name), "x"));
        QVERIFY(QDir(lib("Favorites")).mkdir(QStringLiteral("folder.mp3")));
        QVERIFY(QDir(lib("Favorites")).mkdir(QStringLiteral("folder.flac")));
        w->collections().bind(2, QStringLiteral("Missing"));
        w->updateButtons();
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[10]"));
        QCOMPARE(sbt::parts(w).lbl_2_Count->text(), QStringLiteral("[0]"));
        QCOMPARE(sbt::parts(w).lbl_2_Collection->text(), QStringLiteral("Missing"));
        QVERIFY(!QFileInfo::exists(lib("Missing"))); // counting creates nothing
    }

    // --- the Like action ---

    void likeCopiesPlayingTrack_data() {
        QTest::addColumn<int>("button"); // 1 or 2
        QTest::addColumn<bool>("byKey"); // F1 / F2, or a click on the button
        QTest::newRow("F1") << 1 << true;
        QTest::newRow("F2") << 2 << true;
        QTest::newRow("button 1") << 1 << false;
        QTest::newRow("button 2") << 2 << false;
    }
    void likeCopiesPlayingTrack() {
        QFETCH(int, button);
        QFETCH(bool, byKey);
        const QString into = button == 1 ? QStringLiteral("Favorites") : QStringLiteral("Archive");
        QVERIFY(sbtest::writeFile(lib(into) + QStringLiteral("old.mp3"), "x"));
        w->updateButtons();
        const QStringList musicBefore = entries(music);

        if (byKey)
            QTest::keyClick(w.get(), button == 1 ? Qt::Key_F1 : Qt::Key_F2);
        else
            QTest::mouseClick(button == 1 ? sbt::parts(w).btnLib1 : sbt::parts(w).btnLib2, Qt::LeftButton);

        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(sbtest::readFile(lib(into) + track), sbtest::readFile(music + track));
        QCOMPARE(entries(lib(into)), (QStringList{"old.mp3", track}));
        QCOMPARE(entries(music), musicBefore);
        const Notice n = notice();
        QVERIFY(n.shown);
        QCOMPARE(n.title, QStringLiteral("Copy to collection"));
        QCOMPARE(n.message, lib(into) + track);
        QCOMPARE(n.color, TFormMessage::clrI);
        QCOMPARE(sbt::parts(w).lbl_1_count->text(),
                 button == 1 ? QStringLiteral("[2]") : QStringLiteral("[0]"));
        QCOMPARE(sbt::parts(w).lbl_2_Count->text(),
                 button == 2 ? QStringLiteral("[2]") : QStringLiteral("[0]"));
        checkMovedOn();
    }

    // Any supported file is liked the same way: FLAC and Opus here, each copied whole and counted.
    void likeCopiesEveryFormat() {
        const QString folder = sbtest::makeTempDir(QStringLiteral("formats")) + QLatin1Char('/');
        QVERIFY(
            sbtest::writeToneFfmpeg(folder + QStringLiteral("a.flac"), QStringLiteral("flac"), 44100 * 3));
        QVERIFY(sbtest::writeToneFfmpeg(folder + QStringLiteral("b.opus"), QStringLiteral("opus"), 48000 * 3,
                                        440, 48000));
        scan(folder);
        QStringList liked;
        for (int i = 0; i < 2; ++i) {
            const QString playing = sbt::parts(w).currentFile;
            QVERIFY(!playing.isEmpty() && !liked.contains(playing));
            QTRY_VERIFY(w->session().player()->isPlaying());
            QTest::keyClick(w.get(), Qt::Key_F1);
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
            QCOMPARE(sbtest::readFile(lib("Favorites") + playing), sbtest::readFile(folder + playing));
            liked << playing;
            QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[%1]").arg(liked.size()));
        }
    }

    // Only the name is compared: a file of that name stays as it is, and the player still moves on.
    void likeOfNamePresentCopiesNothing_data() {
        QTest::addColumn<bool>("fromCollection");
        QTest::newRow("other content") << false;
        QTest::newRow("played from the collection itself") << true;
    }
    void likeOfNamePresentCopiesNothing() {
        QFETCH(bool, fromCollection);
        sbt::parts(w).LanguageEngine->Clear(); // the built-in texts
        const QByteArray theirs = tone(2.0, 880);
        if (fromCollection) {
            for (const QString& name : entries(music))
                QVERIFY(QFile::copy(music + name, lib("Favorites") + name));
            scan(lib("Favorites"));
            nextSpy->clear();
        }
        QVERIFY(QFile::remove(lib("Favorites") + track) || !fromCollection);
        QVERIFY(sbtest::writeFile(lib("Favorites") + track, theirs));
        const QStringList before = entries(lib("Favorites"));
        sbt::parts(w).lbl_1_count->setText(QStringLiteral("stale"));

        QTest::keyClick(w.get(), Qt::Key_F1);

        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(sbtest::readFile(lib("Favorites") + track), theirs);
        QCOMPARE(entries(lib("Favorites")), before);
        const Notice n = notice();
        QVERIFY(n.shown);
        QCOMPARE(n.title, QStringLiteral("File exists!"));
        QCOMPARE(n.message, QStringLiteral("File already exists: ") + track);
        QCOMPARE(n.color, TFormMessage::clrW);
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[%1]").arg(before.size()));
        checkMovedOn();
    }

    // The warning's texts come from the language.
    void existsWarningIsTranslated() {
        const QString folder = sbtest::makeTempDir(QStringLiteral("lang"));
        QVERIFY(sbtest::writeFile(folder + QStringLiteral("/Test.lng"),
                                  "txt_file_exists=Schon da!\ntxt_file_exists_hint=Gibt es schon\n"));
        sbt::parts(w).LanguageEngine->LoadFromFile(QStringLiteral("Test.lng"), folder);
        QVERIFY(sbtest::writeFile(lib("Favorites") + track, "x"));
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(notice().title, QStringLiteral("Schon da!"));
        QCOMPARE(notice().message, QStringLiteral("Gibt es schon: ") + track);
    }

    void likeCreatesMissingCollection() {
        w->collections().bind(1, QStringLiteral("Brand new"));
        w->updateButtons();
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[0]"));
        QTest::keyClick(w.get(), Qt::Key_F1);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QVERIFY(QFileInfo(lib("Brand new") + track).isFile());
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[1]"));
        QCOMPARE(notice().message, lib("Brand new") + track);
    }

    // A button bound to the same collection as the other shows the same new number.
    void bothButtonsOnOneCollection() {
        w->collections().bind(2, w->collections().name(1));
        QTest::keyClick(w.get(), Qt::Key_F2);
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[1]"));
        QCOMPARE(sbt::parts(w).lbl_2_Count->text(), QStringLiteral("[1]"));
    }

    void likeWithoutPlayNextStaysOnTrack() {
        w->session().options().playNextAfterCopy = false;
        QTest::keyClick(w.get(), Qt::Key_F1);
        QVERIFY(QFileInfo(lib("Favorites") + track).isFile());
        QVERIFY(notice().shown);
        checkStayed(track);
        QVERIFY(w->session().player()->isPlaying());
    }

    // A Like that cannot copy ends with the error's text in the general report: no file, no notice, no
    // recount, no next track; and the program goes on.
    void failedLikeReachesErrorReport_data() {
        QTest::addColumn<bool>("trackGone"); // else: a folder without tracks, so no track is selected
        QTest::addColumn<QString>("expected");
        QTest::newRow("track gone") << true << "does not exist";
        QTest::newRow("no track selected") << false << "no track";
    }
    void failedLikeReachesErrorReport() {
        QFETCH(bool, trackGone);
        QFETCH(QString, expected);
        const QString folder = sbtest::makeTempDir(QStringLiteral("failing")) + QLatin1Char('/');
        if (trackGone) {
            QVERIFY(QFile::copy(music + track, folder + QStringLiteral("gone.mp3")));
            QVERIFY(QFile::copy(music + track, folder + QStringLiteral("stays.mp3")));
            scan(folder);
            QVERIFY(QFile::remove(folder + track));
        } else {
            scan(folder);
            QVERIFY(track.isEmpty());
        }
        nextSpy->clear();
        sbt::parts(w).lbl_1_count->setText(QStringLiteral("stale"));

        QTest::keyClick(w.get(), Qt::Key_F1);

        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(expected), qPrintable(errors[0]));
        QVERIFY(entries(lib("Favorites")).isEmpty());
        QVERIFY(!notice().shown);
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("stale"));
        checkStayed(track);

        scan(music);
        nextSpy->clear();
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(errors.size(), 1);
        QVERIFY(QFileInfo(lib("Favorites") + track).isFile());
        checkMovedOn();
    }

    // The copy failed on its way to the disk after the Like had shown it: it goes, the count goes back, and
    // the user is told through the error report.
    void lateWriteErrorIsReportedAndCountGoesBack() {
        setCopySyncFailureForTests(EIO);
        QTest::keyClick(w.get(), Qt::Key_F1);
        waitForCopiesOnDisk();
        QTRY_COMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QStringLiteral("\"%1\" could not be written to the disk").arg(track)),
                 qPrintable(errors[0]));
        QVERIFY2(errors[0].contains(QStringLiteral("the copy in \"Favorites\" was removed")),
                 qPrintable(errors[0]));
        QVERIFY(entries(lib("Favorites")).isEmpty());
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[0]"));
        QVERIFY(QFileInfo(music + track).isFile());
    }

    // Closing the program waits for the disk; a write error found by that wait is still reported.
    void lateWriteErrorFoundWhileClosingIsReported() {
        setCopySyncFailureForTests(EIO);
        QTest::keyClick(w.get(), Qt::Key_F1);
        nextSpy.reset();
        w.reset(); // the event loop never ran in between: the report is still queued, or not even found yet
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QStringLiteral("\"%1\" could not be written to the disk").arg(track)),
                 qPrintable(errors[0]));
        QVERIFY(entries(lib("Favorites")).isEmpty());
        QVERIFY(QFileInfo(music + track).isFile());
    }

    // While the current folder does not exist the Like actions are off, whoever triggers them.
    void noLikeWithoutFolder() {
        w->ScanFolder(sbtest::makeTempDir(QStringLiteral("gone")) + QStringLiteral("/missing"));
        QTest::keyClick(w.get(), Qt::Key_F1);
        QTest::mouseClick(sbt::parts(w).btnLib2, Qt::LeftButton);
        sbt::parts(w).actCommand1->trigger();
        QVERIFY(errors.isEmpty());
        QVERIFY(!notice().shown);
        QVERIFY(entries(lib("Favorites")).isEmpty());
        QVERIFY(entries(lib("Archive")).isEmpty());
        QVERIFY(!sbt::parts(w).TimerLongClick->isActive());
    }

    void likeOntoFullDiskLeavesNothing() {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        sbtest::TmpfsMount disk(lib("Favorites"), "size=256k");
        if (!disk.mounted)
            QSKIP("this system does not allow mounting a tmpfs");
        QVERIFY(QFileInfo(music + track).size() > 256 * 1024);
        w->updateButtons();
        sbt::parts(w).lbl_1_count->setText(QStringLiteral("stale"));

        QTest::keyClick(w.get(), Qt::Key_F1);

        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QStringLiteral("No space left on device")), qPrintable(errors[0]));
        QVERIFY(entries(lib("Favorites")).isEmpty());
        QVERIFY(!notice().shown);
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("stale"));
        checkStayed(track);
        QVERIFY(w->session().player()->isPlaying());
    }

    // --- the popup ---

    void popupListsCollections_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("holding"); // the collection that holds the current track's name
        QTest::addColumn<bool>("offersDelete");
        QTest::newRow("button 1, track in its collection") << 1 << "Favorites" << true;
        QTest::newRow("button 2, track in the other collection") << 2 << "Favorites" << false;
        QTest::newRow("button 2, track in its collection") << 2 << "Archive" << true;
        QTest::newRow("track in no collection") << 1 << "Sport" << false;
    }
    void popupListsCollections() {
        QFETCH(int, button);
        QFETCH(QString, holding);
        QFETCH(bool, offersDelete);
        QVERIFY(sbtest::writeFile(lib(holding) + track, "x"));
        QVERIFY(sbtest::writeFile(base + QStringLiteral("loose file.mp3"), "x"));
        QVERIFY(QDir(base).mkdir(QStringLiteral("Rock & Roll")));
        const QByteArray baseBytes = pathBytes(base);
        const QByteArray latin1Folder("M\xfcsik");
        QVERIFY(::mkdir(QByteArray(baseBytes + latin1Folder).constData(), 0755) == 0);
        QVERIFY(::symlink("Sport", QByteArray(baseBytes + "Linked").constData()) == 0);
        QVERIFY(::symlink("nowhere", QByteArray(baseBytes + "Dangling").constData()) == 0);
        QVERIFY(::mkfifo(QByteArray(baseBytes + "Pipe").constData(), 0644) == 0);
        QToolButton* b = button == 1 ? sbt::parts(w).btnLib1 : sbt::parts(w).btnLib2;

        emit b->customContextMenuRequested(QPoint(5, 5)); // what a right click does
        QTRY_VERIFY(sbt::parts(w).PM_LIBS->isVisible());

        QCOMPARE(sbt::parts(w).PM_LIBSTag, button);
        // Only folders and links to folders, in name order ("&" escaped for the menu); the loose file, the
        // pipe and the dangling link cannot hold a copy. A name that is not UTF-8 shows its replacement
        // character and sorts by it.
        QStringList expected{"Archive",    "Car",          "Favorites", "Linked",
                             "M\uFFFDsik", "Rock && Roll", "Sport",     "Temp"};
        expected << "-"
                 << "Create new folder";
        if (offersDelete)
            expected << "Delete from collection";
        expected << "Take back last Like";
        QCOMPARE(menuTexts(sbt::parts(w).PM_LIBS), expected);

        // The entry binds the button to the folder's own bytes.
        menuEntry(sbt::parts(w).PM_LIBS, "M\uFFFDsik")->trigger();
        QCOMPARE(pathBytes(button == 1 ? w->collections().name(1) : w->collections().name(2)), latin1Folder);
        QCOMPARE((button == 1 ? sbt::parts(w).lbl_1_collection : sbt::parts(w).lbl_2_Collection)->text(),
                 "M\uFFFDsik");
        QCOMPARE(menuTexts(sbt::parts(w).PM_LIBS), expected);
        sbt::parts(w).PM_LIBS->hide();

        // Rebuilt at each opening: a new collection shows up, a deleted one is gone.
        QVERIFY(QDir(base).mkdir(QStringLiteral("Blues")));
        QVERIFY(QDir(lib("Temp")).removeRecursively());
        emit b->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(sbt::parts(w).PM_LIBS->isVisible());
        QVERIFY(menuEntry(sbt::parts(w).PM_LIBS, QStringLiteral("Blues")));
        QVERIFY(!menuEntry(sbt::parts(w).PM_LIBS, QStringLiteral("Temp")));
        QCOMPARE(menuTexts(sbt::parts(w).PM_LIBS).count(QStringLiteral("Create new folder")), 1);
        sbt::parts(w).PM_LIBS->hide();
    }

    void popupOfEmptyBase() {
        for (const QString& name : entries(base))
            QVERIFY(QDir(lib(name)).removeRecursively());
        emit sbt::parts(w).btnLib1->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(sbt::parts(w).PM_LIBS->isVisible());
        QCOMPARE(menuTexts(sbt::parts(w).PM_LIBS),
                 (QStringList{"-", "Create new folder", "Take back last Like"}));
        sbt::parts(w).PM_LIBS->hide();
    }

    void popupOfMissingBaseReportsAndStaysClosed() {
        QVERIFY(QDir(base).removeRecursively());
        emit sbt::parts(w).btnLib2->customContextMenuRequested(QPoint(5, 5));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(base), qPrintable(errors[0]));
        QVERIFY(!sbt::parts(w).PM_LIBS->isVisible());
    }

    void choosingEntryRebindsOnlyThatButton_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("button 1") << 1;
        QTest::newRow("button 2") << 2;
    }
    void choosingEntryRebindsOnlyThatButton() {
        QFETCH(int, button);
        QVERIFY(QDir(base).mkdir(QStringLiteral("Rock & Roll")));
        QVERIFY(sbtest::writeFile(lib("Rock & Roll") + QStringLiteral("x.mp3"), "x"));
        QVERIFY(sbtest::writeFile(lib("Rock & Roll") + QStringLiteral("y.MP3"), "x"));
        emit(button == 1 ? sbt::parts(w).btnLib1 : sbt::parts(w).btnLib2)
            ->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(sbt::parts(w).PM_LIBS->isVisible());
        QAction* entry = menuEntry(sbt::parts(w).PM_LIBS, QStringLiteral("Rock && Roll"));
        QVERIFY(entry);
        entry->trigger();

        QCOMPARE(button == 1 ? w->collections().name(1) : w->collections().name(2),
                 QStringLiteral("Rock & Roll"));
        QCOMPARE(button == 1 ? w->collections().name(2) : w->collections().name(1),
                 button == 1 ? QStringLiteral("Archive") : QStringLiteral("Favorites"));
        QLabel* name = button == 1 ? sbt::parts(w).lbl_1_collection : sbt::parts(w).lbl_2_Collection;
        QLabel* count = button == 1 ? sbt::parts(w).lbl_1_count : sbt::parts(w).lbl_2_Count;
        QLabel* other = button == 1 ? sbt::parts(w).lbl_2_Collection : sbt::parts(w).lbl_1_collection;
        QCOMPARE(name->text(), QStringLiteral("Rock & Roll"));
        QCOMPARE(count->text(), QStringLiteral("[2]"));
        QCOMPARE(other->text(), button == 1 ? QStringLiteral("Archive") : QStringLiteral("Favorites"));
        sbt::parts(w).PM_LIBS->hide();

        // The Like of that button now goes there.
        QTest::keyClick(w.get(), button == 1 ? Qt::Key_F1 : Qt::Key_F2);
        QVERIFY(QFileInfo(lib("Rock & Roll") + track).isFile());
        QCOMPARE(count->text(), QStringLiteral("[3]"));
    }

    // --- the long press ---

    // A press held still for about half a second opens the popup, and its release runs no Like.
    void longPressOpensPopup() {
        QWindow* win = w->windowHandle();
        const QPoint at = sbt::parts(w).btnLib2->mapTo(w.get(), sbt::parts(w).btnLib2->rect().center());
        QCursor::setPos(w->mapToGlobal(at));
        QTest::mousePress(win, Qt::LeftButton, {}, at);
        QCOMPARE(sbt::parts(w).PM_LIBSTag, 2);
        QTest::qWait(200);
        QVERIFY(!sbt::parts(w).PM_LIBS->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(sbt::parts(w).PM_LIBS->isVisible(), 2000);
        QVERIFY(menuEntry(sbt::parts(w).PM_LIBS, QStringLiteral("Create new folder")));
        QVERIFY(!sbt::parts(w).btnLib2->isDown());
        QTest::mouseRelease(win, Qt::LeftButton, {}, at);
        QTest::qWait(50);
        QVERIFY(entries(lib("Archive")).isEmpty());
        QCOMPARE(nextSpy->count(), 0);
        sbt::parts(w).PM_LIBS->hide();
    }

    // The right button opens the popup at once, as the buttons' context menu, and starts no long press.
    void rightClickOpensPopup() {
        QWindow* win = w->windowHandle();
        const QPoint at = sbt::parts(w).btnLib2->mapTo(w.get(), sbt::parts(w).btnLib2->rect().center());
        QCursor::setPos(w->mapToGlobal(at));
        QTest::mousePress(win, Qt::RightButton, {}, at);
        QVERIFY(sbt::parts(w).PM_LIBS->isVisible());
        QCOMPARE(sbt::parts(w).PM_LIBSTag, 2);
        QVERIFY(!sbt::parts(w).TimerLongClick->isActive());
        QVERIFY(menuEntry(sbt::parts(w).PM_LIBS, QStringLiteral("Favorites")));
        sbt::parts(w).PM_LIBS->hide();
        QTest::mouseRelease(win, Qt::RightButton, {}, at);
        QCOMPARE(nextSpy->count(), 0);
    }

    // A short click is a Like, never a long press; a pointer moved away prevents the popup too.
    void noPopupWithoutStillPress_data() {
        QTest::addColumn<bool>("release");
        QTest::newRow("short click") << true;
        QTest::newRow("pointer moved away") << false;
    }
    void noPopupWithoutStillPress() {
        QFETCH(bool, release);
        QWindow* win = w->windowHandle();
        const QPoint at = sbt::parts(w).btnLib1->mapTo(w.get(), sbt::parts(w).btnLib1->rect().center());
        QCursor::setPos(w->mapToGlobal(at));
        QTest::mousePress(win, Qt::LeftButton, {}, at);
        if (release) {
            QTest::mouseRelease(win, Qt::LeftButton, {}, at, 50);
        } else {
            QCursor::setPos(w->mapToGlobal(at + QPoint(3, 0)));
            QTest::mouseMove(win, at + QPoint(3, 0));
        }
        QTest::qWait(800);
        QVERIFY(!sbt::parts(w).PM_LIBS->isVisible());
        QVERIFY(!sbt::parts(w).TimerLongClick->isActive());
        QCOMPARE(sbt::parts(w).TimerLongClickTag, 0);
        if (release) // the click itself was a Like
            QVERIFY(QFileInfo(lib("Favorites") + track).isFile());
        else
            QTest::mouseRelease(win, Qt::LeftButton, {}, at + QPoint(3, 0));
    }

    // --- creating and deleting ---

    void createNewFolder_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("created"); // empty: nothing is created
        QTest::addColumn<QString>("message"); // part of the refusal; empty: no message
        QTest::newRow("plain") << "Jazz"
                               << "Jazz" << QString();
        QTest::newRow("blanks around") << "  Blues "
                                       << "Blues" << QString();
        QTest::newRow("empty") << "   " << QString() << "enter a name";
        QTest::newRow("separator") << "a/b" << QString() << "can not contain";
        QTest::newRow("dot") << "." << QString() << "can not be used";
        QTest::newRow("dot dot") << ".." << QString() << "can not be used";
        QTest::newRow("exists") << "Favorites" << QString() << "already exists";
    }
    void createNewFolder() {
        QFETCH(QString, typed);
        QFETCH(QString, created);
        QFETCH(QString, message);
        const QStringList before = entries(base);
        QString title, label, refusal;
        answerNextDialog([&](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            QVERIFY(input);
            title = input->windowTitle();
            label = input->labelText();
            input->setTextValue(typed);
            if (!message.isEmpty())
                answerNextDialog([&](QWidget* box) {
                    refusal = qobject_cast<QMessageBox*>(box)->text();
                    box->close();
                });
            input->accept();
        });
        sbt::parts(w).actCreateNewLib->trigger();

        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QCOMPARE(title, QStringLiteral("Create new folder"));
        QCOMPARE(label, QStringLiteral("Create new folder for collection"));
        QStringList after = before;
        if (!created.isEmpty())
            after << created;
        after.sort();
        QCOMPARE(entries(base), after);
        if (!created.isEmpty())
            QVERIFY(QFileInfo(base + created).isDir());
        QVERIFY2(refusal.contains(message), qPrintable(refusal));
        QCOMPARE(refusal.isEmpty(), message.isEmpty());
    }

    void createNewFolderCancelled() {
        const QStringList before = entries(base);
        answerNextDialog([](QWidget* dialog) {
            qobject_cast<QInputDialog*>(dialog)->setTextValue(QStringLiteral("Never"));
            qobject_cast<QInputDialog*>(dialog)->reject();
        });
        sbt::parts(w).actCreateNewLib->trigger();
        QCOMPARE(entries(base), before);
    }

    // Deletes the current track's name from the collection of the button whose popup is open, after a
    // question that names both; the other collection keeps its copy.
    void deleteFromCollection_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void deleteFromCollection() {
        QFETCH(bool, confirm);
        QVERIFY(sbtest::writeFile(lib("Favorites") + track, "x"));
        QVERIFY(sbtest::writeFile(lib("Archive") + track, "x"));
        QVERIFY(sbtest::writeFile(lib("Archive") + QStringLiteral("other.mp3"), "x"));
        w->updateButtons();
        emit sbt::parts(w).btnLib2->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(sbt::parts(w).PM_LIBS->isVisible());
        QAction* del = menuEntry(sbt::parts(w).PM_LIBS, QStringLiteral("Delete from collection"));
        QVERIFY(del);
        QString question;
        answerNextDialog([&](QWidget* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            question = box->text();
            box->button(confirm ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        del->trigger();
        sbt::parts(w).PM_LIBS->hide();

        QVERIFY2(errors.isEmpty(), qPrintable(errors.join('\n')));
        QVERIFY2(question.contains(track) && question.contains(QStringLiteral("Archive")),
                 qPrintable(question));
        QCOMPARE(QFileInfo::exists(lib("Archive") + track), !confirm);
        QVERIFY(QFileInfo::exists(lib("Favorites") + track));
        QVERIFY(QFileInfo::exists(lib("Archive") + QStringLiteral("other.mp3")));
        QCOMPARE(sbt::parts(w).lbl_2_Count->text(), confirm ? QStringLiteral("[1]") : QStringLiteral("[2]"));
        QCOMPARE(sbt::parts(w).lbl_1_count->text(), QStringLiteral("[1]"));
    }
};

QTEST_MAIN(TestCollections)
#include "tst_collections.moc"
