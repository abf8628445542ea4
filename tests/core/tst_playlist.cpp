// The play list without a window: loading a folder, and which row comes next, before, at random and first.
#include "dorTools.h"
#include "fsPath.h"
#include "playList.h"
#include "sbtest.h"
#include "sortedIndex.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString blanks = TPlayList::titleBlanks;

// Parent, a sub-folder and four tracks; `sorted` names the tracks a bound collection holds.
struct Fixture {
    QString collection = sbtest::makeTempDir("collection") + "/";
    TSortedIndex index;
    TPlayList list;

    explicit Fixture(const QStringList& sorted = {}) {
        list.append("[..]", "/", QString(), TPlayList::kindFolder, "..");
        list.append("[Sub]", "/m/", QString(), TPlayList::kindFolder, "Sub");
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"})
            list.append("MP3", "/m/", name, TPlayList::kindTrack);
        index.bind(collection, QString(), true);
        for (const QString& name : sorted)
            index.added(collection, name);
        list.setSortedIndex(&index);
        list.setRandomGenerator(QRandomGenerator(42));
    }
};

// While it lives, this thread is held to the folders' permissions even as root: the capabilities that
// override them are taken out of effect (they stay permitted, so they come back).
class NoPermissionOverride {
public:
    NoPermissionOverride() {
        ::syscall(SYS_capget, &header, saved);
        __user_cap_data_struct held[2] = {saved[0], saved[1]};
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            held[cap / 32].effective &= ~(1u << (cap % 32));
        ::syscall(SYS_capset, &header, held);
    }
    ~NoPermissionOverride() { ::syscall(SYS_capset, &header, saved); }

private:
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{};
};

} // namespace

class TstPlayList : public QObject {
    Q_OBJECT

private slots:
    void loadListsParentFoldersAndTracks() {
        const QString music = sbtest::makeTempDir("Music") + "/";
        QDir dir(music);
        QVERIFY(dir.mkdir("Rock") && dir.mkdir("[Live]"));
        const QString latin1 = pathFromBytes("Caf\xe9.mp3"); // not UTF-8: shown with a replacement mark
        for (const QString& name : {QString("b.mp3"), QString("A.MP3"), latin1, QString("notes.txt")}) {
            const int fd = ::open(pathBytes(music + name).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            QVERIFY(fd >= 0 && ::close(fd) == 0); // by its bytes
        }

        TPlayList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        list.append("MP3", "/old/", "old.mp3", TPlayList::kindTrack);
        list.setCurrentRow(0);
        QVERIFY(list.load(music.chopped(1)));
        QCOMPARE(list.folder(), music);
        QCOMPARE(list.currentRow(), -1); // the old row means nothing in the new list

        const QStringList titles{"[..]", "[Live]", "[Rock]", "MP3", "MP3", "MP3"};
        const QStringList subtitles{QDir::cleanPath(music + "..") + "/", music, music, music, music, music};
        const QStringList descriptions{"", "", "", "A.MP3", "b.mp3", latin1};
        const QStringList folderNames{"..", "[Live]", "Rock", "", "", ""};
        QCOMPARE(list.count(), titles.size());
        for (int row = 0; row < list.count(); ++row) {
            const TTrackEntry& e = list.entry(row);
            QCOMPARE(e.title, titles[row] + blanks);
            QCOMPARE(e.subtitle, subtitles[row]);
            QCOMPARE(e.description, descriptions[row]);
            QCOMPARE(e.folderName, folderNames[row]);
            QCOMPARE(list.data(list.index(row), TPlayList::KindRole).toInt(),
                     int(row < 3 ? TPlayList::kindFolder : TPlayList::kindTrack));
        }
        QCOMPARE(list.trackCount(), 3);
        // The name keeps its bytes for the open; what the list shows is one readable line.
        QCOMPARE(list.rowOf(music + latin1), 5);
        QCOMPARE(list.data(list.index(5), Qt::ToolTipRole).toString(), music + "Caf\uFFFD.mp3");

        // A folder without tracks still lists its parent and folders; the root has no parent entry.
        QVERIFY(list.load(music + "Rock"));
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.trackCount(), 0);
        QVERIFY(list.load("/"));
        QVERIFY(list.count() > 0);
        QCOMPARE(list.entry(0).subtitle, QString("/"));
        QVERIFY(list.entry(0).folderName != TPlayList::parentFolderName);
    }

