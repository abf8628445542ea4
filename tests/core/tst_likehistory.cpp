// Taking back a Like: only the very file the Like's copy wrote is ever removed, newest Like first.
#include "likeHistory.h"
#include "safeCopy.h"
#include "sbtest.h"
#include "tmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TestLikeHistory : public QObject {
    Q_OBJECT

    QString music;      // the liked tracks, never touched
    QString collection; // where the copies go

    // Likes `name` the way the Like action does and records it.
    void like(TLikeHistory& history, const QString& name) {
        TLikeRecord record{music + name, collection + name, QStringLiteral("Favorites"), {}};
        QCOMPARE(copyFileNoReplace(record.source, record.target, &record.stamp), TCopyResult::Copied);
        history.add(record);
    }

private slots:
    void init() {
        music = sbtest::makeTempDir(QStringLiteral("music")) + QLatin1Char('/');
        collection = sbtest::makeTempDir(QStringLiteral("collection")) + QLatin1Char('/');
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
            QVERIFY(sbtest::writeFile(music + QLatin1String(name), QByteArray(name) + QByteArray(4000, 'x')));
    }
    void cleanup() {
        waitForCopiesOnDisk();
        setCopyFallbackLevelForTests(0);
    }

    // Each way the copy may have to be named on some file system gives the stamp of the file named.
    void takesBackNewestFirst_data() {
        QTest::addColumn<int>("level");
        QTest::newRow("rename without replace") << 0;
        QTest::newRow("read/write loop") << 1;
        QTest::newRow("hard link") << 2;
        QTest::newRow("reserved name") << 3;
    }
    void takesBackNewestFirst() {
        QFETCH(int, level);
        setCopyFallbackLevelForTests(level);
        TLikeHistory history;
        like(history, QStringLiteral("a.mp3"));
        like(history, QStringLiteral("b.mp3"));
        QCOMPARE(history.size(), 2);

        TTakeBack done = history.takeBackLast();
        QCOMPARE(done.result, TTakeBack::Removed);
        QCOMPARE(done.like.source, music + "b.mp3");
        QVERIFY(!QFileInfo::exists(collection + "b.mp3"));
        QVERIFY(QFileInfo::exists(collection + "a.mp3"));

        done = history.takeBackLast();
        QCOMPARE(done.result, TTakeBack::Removed);
        QCOMPARE(done.like.source, music + "a.mp3");
        QCOMPARE(QDir(collection).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());

        QCOMPARE(history.takeBackLast().result, TTakeBack::Nothing);
        // The tracks themselves are never touched.
        QCOMPARE(QDir(music).entryList(QDir::Files).size(), 3);
    }

    // Whatever now stands under the copy's name, unless it is the copy as written, stays as it is; the
    // Like is done with, and the next take-back goes on to the one before.
    void leavesWhatIsNotTheCopy_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("result");
        QTest::newRow("tags edited, longer") << "append" << int(TTakeBack::Changed);
        QTest::newRow("same size, new time") << "touch" << int(TTakeBack::Changed);
        QTest::newRow("same bytes and time, other file") << "replace" << int(TTakeBack::Changed);
        QTest::newRow("a link to the copy") << "link" << int(TTakeBack::Changed);
        QTest::newRow("a folder") << "folder" << int(TTakeBack::Changed);
        QTest::newRow("deleted") << "delete" << int(TTakeBack::Missing);
        QTest::newRow("moved away") << "move" << int(TTakeBack::Missing);
    }
    void leavesWhatIsNotTheCopy() {
        QFETCH(QString, change);
        QFETCH(int, result);
        TLikeHistory history;
        like(history, QStringLiteral("a.mp3"));
        like(history, QStringLiteral("b.mp3"));
        const QString copy = collection + "b.mp3";
        const QString aside = sbtest::makeTempDir(QStringLiteral("aside")) + QStringLiteral("/b.mp3");
        const QByteArray bytes = sbtest::readFile(copy);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(copy).constData(), &st), 0);
        const struct timespec sameTimes[2] = {st.st_atim, st.st_mtim};

        if (change == "append") {
            QVERIFY(sbtest::writeFile(copy, bytes + "TAG"));
        } else if (change == "touch") {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {st.st_mtim.tv_sec + 60, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(copy).constData(), times, 0), 0);
        } else if (change == "replace") {
            // Another file with the very bytes and time, put in place the way an editor saves.
            QVERIFY(sbtest::writeFile(aside, bytes));
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(aside).constData(), sameTimes, 0), 0);
            QCOMPARE(::rename(QFile::encodeName(aside).constData(), QFile::encodeName(copy).constData()), 0);
        } else if (change == "link") {
            QVERIFY(QFile::rename(copy, aside));
            QVERIFY(QFile::link(aside, copy));
        } else if (change == "folder") {
            QVERIFY(QFile::remove(copy));
            QVERIFY(QDir().mkdir(copy));
        } else if (change == "delete") {
            QVERIFY(QFile::remove(copy));
        } else if (change == "move") {
            QVERIFY(QFile::rename(copy, aside));
        }
        QFileInfo before(copy);
        const QByteArray contentBefore = before.isFile() ? sbtest::readFile(copy) : QByteArray();

        const TTakeBack done = history.takeBackLast();
        QCOMPARE(int(done.result), result);
        QCOMPARE(done.like.target, copy);
        QCOMPARE(QFileInfo(copy).exists() || QFileInfo(copy).isSymLink(), result == TTakeBack::Changed);
        if (before.isFile())
            QCOMPARE(sbtest::readFile(copy), contentBefore);
        if (change == "link" || change == "move")
            QCOMPARE(sbtest::readFile(aside), bytes);

        QCOMPARE(history.size(), 1);
        QCOMPARE(history.takeBackLast().result, TTakeBack::Removed);
        QVERIFY(!QFileInfo::exists(collection + "a.mp3"));
    }

    // A removal the system refuses keeps the Like, so that it can be taken back once that is fixed.
    void keepsTheLikeWhenRemovalFails() {
        sbtest::TmpfsMount mount(sbtest::makeTempDir(QStringLiteral("tmpfs")));
        if (!mount.mounted)
            QSKIP("mounting a tmpfs needs root");
        collection = mount.path + QLatin1Char('/');
        TLikeHistory history;
        like(history, QStringLiteral("c.mp3"));
        waitForCopiesOnDisk();
        QVERIFY(mount.remount(MS_RDONLY));

        TTakeBack done = history.takeBackLast();
        QCOMPARE(done.result, TTakeBack::Failed);
        QCOMPARE(done.error, EROFS);
        QVERIFY(QFileInfo::exists(collection + "c.mp3"));
        QCOMPARE(history.size(), 1);

        QVERIFY(mount.remount(0));
        done = history.takeBackLast();
        QCOMPARE(done.result, TTakeBack::Removed);
        QVERIFY(!QFileInfo::exists(collection + "c.mp3"));
        QVERIFY(history.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLikeHistory)
#include "tst_likehistory.moc"
