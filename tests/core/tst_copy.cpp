// The copy used by the Like action: complete or nothing, never over an existing file.
#include "dorTools.h"
#include "fifoWatch.h"
#include "safeCopy.h"
#include "sbtest.h"
#include "tmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 977) & 0xff);
    return bytes;
}

int threadCount() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

class TestCopy : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        waitForCopiesOnDisk();
        setCopyFallbackLevelForTests(0);
        setCopyBeforeCommitHookForTests({});
        setCopyBeforeSyncHookForTests({});
        setCopySyncFailureForTests(0);
        setCopyDiskErrorHandler({});
    }

    void copiesWholeFileAndKeepsSource_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<qsizetype>("size");
        const qsizetype sizes[] = {0, 1, 3 * 1024 * 1024 + 17};
        for (int level = 0; level <= 3; ++level)
            for (qsizetype size : sizes)
                QTest::addRow("level %d, %lld bytes", level, static_cast<long long>(size)) << level << size;
    }
    void copiesWholeFileAndKeepsSource() {
        QFETCH(int, level);
        QFETCH(qsizetype, size);
        setCopyFallbackLevelForTests(level);
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        const QString to = sbtest::makeTempDir(QStringLiteral("to"));
        const QString source = from + QStringLiteral("/Track ü 01.mp3");
        const QByteArray bytes = pattern(size);
        QVERIFY(sbtest::writeFile(source, bytes));
        QVERIFY(::chmod(QFile::encodeName(source).constData(), 0640) == 0);
        const QDateTime stamp = QDateTime::fromSecsSinceEpoch(1'500'000'000);
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        }
        const QString target = to + QStringLiteral("/Track ü 01.mp3");

        QCOMPARE(copyFileNoReplace(source, target), TCopyResult::Copied);

        QCOMPARE(sbtest::readFile(target), bytes);
        QCOMPARE(sbtest::readFile(source), bytes);
        QCOMPARE(entries(to), QStringList{QStringLiteral("Track ü 01.mp3")});
        QCOMPARE(entries(from), QStringList{QStringLiteral("Track ü 01.mp3")});
        QCOMPARE(QFileInfo(target).lastModified(), stamp);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(target).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 0777, 0640u & ~0022u & 0777);
    }

    // Whether the name is taken before the copy starts or while it runs, the file there stays as it was.
    void neverReplacesExistingFile_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("appearsDuringCopy");
        for (int level = 0; level <= 3; ++level) {
            QTest::addRow("level %d, there before", level) << level << false;
            QTest::addRow("level %d, appears during the copy", level) << level << true;
        }
    }
    void neverReplacesExistingFile() {
        QFETCH(int, level);
        QFETCH(bool, appearsDuringCopy);
        setCopyFallbackLevelForTests(level);
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        const QString to = sbtest::makeTempDir(QStringLiteral("to"));
        const QString source = from + QStringLiteral("/a.mp3");
        const QString target = to + QStringLiteral("/a.mp3");
        QVERIFY(sbtest::writeFile(source, pattern(5000)));
        const QByteArray theirs("someone else's file");
        if (appearsDuringCopy)
            setCopyBeforeCommitHookForTests([&] { sbtest::writeFile(target, theirs); });
        else
            QVERIFY(sbtest::writeFile(target, theirs));

        QCOMPARE(copyFileNoReplace(source, target), TCopyResult::TargetExists);

        QCOMPARE(sbtest::readFile(target), theirs);
        QCOMPARE(entries(to), QStringList{QStringLiteral("a.mp3")});
    }

    void sameFileIsAlreadyThere() {
        const QString dir = sbtest::makeTempDir(QStringLiteral("same"));
        const QString file = dir + QStringLiteral("/a.mp3");
        QVERIFY(sbtest::writeFile(file, pattern(100)));
        QCOMPARE(copyFileNoReplace(file, file), TCopyResult::TargetExists);
        QCOMPARE(sbtest::readFile(file), pattern(100));
    }

    // The copy is whole and named when the call returns; the sync to the disk comes after, in the
    // background, and waitForCopiesOnDisk waits for it.
    void copyIsNamedBeforeItsSyncAndWaitedFor() {
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        const QString to = sbtest::makeTempDir(QStringLiteral("to"));
        const QString source = from + QStringLiteral("/a.mp3");
        const QString target = to + QStringLiteral("/a.mp3");
        const QByteArray bytes = pattern(2 * 1024 * 1024 + 5);
        QVERIFY(sbtest::writeFile(source, bytes));
        std::atomic<bool> release{false};
        std::atomic<bool> synced{false};
        QByteArray seenBySync;
        setCopyBeforeSyncHookForTests([&] {
            seenBySync = sbtest::readFile(target);
            while (!release.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            synced.store(true);
        });
        int reports = 0;
        setCopyDiskErrorHandler([&](const SbText&) { ++reports; });
        const int threadsBefore = threadCount();

        QCOMPARE(copyFileNoReplace(source, target), TCopyResult::Copied);

        QCOMPARE(sbtest::readFile(target), bytes); // named and whole while its sync is held back
        QCOMPARE(entries(to), QStringList{QStringLiteral("a.mp3")});
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            release.store(true);
        });
        waitForCopiesOnDisk();
        const bool wasSynced = synced.load();
        releaser.join();
        QVERIFY(wasSynced);
        QCOMPARE(threadCount(), threadsBefore); // the worker is gone once nothing waits for the disk
        QCOMPARE(seenBySync, bytes);
        QCOMPARE(reports, 0);
        QCOMPARE(sbtest::readFile(target), bytes);
    }

    // A write error found by the background sync: the copy cannot be trusted and goes, but only while its
    // name still refers to it; the source stays, and the user is told once.
    void lateWriteErrorRemovesOnlyTheCopy_data() {
        QTest::addColumn<bool>("replacedMeanwhile");
        QTest::addColumn<QString>("expected");
        QTest::newRow("copy still there") << false << "the copy in \"to\" was removed";
        QTest::newRow("another file took the name") << true << "nothing was removed";
    }
    void lateWriteErrorRemovesOnlyTheCopy() {
        QFETCH(bool, replacedMeanwhile);
        QFETCH(QString, expected);
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        const QString to = sbtest::makeTempDir(QStringLiteral("to")) + QStringLiteral("/to");
        QVERIFY(QDir().mkpath(to));
        const QString source = from + QStringLiteral("/Track.mp3");
        const QString target = to + QStringLiteral("/Track.mp3");
        const QByteArray bytes = pattern(300 * 1024);
        const QByteArray theirs("a file put there after the copy");
        QVERIFY(sbtest::writeFile(source, bytes));
        setCopySyncFailureForTests(EIO);
        if (replacedMeanwhile)
            setCopyBeforeSyncHookForTests([&] {
                QFile::rename(target, to + QStringLiteral("/moved.mp3"));
                sbtest::writeFile(target, theirs);
            });
        QStringList reports;
        setCopyDiskErrorHandler([&](const SbText& message) { reports << message.english(); });

        QCOMPARE(copyFileNoReplace(source, target), TCopyResult::Copied);
        waitForCopiesOnDisk();

        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].startsWith(QStringLiteral("\"Track.mp3\" could not be written to the disk "
                                                      "(Input/output error)")),
                 qPrintable(reports[0]));
        QVERIFY2(reports[0].contains(expected), qPrintable(reports[0]));
        QCOMPARE(sbtest::readFile(source), bytes);
        QCOMPARE(entries(from), QStringList{QStringLiteral("Track.mp3")});
        if (replacedMeanwhile) {
            QCOMPARE(entries(to), (QStringList{QStringLiteral("Track.mp3"), QStringLiteral("moved.mp3")}));
            QCOMPARE(sbtest::readFile(target), theirs);
        } else {
            QVERIFY(entries(to).isEmpty());
        }
    }

    // A copy cut short by a crash leaves its hidden part behind; the cleanup removes exactly those parts
    // that nobody is writing, and nothing else.
    void staleCopyPartsAreRemoved() {
        const QString dir = sbtest::makeTempDir(QStringLiteral("stale"));
        const QString outside = sbtest::makeTempDir(QStringLiteral("outside"));
        const QString elsewhere = outside + QStringLiteral("/.sonabin-0ut.part");
        QVERIFY(sbtest::writeFile(dir + QStringLiteral("/.sonabin-dead.part"), pattern(1000)));
        QVERIFY(sbtest::writeFile(dir + QStringLiteral("/.sonabin-busy.part"), pattern(1000)));
        QVERIFY(sbtest::writeFile(dir + QStringLiteral("/song.mp3"), pattern(10)));
        QVERIFY(sbtest::writeFile(dir + QStringLiteral("/.sonabin-x.mp3"), pattern(10)));
        QVERIFY(sbtest::writeFile(dir + QStringLiteral("/sonabin-x.part"), pattern(10)));
        QVERIFY(QDir(dir).mkdir(QStringLiteral(".sonabin-dir.part")));
        QVERIFY(sbtest::writeFile(elsewhere, pattern(10)));
        QVERIFY(QFile::link(elsewhere, dir + QStringLiteral("/.sonabin-link.part")));
        const int busy = ::open(QFile::encodeName(dir + QStringLiteral("/.sonabin-busy.part")).constData(),
                                O_RDWR | O_CLOEXEC);
        QVERIFY(busy >= 0);
        QVERIFY(::flock(busy, LOCK_EX) == 0);

        QCOMPARE(removeStaleCopyParts(dir), 1);
        ::close(busy);

        QCOMPARE(entries(dir), (QStringList{".sonabin-busy.part", ".sonabin-dir.part", ".sonabin-link.part",
                                            ".sonabin-x.mp3", "sonabin-x.part", "song.mp3"}));
        QCOMPARE(sbtest::readFile(elsewhere), pattern(10));
        QCOMPARE(removeStaleCopyParts(dir), 1); // its writer has let go
        QCOMPARE(removeStaleCopyParts(dir + QStringLiteral("/missing")), 0);
    }

    // Every collection of the base folder is cleaned, a linked one too; the base folder itself, deeper
    // folders and a part another running instance holds are left alone.
    void staleCopyPartsGoInEveryCollection() {
        const QString base = sbtest::makeTempDir(QStringLiteral("base"));
        const QString outside = sbtest::makeTempDir(QStringLiteral("linked"));
        for (const char* folder : {"Favorites", "Jazz", "Jazz/Deeper", "Empty"})
            QVERIFY(QDir(base).mkpath(QLatin1String(folder)));
        QVERIFY(QFile::link(outside, base + QStringLiteral("/Linked")));
        const QStringList stale = {"Favorites/.sonabin-1.part", "Jazz/.sonabin-2.part",
                                   "Linked/.sonabin-3.part"};
        const QStringList kept = {".sonabin-base.part", "Jazz/Deeper/.sonabin-deep.part",
                                  "Jazz/.sonabin-busy.part", "Jazz/song.mp3"};
        for (const QString& name : stale + kept)
            QVERIFY(sbtest::writeFile(base + QLatin1Char('/') + name, pattern(100)));
        QVERIFY(sbtest::writeFile(base + QStringLiteral("/not-a-folder"), pattern(10)));
        const int busy =
            ::open(QFile::encodeName(base + QStringLiteral("/Jazz/.sonabin-busy.part")).constData(),
                   O_RDWR | O_CLOEXEC);
        QVERIFY(busy >= 0);
        QVERIFY(::flock(busy, LOCK_EX) == 0); // as a copy running in another instance holds it

        QCOMPARE(removeStaleCopyPartsInCollections(base), 3);
        ::close(busy);

        for (const QString& name : stale)
            QVERIFY2(!QFileInfo::exists(base + QLatin1Char('/') + name), qPrintable(name));
        for (const QString& name : kept)
            QVERIFY2(QFileInfo::exists(base + QLatin1Char('/') + name), qPrintable(name));
        QCOMPARE(removeStaleCopyPartsInCollections(base + QStringLiteral("/missing")), 0);
    }

    // A source that is not a regular file is refused without being opened: opening a pipe nobody writes
    // to would block the window for good.
    void specialSourceRefusedUnopened_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "fifo";
        QTest::newRow("link to /dev/zero") << "devzero";
    }
    void specialSourceRefusedUnopened() {
        QFETCH(QString, kind);
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        const QString to = sbtest::makeTempDir(QStringLiteral("to"));
        const QString source = from + QStringLiteral("/x.mp3");
        std::unique_ptr<sbtest::FifoWatch> fifo;
        if (kind == QLatin1String("fifo")) {
            fifo = std::make_unique<sbtest::FifoWatch>(source);
            QVERIFY(fifo->made());
        } else {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), source));
        }
        try {
            copyFileNoReplace(source, to + QStringLiteral("/x.mp3"));
            QFAIL("no error");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("it is not a file")), qPrintable(e.text()));
        }
        if (fifo)
            QVERIFY(!fifo->wasOpened());
        QVERIFY(entries(to).isEmpty());
    }

    // A cleanup run while a copy is being written into the same folder (another instance starting) leaves
    // that copy alone.
    void cleanupSparesCopyInProgress() {
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        const QString to = sbtest::makeTempDir(QStringLiteral("to"));
        QVERIFY(sbtest::writeFile(from + QStringLiteral("/a.mp3"), pattern(100 * 1024)));
        int removed = -1;
        setCopyBeforeCommitHookForTests([&] { removed = removeStaleCopyParts(to); });
        QCOMPARE(copyFileNoReplace(from + QStringLiteral("/a.mp3"), to + QStringLiteral("/a.mp3")),
                 TCopyResult::Copied);
        QCOMPARE(removed, 0);
        QCOMPARE(sbtest::readFile(to + QStringLiteral("/a.mp3")), pattern(100 * 1024));
        QCOMPARE(entries(to), QStringList{QStringLiteral("a.mp3")});
    }

    void failuresLeaveNothingAndSayWhy_data() {
        QTest::addColumn<QString>("sourceName"); // relative to the source folder; "" is the folder itself
        QTest::addColumn<QString>("targetName"); // relative to the target folder
        QTest::addColumn<QString>("expected");
        QTest::newRow("source gone") << "gone.mp3"
                                     << "gone.mp3"
                                     << "does not exist";
        QTest::newRow("source is a folder") << ""
                                            << "x.mp3"
                                            << "it is not a file";
        QTest::newRow("target folder missing") << "a.mp3"
                                               << "missing/a.mp3"
                                               << "does not exist";
        QTest::newRow("target names a folder") << "a.mp3"
                                               << "sub/"
                                               << "is not a file name";
        QTest::newRow("target empty") << "a.mp3" << QString() << "is not a file name";
    }
    void failuresLeaveNothingAndSayWhy() {
        QFETCH(QString, sourceName);
        QFETCH(QString, targetName);
        QFETCH(QString, expected);
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        const QString to = sbtest::makeTempDir(QStringLiteral("to"));
        QVERIFY(sbtest::writeFile(from + QStringLiteral("/a.mp3"), pattern(1000)));
        QVERIFY(QDir(to).mkdir(QStringLiteral("sub")));
        const QString source = sourceName.isEmpty() ? from : from + QLatin1Char('/') + sourceName;
        const QString target = targetName.isNull() ? QString() : to + QLatin1Char('/') + targetName;
        try {
            copyFileNoReplace(source, target);
            QFAIL("no error");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(expected), qPrintable(e.text()));
        }
        QCOMPARE(entries(to), QStringList{QStringLiteral("sub")});
        QCOMPARE(entries(from), QStringList{QStringLiteral("a.mp3")});
    }

    void permissionDenied() {
        if (::geteuid() == 0)
            QSKIP("root may write anywhere");
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        const QString to = sbtest::makeTempDir(QStringLiteral("locked"));
        QVERIFY(sbtest::writeFile(from + QStringLiteral("/a.mp3"), pattern(1000)));
        QVERIFY(::chmod(QFile::encodeName(to).constData(), 0555) == 0);
        try {
            copyFileNoReplace(from + QStringLiteral("/a.mp3"), to + QStringLiteral("/a.mp3"));
            QFAIL("no error");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("Permission denied")), qPrintable(e.text()));
        }
        ::chmod(QFile::encodeName(to).constData(), 0755);
        QVERIFY(entries(to).isEmpty());
    }

    void fullDiskLeavesNoPartialFile_data() {
        QTest::addColumn<int>("level");
        QTest::newRow("kernel copy") << 0;
        QTest::newRow("read and write") << 1;
    }
    void fullDiskLeavesNoPartialFile() {
        QFETCH(int, level);
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        setCopyFallbackLevelForTests(level);
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        sbtest::TmpfsMount disk(sbtest::makeTempDir(QStringLiteral("small")), "size=256k");
        if (!disk.mounted)
            QSKIP("this system does not allow mounting a tmpfs");
        const QString source = from + QStringLiteral("/big.mp3");
        QVERIFY(sbtest::writeFile(source, pattern(1024 * 1024)));
        QVERIFY(sbtest::writeFile(disk.path + QStringLiteral("/small.mp3"), pattern(1000)));
        try {
            copyFileNoReplace(source, disk.path + QStringLiteral("/big.mp3"));
            QFAIL("no error");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("No space left on device")), qPrintable(e.text()));
            QVERIFY2(e.text().contains(source), qPrintable(e.text()));
        }
        QCOMPARE(entries(disk.path), QStringList{QStringLiteral("small.mp3")});
        QCOMPARE(sbtest::readFile(source).size(), 1024 * 1024);
        // The space is free again: a file that fits still goes in.
        const QString fits = from + QStringLiteral("/fits.mp3");
        QVERIFY(sbtest::writeFile(fits, pattern(100 * 1024)));
        QCOMPARE(copyFileNoReplace(fits, disk.path + QStringLiteral("/fits.mp3")), TCopyResult::Copied);
    }

    void readOnlyFileSystem() {
        if (::geteuid() != 0)
            QSKIP("mounting a tmpfs needs root");
        const QString from = sbtest::makeTempDir(QStringLiteral("from"));
        sbtest::TmpfsMount disk(sbtest::makeTempDir(QStringLiteral("ro")), "size=64k", MS_RDONLY);
        if (!disk.mounted)
            QSKIP("this system does not allow mounting a tmpfs");
        QVERIFY(sbtest::writeFile(from + QStringLiteral("/a.mp3"), pattern(1000)));
        try {
            copyFileNoReplace(from + QStringLiteral("/a.mp3"), disk.path + QStringLiteral("/a.mp3"));
            QFAIL("no error");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("Read-only file system")), qPrintable(e.text()));
        }
        QVERIFY(entries(disk.path).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCopy)
#include "tst_copy.moc"
