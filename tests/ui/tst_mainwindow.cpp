// The main window's spine: controls, action table, layout rules, start-up and shutdown of the settings.
#include "diagnosticLog.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "fifoWatch.h"
#include "formMainAccess.h"
#include "inOrder.h"
#include "main.h"
#include "sbWidgets.h"
#include "sbtest.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

class TestMainWindow : public QObject {
    Q_OBJECT

    static QString iniPath() {
        return getAppDataFolder(QStringLiteral("Sonabin Free"), false) + "tst_mainwindow.ini";
    }

    static QString readIni() { return QString::fromUtf8(sbtestRead(iniPath())); }
    static QByteArray sbtestRead(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init() { QFile::remove(iniPath()); }

    void actionTable_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("key");
        QTest::newRow("open") << "actopenFolder"
                              << ""
                              << "Open Folder"
                              << "Ctrl+O";
        QTest::newRow("play") << "actPlay"
                              << ""
                              << "Play"
                              << "Return";
        QTest::newRow("next") << "actNext"
                              << ""
                              << "Next track"
                              << "F8";
        QTest::newRow("prev") << "actPrev"
                              << ""
                              << "Previous track"
                              << "F5";
        QTest::newRow("rewind") << "actRewind"
                                << ""
                                << "Rewind"
                                << "F6";
        QTest::newRow("forward") << "actForward"
                                 << ""
                                 << "Forward"
                                 << "F7";
        QTest::newRow("stop") << "actStop"
                              << ""
                              << "Stop"
                              << "";
        QTest::newRow("pause") << "actPause"
                               << "Stop"
                               << "Pause"
                               << "";
        QTest::newRow("playpause") << "actPlayPause"
                                   << ""
                                   << "Play / Pause"
                                   << "Esc";
        QTest::newRow("like1") << "actCommand1"
                               << ""
                               << "I Like!"
                               << "F1";
        QTest::newRow("like2") << "actCommand2"
                               << ""
                               << "I Like!"
                               << "F2";
        QTest::newRow("newlib") << "actCreateNewLib"
                                << "Create new folder"
                                << "Create new folder for collection"
                                << "";
        QTest::newRow("dellib") << "actDelFromLib"
                                << "Delete from collection"
                                << "Delete track from collection"
                                << "";
        QTest::newRow("options") << "actOptions"
                                 << "Options"
                                 << "Show program options"
                                 << "F12";
        QTest::newRow("help") << "actHelp"
                              << "Help"
                              << "Show Help"
                              << "";
        QTest::newRow("about") << "actAbout"
                               << "About"
                               << "About program"
                               << "";
        QTest::newRow("empty") << "actFolderEmpty"
                               << "Folder empty"
                               << "Folder is empty"
                               << "";
        QTest::newRow("log") << "actLog"
                             << "Show Log"
                             << "Show log window"
                             << "Ctrl+F12";
        QTest::newRow("take back") << "actUndoLike"
                                   << "Take back last Like"
                                   << "Take back the last Like: remove the copy it made"
                                   << "Ctrl+Z";
        QTest::newRow("scan") << "Action1"
                              << "Scan text res"
                              << ""
                              << "Ctrl+F11";
    }
    void actionTable() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        QFETCH(QString, key);
        TFormMain w;
        auto* a = w.findChild<QAction*>(name);
        QVERIFY(a);
        QCOMPARE(a->text(), text);
        QCOMPARE(actionHint(a), hint);
        QCOMPARE(a->shortcut().toString(), key);
        QCOMPARE(a->shortcutContext(), Qt::WindowShortcut);
    }

    void buttonsRunTheirActions_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("action");
        QTest::newRow("folder") << "btnFolder"
                                << "actopenFolder";
        QTest::newRow("like1") << "btnLib1"
                               << "actCommand1";
        QTest::newRow("like2") << "btnLib2"
                               << "actCommand2";
        QTest::newRow("prev") << "btnPrev"
                              << "actPrev";
        QTest::newRow("rewind") << "btnRewind"
                                << "actRewind";
        QTest::newRow("play") << "btnPlay"
                              << "actPlayPause";
        QTest::newRow("forward") << "btnForward"
                                 << "actForward";
        QTest::newRow("next") << "btnNext"
                              << "actNext";
        QTest::newRow("options") << "button_options"
                                 << "actOptions";
        QTest::newRow("help") << "button_help"
                              << "actHelp";
        QTest::newRow("about") << "button_about"
                               << "actAbout";
    }
    void buttonsRunTheirActions() {
        QFETCH(QString, button);
        QFETCH(QString, action);
        TFormMain w;
        auto* b = w.findChild<QToolButton*>(button);
        QVERIFY(b);
        QVERIFY(b->defaultAction());
        QCOMPARE(b->defaultAction()->objectName(), action);
    }

    void designTexts() {
        TFormMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Sonabin Free 1.0"));
        QCOMPARE(sbt::parts(w).lbl_1_like->text(), QStringLiteral("I Like!"));
        QCOMPARE(sbt::parts(w).lblTime->text(), QStringLiteral("00:00:00"));
        QVERIFY(sbt::parts(w).imgPlay->isVisibleTo(sbt::parts(w).btnPlay));
        QVERIFY(!sbt::parts(w).imgPause->isVisibleTo(sbt::parts(w).btnPlay));
        QCOMPARE(sbt::parts(w).btnLib1->property("tag").toInt(), 1);
        QCOMPARE(sbt::parts(w).btnLib2->property("tag").toInt(), 2);
        QCOMPARE(styleLookup(sbt::parts(w).btnLib1), QStringLiteral("myLikeButton1"));
        QCOMPARE(styleLookup(sbt::parts(w).btnLib2), QStringLiteral("myLikeButton2"));
    }

    // The tool buttons switch to their text styles only above 600 pixels.
    void layoutToolsResize_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("aboutStyle");
        QTest::addColumn<int>("aboutWidth");
        QTest::addColumn<int>("helpWidth");
        QTest::addColumn<int>("optionsWidth");
        QTest::newRow("600") << 600 << "applybutton" << 50 << 50 << 50;
        QTest::newRow("601") << 601 << "applybuttontext" << 90 << 70 << 80;
    }
    void layoutToolsResize() {
        QFETCH(int, width);
        QFETCH(QString, aboutStyle);
        QFETCH(int, aboutWidth);
        QFETCH(int, helpWidth);
        QFETCH(int, optionsWidth);
        TFormMain w;
        sbt::parts(w).LayoutTools->setFixedWidth(width);
        sbt::parts(w).LayoutTools->resize(width, sbt::parts(w).LayoutTools->height());
        w.LayoutToolsResize();
        QCOMPARE(styleLookup(sbt::parts(w).button_about), aboutStyle);
        QCOMPARE(sbt::parts(w).button_about->width(), aboutWidth);
        QCOMPARE(sbt::parts(w).button_help->width(), helpWidth);
        QCOMPARE(sbt::parts(w).button_options->width(), optionsWidth);
        QCOMPARE(styleLookup(sbt::parts(w).button_options),
                 QString(width > 600 ? "gearbuttontext" : "gearbutton"));
    }

    // The player panel stays between 330 and 600 wide; the first Like button takes half the row minus 5,
    // halves rounded to even.
    void playerPanelWidth_data() {
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("expected");
        QTest::newRow("200 snaps to 330") << 200 << 330;
        QTest::newRow("450 stays") << 450 << 450;
        QTest::newRow("700 snaps to 600") << 700 << 600;
    }
    void playerPanelWidth() {
        QFETCH(int, requested);
        QFETCH(int, expected);
        TFormMain w;
        w.resize(1200, 600);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        sbt::parts(w).Splitter1->setSizes({requested, 1200 - requested - 8});
        QCoreApplication::processEvents();
        QCOMPARE(sbt::parts(w).pnlPlayer->width(), expected);
    }

    void likeButtonSplit_data() {
        QTest::addColumn<int>("rowWidth");
        QTest::addColumn<int>("btnWidth");
        QTest::newRow("357") << 357 << 173; // 178.5 rounds to 178
        QTest::newRow("359") << 359 << 175; // 179.5 rounds to 180
    }
    void likeButtonSplit() {
        QFETCH(int, rowWidth);
        QFETCH(int, btnWidth);
        TFormMain w;
        sbt::parts(w).pnlCommandButtons->resize(rowWidth, 120);
        w.pnlPlayerResize();
        QCOMPARE(sbt::parts(w).btnLib1->width(), btnWidth);
    }

    // First start: the settings file exists at once with counter=1; the next start counts 2; a counter of
    // 0 or less is a first run and counts on from itself.
    void startCounter() {
        {
            TFormMain w;
            QVERIFY(QFile::exists(iniPath()));
            QCOMPARE(optionsBase->ReadInteger("common", "counter", 0), 1);
            QVERIFY(readIni().contains("[common]\r\ncounter=1\r\n"));
        }
        {
            TFormMain w;
            QCOMPARE(optionsBase->ReadInteger("common", "counter", 0), 2);
        }
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[common]\r\ncounter=-5\r\n");
        f.close();
        {
            TFormMain w;
            QCOMPARE(optionsBase->ReadInteger("common", "counter", 0), -4);
        }
        QVERIFY(readIni().contains("counter=-4"));
    }

    // The largest count stays where it is instead of overflowing into a negative one (a first run).
    void counterSaturates() {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[common]\r\ncounter=2147483647\r\n");
        f.close();
        {
            TFormMain w;
            QCOMPARE(optionsBase->ReadInteger("common", "counter", 0), 2147483647);
        }
        QVERIFY2(readIni().contains("counter=2147483647\r\n"), qPrintable(readIni()));
    }

    // Settings that cannot be read (or a settings folder that cannot be made) are said once, naming the
    // real path; the program runs on defaults and writes nothing over what is there.
    void unreadableSettingsSaidOnce_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder in place of the file") << "folder";
        QTest::newRow("named pipe in place of the file") << "fifo";
        QTest::newRow("no permission") << "unreadable";
        QTest::newRow("settings folder cannot be made") << "blocked";
    }
    void unreadableSettingsSaidOnce() {
        QFETCH(QString, kind);
        const QString folder = getAppDataFolder(QStringLiteral("Sonabin Free"), false);
        const QString settingsFolder = folder.left(folder.size() - 1);
        std::unique_ptr<sbtest::FifoWatch> fifo;
        QString named = iniPath(); // the path the message must name
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(iniPath()));
        } else if (kind == QLatin1String("fifo")) {
            fifo = std::make_unique<sbtest::FifoWatch>(iniPath());
            QVERIFY(fifo->made());
        } else if (kind == QLatin1String("unreadable")) {
            if (::geteuid() == 0)
                QSKIP("root reads any file");
            QVERIFY(sbtest::writeFile(iniPath(), "[common]\r\ncounter=7\r\n"));
            QVERIFY(QFile::setPermissions(iniPath(), QFileDevice::WriteOwner));
        } else {
            QVERIFY(QDir(settingsFolder).removeRecursively());
            QVERIFY(sbtest::writeFile(settingsFolder, "a file where the settings folder belongs"));
            named = settingsFolder;
        }
        // Looked at, never opened: a pipe would block the test.
        const auto look = [] {
            struct stat st {};
            if (::lstat(QFile::encodeName(iniPath()).constData(), &st) != 0)
                return QString();
            return QStringLiteral("%1 %2 %3 %4.%5")
                .arg(st.st_ino)
                .arg(st.st_mode)
                .arg(st.st_size)
                .arg(st.st_mtim.tv_sec)
                .arg(st.st_mtim.tv_nsec);
        };
        const QString before = look();
        QStringList shown;
        TFormMainTestAccess::errorReportHook() = [&](const QString& text) { shown << text; };
        {
            TFormMain w;
            QCOMPARE(optionsBase->ReadInteger("common", "counter", 0), 1); // a first run on defaults
            w.optionsSave();                                               // as the options dialog's OK does
        }
        TFormMainTestAccess::errorReportHook() = {};
        const QString after = look();
        // Put things back for the next tests before anything can fail.
        if (kind == QLatin1String("folder"))
            QDir(iniPath()).removeRecursively();
        QFile::remove(iniPath());
        if (kind == QLatin1String("blocked")) {
            QFile::remove(settingsFolder);
            QVERIFY(QDir().mkpath(settingsFolder));
        }
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().contains(QLatin1Char('"') + named + QLatin1Char('"')),
                 qPrintable(shown.first()));
        QVERIFY2(shown.first().contains(QStringLiteral("default settings")), qPrintable(shown.first()));
        if (fifo)
            QVERIFY(!fifo->wasOpened());
        QCOMPARE(after, before); // nothing written over it
    }

    // A normal end writes common (counter, folder_curr), FormMain (four keys) and pnlPlayer (width), in that
    // order, and the next start restores the geometry.
    void shutdownSavesGeometry() {
        {
            TFormMain w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.move(40, 30);
            w.resize(1000, 640);
            sbt::parts(w).Splitter1->setSizes({420, 1000 - 420 - 8});
            QCoreApplication::processEvents();
        }
        const QString ini = readIni();
        const QStringList expectedOrder = {"[common]",    "counter=", "folder_curr=", "[FormMain]",
                                           "left=40",     "top=30",   "width=1000",   "height=640",
                                           "[pnlPlayer]", "width=420"};
        qsizetype at = 0;
        for (const QString& piece : expectedOrder) {
            const qsizetype found = ini.indexOf(piece, at);
            QVERIFY2(found >= 0, qPrintable(piece + " missing or out of order in:\n" + ini));
            at = found + piece.size();
        }
        TFormMain again;
        QCOMPARE(again.x(), 40);
        QCOMPARE(again.y(), 30);
        QCOMPARE(again.width(), 1000);
        QCOMPARE(again.height(), 640);
        QCOMPARE(optionsBase->ReadInteger("pnlPlayer", "width", 0), 420);
    }

    void startupLogOrder() {
        const qsizetype before = logLines().size();
        TFormMain w;
        const QStringList lines = logLines().mid(before);
        const QStringList expected = {"FormCreate: TFormMain",
                                      "Options file: ",
                                      "initView",
                                      "optionsLoad",
                                      "> load: Form, Width, AutoNext: True, AutoOffset: False, Random: False",
                                      "> folderLibraryBase: ",
                                      "> currentFolder: ",
                                      "initLanguage: ",
                                      "initStartFolderPlay: ",
                                      "ScanFolder: "};
        const QString order = sbtest::checkInOrder(lines, expected);
        QVERIFY2(order.isEmpty(), qPrintable(order));
        QVERIFY(lines.contains("initLanguage: "));
    }

    // An error in a user action is shown and the program goes on.
    void guardedActionReportsAndGoesOn() {
        TFormMain w;
        bool after = false;
        QStringList shown;
        TFormMainTestAccess::errorReportHook() = [&](const QString& text) { shown << text; };
        w.runGuarded([] { throw SbError("Disk full"); });
        w.runGuarded([&] { after = true; });
        TFormMainTestAccess::errorReportHook() = {};
        QVERIFY(after);
        QCOMPARE(shown, QStringList{"Disk full"});
        QVERIFY(logLines().contains("> Error: Disk full"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
