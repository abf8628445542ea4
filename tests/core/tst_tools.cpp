#include "dorTools.h"
#include "sbtest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

class TstTools : public QObject {
    Q_OBJECT

    // A folder holding files of every kind the listing must tell apart.
    QString makeMixedFolder() {
        const QString dir = sbtest::makeTempDir(QStringLiteral("mixed"));
        for (const char* name : {"Song.MP3", "a.mp3", ".hidden.mp3", "noext", "b.wav"})
            sbtest::writeFile(dir + QLatin1Char('/') + QLatin1String(name), "x");
        QDir(dir).mkdir(QStringLiteral("folder.mp3"));
        QFile::link(dir + QStringLiteral("/folder.mp3"), dir + QStringLiteral("/linkdir.mp3"));
        QFile::link(dir + QStringLiteral("/gone"), dir + QStringLiteral("/broken.mp3"));
        return dir;
    }

private slots:
    // The one trim of settings lines, help topics and the texts a language scan takes from the windows.
    void trimBlanks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("only blanks and controls") << QString(" \t\r\n\x01 ") << "";
        QTest::newRow("both ends") << QString("\x1f\t a b \r\n") << "a b";
        QTest::newRow("inside kept") << " a \t b "
                                     << "a \t b";
        QTest::newRow("no-break space is text")
            << QStringLiteral("\u00a0a\u00a0") << QStringLiteral("\u00a0a\u00a0");
    }
    void trimBlanks() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(::trimBlanks(text), expected);
    }

    void withDelim_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty stays empty, never the root") << ""
                                                           << "";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("added") << "/music"
                               << "/music/";
        QTest::newRow("kept") << "/music/"
                              << "/music/";
        QTest::newRow("relative") << "music"
                                  << "music/";
    }
    void withDelim() {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QCOMPARE(::withDelim(folder), expected);
    }

    void extensionList_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("case and dot") << "MP3, .Wav" << QStringList{".mp3", ".wav"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("only blanks") << " \t " << QStringList{};
        QTest::newRow("empty item") << "mp3,,wav" << QStringList{".mp3", "", ".wav"};
        QTest::newRow("trailing comma") << "mp3," << QStringList{".mp3", ""};
        QTest::newRow("blank ends item") << "  mp3 wav" << QStringList{".mp3", ".wav"};
        QTest::newRow("blanks around comma") << "mp3 , wav" << QStringList{".mp3", ".wav"};
        QTest::newRow("quoted") << "\"A b,c\",d" << QStringList{".a b,c", ".d"};
        QTest::newRow("doubled quote") << "\"a\"\"b\"" << QStringList{".a\"b"};
        QTest::newRow("unclosed quote") << "\"a,b" << QStringList{".a,b"};
    }
    void extensionList() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QStringList list{"old"};
        setExtensionList(list, text);
        QCOMPARE(list, expected);
    }

    void lastFolderName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no delimiter") << "/music/rock"
                                      << "rock";
        QTest::newRow("delimiter") << "/music/rock/"
                                   << "rock";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("two delimiters") << "/music//"
                                        << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("bare name") << "rock"
                                   << "rock";
    }
    void lastFolderName() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(getLastFolderName(path), expected);
    }

    void parentFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder") << "/music/rock/"
                                << "/music/";
        QTest::newRow("no delimiter") << "/music/rock"
                                      << "/music/";
        QTest::newRow("below root") << "/music"
                                    << "/";
        QTest::newRow("below root with delimiter") << "/music/"
                                                   << "/";
        QTest::newRow("root") << "/"
                              << "";
        QTest::newRow("bare name") << "rock"
                                   << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void parentFolder() {
        QFETCH(QString, folder);
        QFETCH(QString, expected);
        QCOMPARE(getParentFolder(folder), expected);
    }

    void brackets_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("removed");
        QTest::newRow("plain") << "Rock"
                               << "[Rock]"
                               << "Rock";
        QTest::newRow("blanks") << "  Rock  "
                                << "[Rock]"
                                << "Rock";
        QTest::newRow("control chars") << "\tRock\r\n"
                                       << "[Rock]"
                                       << "Rock";
        QTest::newRow("empty") << ""
                               << "[...]"
                               << "...";
        QTest::newRow("only blanks") << "   "
                                     << "[...]"
                                     << "...";
        QTest::newRow("both marks") << "[Rock]"
                                    << "[Rock]"
                                    << "Rock";
        QTest::newRow("parent entry") << "[..]     "
                                      << "[..]"
                                      << "..";
        QTest::newRow("open only") << "[Live"
                                   << "[Live"
                                   << "[Live";
        QTest::newRow("close only") << "Rock]"
                                    << "Rock]"
                                    << "Rock]";
        QTest::newRow("marks only") << "[]"
                                    << "[]"
                                    << "";
        QTest::newRow("one mark") << "["
                                  << "["
                                  << "[";
    }
    void brackets() {
        QFETCH(QString, text);
        QFETCH(QString, added);
        QFETCH(QString, removed);
        const QChar open = QLatin1Char('['), close = QLatin1Char(']');
        QCOMPARE(addBrackets(text, open, close, QStringLiteral("...")), added);
        QCOMPARE(removeBrackets(text, open, close, QStringLiteral("...")), removed);
    }

    // A folder typed as a Linux user types it; "<home>" stands for the home folder.
    void expandTypedFolder_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expanded");
        QTest::newRow("home alone") << "~"
                                    << "<home>";
        QTest::newRow("below home") << "~/Sorted/Rock"
                                    << "<home>/Sorted/Rock";
        QTest::newRow("blanks before") << "  \t~/Sorted"
                                       << "<home>/Sorted";
        QTest::newRow("blanks only") << "   "
                                     << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("full path kept, trailing blank too") << "/music/x "
                                                            << "/music/x ";
        QTest::newRow("another user's home") << "~root/x"
                                             << "/root/x";
        QTest::newRow("unknown user stays relative") << "~no-such-user-here/x"
                                                     << "~no-such-user-here/x";
        QTest::newRow("relative stays relative") << "Sorted/~"
                                                 << "Sorted/~";
    }
    void expandTypedFolder() {
        QFETCH(QString, typed);
        QFETCH(QString, expanded);
        QCOMPARE(::expandTypedFolder(typed), expanded.replace(QStringLiteral("<home>"), QDir::homePath()));
    }

    void roundHalfEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("178.5") << 178.5 << qint64(178);
        QTest::newRow("179.5") << 179.5 << qint64(180);
        QTest::newRow("0.5") << 0.5 << qint64(0);
        QTest::newRow("-1.5") << -1.5 << qint64(-2);
        QTest::newRow("-2.5") << -2.5 << qint64(-2);
        QTest::newRow("2.4999") << 2.4999 << qint64(2);
        QTest::newRow("2.5001") << 2.5001 << qint64(3);
        QTest::newRow("nan") << qQNaN() << qint64(0);
        QTest::newRow("huge") << 1e300 << std::numeric_limits<qint64>::max();
        QTest::newRow("-huge") << -1e300 << std::numeric_limits<qint64>::min();
    }
    void roundHalfEven() {
        QFETCH(double, value);
        QFETCH(qint64, expected);
        QCOMPARE(::roundHalfEven(value), expected);
    }

    void countFiles_data() {
        QTest::addColumn<QString>("extensions");
        QTest::addColumn<int>("expected");
        // Folders (and links to them) never count; hidden files and broken links do.
        QTest::newRow("mp3 any case") << "mp3" << 4;
        QTest::newRow("all files") << "" << 6;
        QTest::newRow("empty item matches no extension") << "wav," << 2;
        QTest::newRow("no match") << "ogg" << 0;
    }
    void countFiles() {
        QFETCH(QString, extensions);
        QFETCH(int, expected);
        const QString dir = makeMixedFolder();
        QCOMPARE(::countFiles(dir, extensions), expected);
        QCOMPARE(::countFiles(dir + QLatin1Char('/'), extensions), expected);
    }

    void countFilesMissingFolder() {
        QCOMPARE(::countFiles(sbtest::makeTempDir(QStringLiteral("c")) + QStringLiteral("/nope"), QString()),
                 0);
        QCOMPARE(::countFiles(QString(), QStringLiteral("mp3")), 0);
    }

    void fileList() {
        const QString dir = makeMixedFolder();
        QStringList list{"old"};
        QCOMPARE(getFileList(&list, dir, QStringLiteral("MP3"), false), 4);
        list.sort();
        QCOMPARE(list, (QStringList{".hidden.mp3", "Song.MP3", "a.mp3", "broken.mp3"}));

        QCOMPARE(getFileList(&list, dir + QLatin1Char('/'), QStringLiteral("wav"), true), 1);
        QCOMPARE(list, QStringList{dir + QStringLiteral("/b.wav")});

        // Files present but none matching: the list is replaced by nothing.
        QCOMPARE(getFileList(&list, dir, QStringLiteral("ogg"), true), 0);
        QVERIFY(list.isEmpty());

        QCOMPARE(getFileList(nullptr, dir, QString(), true), 0);
    }

    void fileListWithoutFilesKeepsList() {
        const QString dir = sbtest::makeTempDir(QStringLiteral("nofiles"));
        QDir(dir).mkdir(QStringLiteral("sub"));
        QStringList list{"kept"};
        QCOMPARE(getFileList(&list, dir, QString(), true), 0);
        QCOMPARE(list, QStringList{"kept"});
    }

    void fileListErrors() {
        const QString missing = sbtest::makeTempDir(QStringLiteral("fl")) + QStringLiteral("/missing");
        QStringList list{"kept"};
        try {
            getFileList(&list, missing, QString(), true);
            QFAIL("no error for a missing folder");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(missing), qPrintable(e.text()));
        }
        QCOMPARE(list, QStringList{"kept"});
        QVERIFY_THROWS_EXCEPTION(SbError, getFileList(&list, QString(), QString(), true));

        if (::geteuid() == 0)
            QSKIP("root reads every folder");
        const QString locked = sbtest::makeTempDir(QStringLiteral("locked"));
        sbtest::writeFile(locked + QStringLiteral("/a.mp3"), "x");
        QFile::setPermissions(locked, QFileDevice::Permissions{});
        QVERIFY_THROWS_EXCEPTION(SbError, getFileList(&list, locked, QString(), true));
        QCOMPARE(::countFiles(locked, QString()), 0);
        QFile::setPermissions(locked,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void checkFolder() {
        const QString base = sbtest::makeTempDir(QStringLiteral("check"));
        QVERIFY(::checkFolder(base));
        const QString nested = base + QStringLiteral("/a/b/c");
        QVERIFY(!::checkFolder(nested));
        QVERIFY(QFileInfo(nested).isDir());
        QVERIFY(::checkFolder(nested + QLatin1Char('/')));

        // A link to a folder is that folder.
        QVERIFY(QFile::link(nested, base + QStringLiteral("/link")));
        QVERIFY(::checkFolder(base + QStringLiteral("/link")));
    }

    void checkFolderErrors() {
        const QString base = sbtest::makeTempDir(QStringLiteral("checkerr"));
        sbtest::writeFile(base + QStringLiteral("/file"), "x");
        for (const QString& bad : {base + QStringLiteral("/file"), base + QStringLiteral("/file/sub")}) {
            try {
                ::checkFolder(bad);
                QFAIL(qPrintable(QStringLiteral("no error for ") + bad));
            } catch (const SbError& e) {
                QVERIFY2(e.text().contains(bad), qPrintable(e.text()));
            }
        }
        QVERIFY_THROWS_EXCEPTION(SbError, ::checkFolder(QString()));
    }

    void appDataFolder() {
        const QString config = sbtest::makeTempDir(QStringLiteral("config"));
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        const QString expected = config + QStringLiteral("/Sonabin Free/");
        QCOMPARE(getAppDataFolder(QStringLiteral("Sonabin Free"), false), expected);
        QVERIFY(!QFileInfo::exists(expected));
        QCOMPARE(getAppDataFolder(QStringLiteral("Sonabin Free"), true), expected);
        QVERIFY(QFileInfo(expected).isDir());
        QCOMPARE(getAppDataFolder(QString(), false), config + QLatin1Char('/'));

        // A file where the folder should be is reported with the folder's name.
        sbtest::writeFile(config + QStringLiteral("/blocked"), "x");
        try {
            getAppDataFolder(QStringLiteral("blocked"), true);
            QFAIL("no error");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("blocked")), qPrintable(e.text()));
        }

        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(getAppDataFolder(QString(), false), QDir::homePath() + QStringLiteral("/.config/"));
        qputenv("XDG_CONFIG_HOME", saved);
    }

    void musicFolder() {
        const QString home = sbtest::makeTempDir(QStringLiteral("home"));
        const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));

        QCOMPARE(getMusicFolder(), QString()); // ~/Music does not exist
        QDir(home).mkdir(QStringLiteral("Music"));
        QCOMPARE(getMusicFolder(), home + QStringLiteral("/Music"));

        QDir(home).mkpath(QStringLiteral(".config"));
        QDir(home).mkdir(QStringLiteral("Tunes"));
        const QString dirs = home + QStringLiteral("/.config/user-dirs.dirs");
        sbtest::writeFile(dirs, "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
        QCOMPARE(getMusicFolder(), home + QStringLiteral("/Tunes"));
        // xdg-user-dirs marks a disabled folder by pointing it at the home folder.
        sbtest::writeFile(dirs, "XDG_MUSIC_DIR=\"$HOME/\"\n");
        QCOMPARE(getMusicFolder(), QString());

        qputenv("HOME", savedHome);
        qputenv("XDG_CONFIG_HOME", savedConfig);
    }

    void programFolder() {
        const QString exeDir = QCoreApplication::applicationDirPath();
        QCOMPARE(getExeFileName(), QCoreApplication::applicationFilePath());
        QCOMPARE(getProgramFolder(QString()), exeDir + QLatin1Char('/'));
        QCOMPARE(getProgramFolder(QStringLiteral("Lang")), exeDir + QStringLiteral("/Lang/"));
        QVERIFY(!QFileInfo::exists(getProgramFolder(QStringLiteral("NoSuchFolder"))));
    }
};

QTEST_GUILESS_MAIN(TstTools)
#include "tst_tools.moc"