    void loadFailureKeepsTheList_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("throws");
        QTest::newRow("vanished") << "vanished" << false;
        QTest::newRow("a file") << "file" << false;
        QTest::newRow("no name") << "empty" << false;
        QTest::newRow("cannot be read") << "unreadable" << true;
    }
    void loadFailureKeepsTheList() {
        QFETCH(QString, kind);
        QFETCH(bool, throws);
        const QString music = sbtest::makeTempDir("Kept") + "/";
        QVERIFY(sbtest::writeFile(music + "one.mp3", "x"));
        QVERIFY(QDir(music).mkdir("Other"));
        TPlayList list;
        QVERIFY(list.load(music));
        list.setCurrentRow(2);
        const int rows = list.count();
        QSignalSpy resets(&list, &QAbstractItemModel::modelAboutToBeReset);

        QString target = music + "Other";
        if (kind == "vanished")
            QVERIFY(QDir(target).removeRecursively());
        else if (kind == "file")
            target = music + "one.mp3";
        else if (kind == "empty")
            target.clear();
        if (throws) {
            QVERIFY(::chmod(pathBytes(target).constData(), 0) == 0);
            const auto restore = qScopeGuard([&] { ::chmod(pathBytes(target).constData(), 0755); });
            NoPermissionOverride held;
            if (DIR* d = ::opendir(pathBytes(target).constData())) {
                ::closedir(d);
                QSKIP("this system lets the test read a folder without permissions");
            }
            QVERIFY_THROWS_EXCEPTION(SbError, list.load(target));
        } else {
            QVERIFY(!list.load(target));
        }
        QCOMPARE(list.count(), rows);
        QCOMPARE(list.entry(rows - 1).description, QString("one.mp3"));
        QCOMPARE(list.folder(), music);
        QCOMPARE(list.currentRow(), 2);
        QCOMPARE(resets.count(), 0);
    }

    // From the current row: the entry after it (folders included, sorted tracks passed over when asked),
    // and the entry before it (never passing over anything); no wrap-around at either end.
    void orderFromTheCurrentRow_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("skipSorted");
        QTest::addColumn<int>("next");
        QTest::addColumn<int>("previous");
        // Rows: 0 parent, 1 Sub, 2 a, 3 b (sorted), 4 c (sorted), 5 d.
        QTest::newRow("nothing current") << -1 << false << -1 << -1;
        QTest::newRow("parent entry") << 0 << false << 1 << -1;
        QTest::newRow("folder to first track") << 1 << true << 2 << 0;
        QTest::newRow("plain order") << 2 << false << 3 << 1;
        QTest::newRow("over sorted tracks") << 2 << true << 5 << 1;
        QTest::newRow("back onto a sorted track") << 5 << true << -1 << 4;
        QTest::newRow("last entry") << 5 << false << -1 << 4;
        QTest::newRow("from a sorted track") << 3 << true << 5 << 2;
        QTest::newRow("out of range") << 6 << false << -1 << -1;
    }
    void orderFromTheCurrentRow() {
        QFETCH(int, current);
        QFETCH(bool, skipSorted);
        QFETCH(int, next);
        QFETCH(int, previous);
        Fixture f({"b.mp3", "c.mp3"});
        f.list.setCurrentRow(current);
        QCOMPARE(f.list.currentRow(), current < f.list.count() ? current : -1);
        QCOMPARE(f.list.next(skipSorted), next);
        QCOMPARE(f.list.previous(), previous);
    }

    void randomDrawsTracksToSort_data() {
        QTest::addColumn<QStringList>("sorted");
        QTest::addColumn<bool>("skipSorted");
        QTest::addColumn<int>("playing");
        QTest::addColumn<QList<int>>("reachable");
        // Rows: 0 parent, 1 Sub, 2 a, 3 b, 4 c, 5 d. The raw draw is tested with the play order itself.
        QTest::newRow("sorted ones drawn without the option")
            << QStringList{"b.mp3"} << false << 2 << QList<int>{3, 4, 5};
        QTest::newRow("sorted ones passed over") << QStringList{"b.mp3"} << true << 2 << QList<int>{4, 5};
        QTest::newRow("a sorted track playing") << QStringList{"b.mp3"} << true << 3 << QList<int>{2, 4, 5};
        QTest::newRow("the last one to sort, again")
            << QStringList{"b.mp3", "c.mp3", "d.mp3"} << true << 2 << QList<int>{2};
        QTest::newRow("all sorted") << QStringList{"a.mp3", "b.mp3", "c.mp3", "d.mp3"} << true << 2
                                    << QList<int>{};
    }
    void randomDrawsTracksToSort() {
        QFETCH(QStringList, sorted);
        QFETCH(bool, skipSorted);
        QFETCH(int, playing);
        QFETCH(QList<int>, reachable);
        Fixture f(sorted);
        QSet<int> seen;
        for (int i = 0; i < 200; ++i)
            seen.insert(f.list.randomTrack(playing, skipSorted));
        QCOMPARE(seen, reachable.isEmpty() ? QSet<int>{-1} : QSet<int>(reachable.begin(), reachable.end()));
    }

    void startRow_data() {
        QTest::addColumn<QString>("preferred");
        QTest::addColumn<QString>("resume");
        QTest::addColumn<int>("row");
        QTest::newRow("first track") << QString() << QString() << 2;
        QTest::newRow("preferred before resume") << QString("d.mp3") << QString("c.mp3") << 5;
        QTest::newRow("resume") << QString() << QString("c.mp3") << 4;
        QTest::newRow("preferred gone: resume") << QString("x.mp3") << QString("c.mp3") << 4;
        QTest::newRow("both gone: first track") << QString("x.mp3") << QString("y.mp3") << 2;
        QTest::newRow("a folder's name is no track") << QString("Sub") << QString() << 2;
    }
    void startRow() {
        QFETCH(QString, preferred);
        QFETCH(QString, resume);
        QFETCH(int, row);
        Fixture f;
        QCOMPARE(f.list.startRow(preferred, resume), row);

        TPlayList foldersOnly;
        foldersOnly.append("[..]", "/", QString(), TPlayList::kindFolder, "..");
        QCOMPARE(foldersOnly.startRow(preferred, resume), -1);
    }
};

QTEST_GUILESS_MAIN(TstPlayList)
#include "tst_playlist.moc"
