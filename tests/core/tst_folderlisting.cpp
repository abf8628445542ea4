// One folder's listing, the name order it comes in, names that are not UTF-8, and the play order's picks.
#include "dorTools.h"
#include "folderListing.h"
#include "fsPath.h"
#include "playOrder.h"
#include "safeCopy.h"
#include "sbtest.h"

#include <QSet>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

Q_DECLARE_METATYPE(std::vector<bool>)

namespace {

const QByteArray latin1Name("Caf\xe9 del Mar.mp3");      // "Café del Mar" in Latin-1
const QByteArray cp1251Name("\xcf\xe5\xf1\xed\xff.mp3"); // "Песня" in CP1251
const QByteArray latin1Folder("M\xfcsik");               // "Müsik" in Latin-1
const QByteArray cp1251Folder("\xd0\xee\xea");           // "Рок" in CP1251

bool touch(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    return fd >= 0 && ::write(fd, "data", 4) == 4 && ::close(fd) == 0;
}

bool makeSocket(const QByteArray& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(addr.sun_path))
        return false;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

} // namespace

class TstFolderListing : public QObject {
    Q_OBJECT

private slots:
    // --- the order of names ---

    void nameOrder_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("expected");
        // The C locale of a bare system falls back to the Unicode default order, not to code units.
        QTest::newRow("digits by value")
            << "C" << QStringList{"2.mp3", "9.mp3", "10.mp3", "Track 2.mp3", "Track 10.mp3", "Track 100.mp3"};
        QTest::newRow("letter case ignored")
            << "C" << QStringList{"a.mp3", "B.mp3", "c.mp3", "D.mp3", "x.mp3", "Y.mp3"};
        QTest::newRow("same name in two cases: a fixed order")
            << "en_US" << QStringList{"ABBA.mp3", "Abba.mp3", "abba.mp3", "abbey.mp3"};
        QTest::newRow("accents beside their letter")
            << "de_DE" << QStringList{"a.mp3", "Ä.mp3", "b.mp3", "e.mp3", "é.mp3", "Ü.mp3", "z.mp3"};
        QTest::newRow("the user's locale: Swedish puts Ä after Z")
            << "sv_SE" << QStringList{"a.mp3", "b.mp3", "z.mp3", "Ä.mp3"};
        QTest::newRow("Cyrillic after Latin")
            << "C" << QStringList{"Zoo.mp3", "Ёлка.mp3", "Кино.mp3", "Ясно.mp3"};
        QTest::newRow("leading dots and brackets before letters")
            << "C" << QStringList{"_x.mp3", ".hidden.mp3", "(live).mp3", "[demo].mp3", "1.mp3", "a.mp3"};
        // A name that is not UTF-8 sorts by what it shows: the replacement character comes after letters.
        QTest::newRow("not UTF-8 by what it shows")
            << "C"
            << QStringList{"Cafe.mp3", "Cafz.mp3", pathFromBytes(latin1Name), "D.mp3",
                           pathFromBytes(cp1251Name)};
    }
    void nameOrder() {
        QFETCH(QString, locale);
        QFETCH(QStringList, expected);
        const TNameOrder order{QLocale(locale)};
        // Every rotation and the reverse of the expected order give it back.
        for (qsizetype shift = 0; shift < expected.size(); ++shift) {
            QStringList names = expected.mid(shift) + expected.mid(0, shift);
            order.sort(names);
            QCOMPARE(names, expected);
        }
        QStringList reversed(expected.rbegin(), expected.rend());
        order.sort(reversed);
        QCOMPARE(reversed, expected);
        for (qsizetype i = 0; i + 1 < expected.size(); ++i) {
            QVERIFY(order.lessThan(expected[i], expected[i + 1]));
            QVERIFY(!order.lessThan(expected[i + 1], expected[i]));
        }
    }

    // --- one folder's listing ---

    void listingSortsFoldersAndTracksAndKeepsBytes() {
        const QByteArray dir = pathBytes(sbtest::makeTempDir("listing")) + "/";
        const auto at = [&dir](const QByteArray& name) -> QByteArray { return dir + name; };
        for (const char* name : {"Track 10.mp3", "Track 2.mp3", "b.mp3", "A.MP3", ".hidden.mp3", "notes.txt"})
            QVERIFY(touch(at(name)));
        QVERIFY(touch(at("\xc3\x84.mp3"))); // "Ä.mp3" in UTF-8
        QVERIFY(touch(at(latin1Name)));
        QVERIFY(touch(at(cp1251Name)));
        for (const QByteArray& name : {QByteArray("Rock"), QByteArray("jazz"), QByteArray(".config"),
                                       QByteArray("folder.mp3"), latin1Folder, cp1251Folder})
            QVERIFY(::mkdir(at(name).constData(), 0755) == 0);
        QVERIFY(::symlink("Rock", at("Link to rock").constData()) == 0);
        QVERIFY(::symlink("nowhere", at("dangling.mp3").constData()) == 0);
        QVERIFY(::symlink("nowhere", at("Dangling folder").constData()) == 0);
        QVERIFY(::mkfifo(at("pipe").constData(), 0644) == 0);
        QVERIFY(makeSocket(at("sock")));

        const QString folder = pathFromBytes(dir);
        const TFolderListing all = listFolder(folder, QStringLiteral("mp3"), true, TNameOrder(QLocale::c()));
        const QStringList folders{".config",
                                  "folder.mp3",
                                  "jazz",
                                  "Link to rock",
                                  pathFromBytes(latin1Folder),
                                  "Rock",
                                  pathFromBytes(cp1251Folder)};
        QCOMPARE(all.folders, folders);
        // Entries that are not folders count as files, as the player passes over what does not open.
        QCOMPARE(all.files,
                 (QStringList{".hidden.mp3", "A.MP3", "Ä.mp3", "b.mp3", pathFromBytes(latin1Name),
                              "dangling.mp3", "Track 2.mp3", "Track 10.mp3", pathFromBytes(cp1251Name)}));

        // Only folders: no file, pipe, socket or dangling link, and the same order.
        const TFolderListing only = listFolder(folder, QString(), false, TNameOrder(QLocale::c()));
        QCOMPARE(only.folders, folders);
        QVERIFY(only.files.isEmpty());
        // Every other entry when no extension is asked for: the text, pipe, socket and dangling link.
        const TFolderListing every = listFolder(folder.chopped(1), QString(), true, TNameOrder(QLocale::c()));
        QCOMPARE(every.files.size(), all.files.size() + 4);

        // A listed name keeps its bytes: it opens, counts, copies under the same bytes, and its folder
        // can be listed.
        const QString latin1Track = folder + pathFromBytes(latin1Name);
        const int fd = openRegularFile(latin1Track);
        QVERIFY(fd >= 0);
        ::close(fd);
        QVERIFY(isRegularFile(folder + pathFromBytes(cp1251Name)));
        QVERIFY(isFolder(folder + pathFromBytes(latin1Folder)));
        QVERIFY(touch(at(cp1251Folder + "/" + latin1Name)));
        QCOMPARE(countFiles(folder + pathFromBytes(cp1251Folder), "mp3"), 1);
        QCOMPARE(listFolder(folder + pathFromBytes(cp1251Folder), "mp3").files,
                 QStringList{pathFromBytes(latin1Name)});
        const QString target = folder + pathFromBytes(latin1Folder) + "/" + pathFromBytes(latin1Name);
        QCOMPARE(copyFileNoReplace(latin1Track, target), TCopyResult::Copied);
        struct stat st {};
        QVERIFY(::stat(at(latin1Folder + "/" + latin1Name).constData(), &st) == 0 && S_ISREG(st.st_mode));
        QVERIFY(::access(displayPath(target).toUtf8().constData(), F_OK) != 0); // none under the shown name
        QVERIFY(entryExists(folder + "dangling.mp3"));
        QVERIFY(!isFolder(folder + "Dangling folder"));
    }

    void listingErrors_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("a file") << "file";
        QTest::newRow("empty name") << "empty";
    }
    void listingErrors() {
        QFETCH(QString, kind);
        const QString dir = sbtest::makeTempDir("errors") + "/";
        QString folder;
        if (kind == "missing")
            folder = dir + "gone";
        else if (kind == "file")
            folder = dir + "plain.mp3";
        if (kind == "file")
            QVERIFY(touch(pathBytes(folder)));
        QVERIFY_THROWS_EXCEPTION(SbError, listFolder(folder, "mp3"));
    }

    void displayNameKeepsOneLine_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("line break") << "Side A\nSide B.mp3"
                                    << "Side A\uFFFDSide B.mp3";
        QTest::newRow("carriage return and tab") << "a\r\tb.mp3"
                                                 << "a\uFFFD\uFFFDb.mp3";
        QTest::newRow("C1 control and line separator") << "a\u0085b\u2028c.mp3"
                                                       << "a\uFFFDb\uFFFDc.mp3";
        QTest::newRow("not UTF-8") << pathFromBytes(latin1Name) << "Caf\uFFFD del Mar.mp3";
        QTest::newRow("plain") << "Ä <b>x</b>.mp3"
                               << "Ä <b>x</b>.mp3";
    }
    void displayNameKeepsOneLine() {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QCOMPARE(displayName(name), shown);
    }

    // --- play order ---

    void randomPicksOtherTracksOnly_data() {
        QTest::addColumn<std::vector<bool>>("tracks"); // per row: a track entry?
        QTest::addColumn<int>("playing");
        QTest::addColumn<QList<int>>("reachable");
        QTest::newRow("parent, folders, three tracks")
            << std::vector<bool>{false, false, false, true, true, true} << 4 << QList<int>{3, 5};
        QTest::newRow("nothing playing yet")
            << std::vector<bool>{false, true, true} << -1 << QList<int>{1, 2};
        QTest::newRow("a folder entry selected")
            << std::vector<bool>{false, false, true, true} << 1 << QList<int>{2, 3};
        QTest::newRow("two tracks: always the other") << std::vector<bool>{true, true} << 0 << QList<int>{1};
        QTest::newRow("one track: it again") << std::vector<bool>{false, true} << 1 << QList<int>{1};
        QTest::newRow("no tracks") << std::vector<bool>{false, false} << -1 << QList<int>{};
        QTest::newRow("empty list") << std::vector<bool>{} << -1 << QList<int>{};
    }
    void randomPicksOtherTracksOnly() {
        QFETCH(std::vector<bool>, tracks);
        QFETCH(int, playing);
        QFETCH(QList<int>, reachable);
        QRandomGenerator generator(42);
        const auto isTrack = [&tracks](int row) { return bool(tracks[size_t(row)]); };
        QSet<int> seen;
        for (int i = 0; i < 200; ++i)
            seen.insert(randomTrackRow(int(tracks.size()), isTrack, playing, generator));
        if (reachable.isEmpty())
            QCOMPARE(seen, QSet<int>{-1});
        else
            QCOMPARE(seen, QSet<int>(reachable.begin(), reachable.end()));
    }

    void orderInSequence() {
        const auto isTrack = [](int row) { return row >= 2; };
        QCOMPARE(firstTrackRow(5, isTrack), 2);
        QCOMPARE(firstTrackRow(2, isTrack), -1);
        QCOMPARE(nextRow(5, 3), 4);
        QCOMPARE(nextRow(5, 4), -1);
        QCOMPARE(nextRow(5, -1), -1);
        QCOMPARE(previousRow(5, 1), 0);
        QCOMPARE(previousRow(5, 0), -1);
        QCOMPARE(previousRow(5, -1), -1);
    }
};

QTEST_GUILESS_MAIN(TstFolderListing)
#include "tst_folderlisting.moc"
