// The collection rules without a window: names, the base folder, Like, new folders, delete, count and the
// parts that a crashed copy left behind.
#include "collections.h"
#include "fsPath.h"
#include "safeCopy.h"
#include "sbtest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool makeDir(const QString& path) {
    return ::mkdir(pathBytes(path).constData(), 0777) == 0;
}

// QFile would not keep a name's bytes that are not UTF-8.
bool writeRaw(const QString& path, const QByteArray& bytes) {
    const int fd = ::open(pathBytes(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

bool exists(const QString& path) {
    struct stat st;
    return ::lstat(pathBytes(path).constData(), &st) == 0;
}

// The key of the message an operation threw with; empty when it threw nothing.
template <typename F> QString errorKey(F&& operation) {
    try {
        operation();
    } catch (const SbError& e) {
        return e.message().key();
    }
    return QString();
}

} // namespace

class TestCollectionRules : public QObject {
    Q_OBJECT

    QString music; // the tracks, never changed by a Like
    QString base;  // the base folder, with a trailing delimiter
    TCollections collections;

private slots:
    void init() {
        music = sbtest::makeTempDir(QStringLiteral("music")) + QLatin1Char('/');
        base = sbtest::makeTempDir(QStringLiteral("base")) + QLatin1Char('/');
        QVERIFY(sbtest::writeFile(music + "a.mp3", QByteArray(5000, 'a')));
        collections = TCollections();
        collections.setBase(base);
        collections.bindDefaults({QStringLiteral("One"), QStringLiteral("Two")}, false);
    }
    void cleanup() { waitForCopiesOnDisk(); }

    void usableNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("usable");
        QTest::newRow("plain") << "Favorites" << true;
        QTest::newRow("blank inside") << "Rock & Roll" << true;
        QTest::newRow("hidden") << ".hidden" << true;
        QTest::newRow("three dots") << "..." << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("delimiter") << "a/b" << false;
        QTest::newRow("leading delimiter") << "/etc" << false;
        QTest::newRow("nul") << QStringLiteral("a") + QChar(0) + "b" << false;
    }
    void usableNames() {
        QFETCH(QString, name);
        QFETCH(bool, usable);
        QCOMPARE(TCollections::isUsableName(name), usable);
    }

    // A language's list gives the names; a short or broken one borrows the built-in names, never twice.
    void namesFromList_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("skipped");
        QTest::newRow("full") << "Favoriten,Archiv,Sport" << QStringList{"Favoriten", "Archiv", "Sport"}
                              << QStringList{};
        QTest::newRow("empty") << "" << QStringList{"Favorites", "Archive"} << QStringList{""};
        QTest::newRow("one") << "Mine" << QStringList{"Mine", "Favorites"} << QStringList{};
        QTest::newRow("one built-in") << "Favorites" << QStringList{"Favorites", "Archive"} << QStringList{};
        QTest::newRow("broken") << "a/b,..,Ok" << QStringList{"Ok", "Favorites"} << QStringList{"a/b", ".."};
    }
    void namesFromList() {
        QFETCH(QString, list);
        QFETCH(QStringList, names);
        QFETCH(QStringList, skipped);
        QStringList left;
        QCOMPARE(TCollections::namesFromList(list, &left), names);
        QCOMPARE(left, skipped);
    }

    // The base folder as typed: "~" is the home folder; empty or relative never means the root or the
    // working folder, they take the default; a reset always does.
    void baseFolder_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<QString>("expected");
        const QString home = QDir::homePath();
        const QString fallback = home + "/Sonabin/";
        QTest::newRow("full") << "/srv/music" << false << "/srv/music/";
        QTest::newRow("full with delimiter") << "/srv/music/" << false << "/srv/music/";
        QTest::newRow("tilde") << "~/Sorted" << false << home + "/Sorted/";
        QTest::newRow("blanks before") << "  /srv/music" << false << "/srv/music/";
        QTest::newRow("empty") << "" << false << fallback;
        QTest::newRow("blanks") << "   " << false << fallback;
        QTest::newRow("relative") << "Sorted" << false << fallback;
        QTest::newRow("reset") << "/srv/music" << true << fallback;
    }
    void baseFolder() {
        QFETCH(QString, typed);
        QFETCH(bool, reset);
        QFETCH(QString, expected);
        TCollections c;
        c.setBase(typed);
        c.bindDefaults({QStringLiteral("A"), QStringLiteral("B")}, reset);
        QCOMPARE(c.base(), expected);
        QCOMPARE(c.folder(1), expected + "A/");
        QCOMPARE(c.folder(2), expected + "B/");
    }

    // Every named collection is made; the parts of crashed copies go from every collection, bound or not,
    // and nothing else is touched.
    void makeFoldersAndStaleParts() {
        collections.setBase(base + "new/");
        collections.bindDefaults({"One", "Two", "Three"}, false);
        collections.makeFolders({"One", "Two", "Three"});
        QCOMPARE(entries(base + "new"), (QStringList{"One", "Three", "Two"}));

        QVERIFY(makeDir(base + "new/Other"));
        for (const char* folder : {"One", "Other"}) {
            QVERIFY(sbtest::writeFile(base + "new/" + folder + "/.sonabin-crash.part", "half"));
            QVERIFY(sbtest::writeFile(base + "new/" + folder + "/kept.mp3", "whole"));
        }
        QVERIFY(sbtest::writeFile(base + "new/.sonabin-base.part", "not a collection's"));
        collections.makeFolders({"One", "Two"});
        QCOMPARE(entries(base + "new/One"), QStringList{"kept.mp3"});
        QCOMPARE(entries(base + "new/Other"), QStringList{"kept.mp3"});
        QVERIFY(exists(base + "new/.sonabin-base.part"));
    }

    void makeFoldersFails() {
        QVERIFY(sbtest::writeFile(base + "file", "in the way"));
        collections.setBase(base + "file/");
        collections.bindDefaults({"One", "Two"}, false);
        QCOMPARE(errorKey([&] {
                     collections.makeFolders({"One", "Two"});
                 }),
                 QString::fromLatin1(sbmsg::folderCreate.key));
        QCOMPARE(collections.name(1), QStringLiteral("One")); // bound all the same, for the buttons
    }

    // A Like copies once; a second Like of the same name finds it there and changes nothing, also when the
    // name holds another file or a folder.
    void like() {
        const TLikeOutcome first = collections.like(music + "a.mp3", 1);
        QVERIFY(first.copied);
        QVERIFY(first.sorted);
        QCOMPARE(first.target, base + "One/a.mp3");
        QCOMPARE(sbtest::readFile(first.target), QByteArray(5000, 'a'));
        TFileStamp onDisk;
        QVERIFY(readFileStamp(first.target, &onDisk));
        QCOMPARE(first.written, onDisk);

        QVERIFY(sbtest::writeFile(music + "a.mp3", "changed since"));
        const TLikeOutcome again = collections.like(music + "a.mp3", 1);
        QVERIFY(!again.copied);
        QVERIFY(again.sorted);
        QCOMPARE(again.target, first.target);
        QCOMPARE(sbtest::readFile(first.target), QByteArray(5000, 'a'));

        QVERIFY(makeDir(base + "Two"));
        QVERIFY(makeDir(base + "Two/a.mp3"));
        const TLikeOutcome folder = collections.like(music + "a.mp3", 2);
        QVERIFY(!folder.copied);
        QVERIFY(!folder.sorted); // a folder is not a sorted track
        QCOMPARE(sbtest::readFile(music + "a.mp3"), QByteArray("changed since"));
    }

    // A failed Like says why and leaves nothing in the collection.
    void likeFails_data() {
        QTest::addColumn<QString>("track");
        QTest::addColumn<QString>("collection");
        QTest::addColumn<QString>("key");
        QTest::newRow("no track") << "-"
                                  << "One" << sbmsg::noTrack.key;
        QTest::newRow("folder, not a track") << ""
                                             << "One" << sbmsg::noTrack.key;
        QTest::newRow("no collection") << "a.mp3"
                                       << "" << sbmsg::noCollection.key;
        QTest::newRow("collection outside the base") << "a.mp3"
                                                     << ".." << sbmsg::noCollection.key;
        QTest::newRow("source gone") << "gone.mp3"
                                     << "One" << sbmsg::copyNoSource.key;
        QTest::newRow("collection is a file") << "a.mp3"
                                              << "Blocked" << sbmsg::folderCreate.key;
    }
    void likeFails() {
        QFETCH(QString, track);
        QFETCH(QString, collection);
        QFETCH(QString, key);
        QVERIFY(sbtest::writeFile(base + "Blocked", "a file where the collection would be"));
        const QString path = track == QLatin1String("-") ? QString() : music + track;
        QCOMPARE(errorKey([&] { collections.likeInto(path, collection); }), key);
        QCOMPARE(entries(base + "One"), QStringList{});
        QVERIFY(!exists(base + "../a.mp3")); // nothing above the base folder either
    }

    // Names the user can correct are refused with the reason; the folder is made only for a good one.
    void create_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<TCreateRefusal>("refusal");
        QTest::newRow("new") << "New" << TCreateRefusal::None;
        QTest::newRow("hidden") << ".New" << TCreateRefusal::None;
        QTest::newRow("empty") << "" << TCreateRefusal::Empty;
        QTest::newRow("delimiter") << "a/b" << TCreateRefusal::Delimiter;
        QTest::newRow("nul") << QStringLiteral("a") + QChar(0) << TCreateRefusal::Delimiter;
        QTest::newRow("dot") << "." << TCreateRefusal::Dots;
        QTest::newRow("dot dot") << ".." << TCreateRefusal::Dots;
        QTest::newRow("folder there") << "One" << TCreateRefusal::Exists;
        QTest::newRow("file there") << "song.mp3" << TCreateRefusal::Exists;
        QTest::newRow("dangling link there") << "link" << TCreateRefusal::Exists;
    }
    void create() {
        QFETCH(QString, name);
        QFETCH(TCreateRefusal, refusal);
        collections.makeFolders({"One", "Two"});
        QVERIFY(sbtest::writeFile(base + "song.mp3", "x"));
        QVERIFY(::symlink("/nonexistent/target", pathBytes(base + "link").constData()) == 0);
        const QStringList before = entries(base);
        QCOMPARE(collections.create(name), refusal);
        if (refusal == TCreateRefusal::None) {
            QVERIFY(QFileInfo(base + name).isDir());
            QCOMPARE(entries(base).size(), before.size() + 1);
        } else {
            QCOMPARE(entries(base), before);
        }
    }

    void createFails() {
        QVERIFY(sbtest::writeFile(base + "file", "in the way"));
        collections.setBase(base + "file/");
        QCOMPARE(errorKey([&] { collections.create(QStringLiteral("New")); }),
                 QString::fromLatin1(sbmsg::folderCreate.key));
    }

    // Delete, count and holds agree on what a collection holds: regular files of the supported formats.
    void deleteCountAndHolds() {
        collections.makeFolders({"One", "Two"});
        QCOMPARE(collections.count(1), 0);
        for (const char* name : {"a.mp3", "b.flac", "c.opus", "notes.txt"})
            QVERIFY(sbtest::writeFile(base + "One/" + name, "x"));
        QVERIFY(makeDir(base + "One/folder.mp3"));
        QCOMPARE(collections.count(1), 3);
        QCOMPARE(collections.count(2), 0);
        QVERIFY(collections.holds(1, "a.mp3"));
        QVERIFY(!collections.holds(2, "a.mp3"));
        QVERIFY(!collections.holds(1, "folder.mp3"));
        QVERIFY(!collections.holds(1, ""));

        collections.remove(1, "a.mp3");
        QVERIFY(!collections.holds(1, "a.mp3"));
        QCOMPARE(collections.count(1), 2);
        collections.remove(1, "a.mp3"); // gone meanwhile: no failure
        collections.remove(1, "");      // names no file: the collection is never touched
        QVERIFY(QFileInfo(base + "One").isDir());
        QCOMPARE(errorKey([&] { collections.remove(1, "folder.mp3"); }),
                 QString::fromLatin1(sbmsg::deleteFailed.key));
        QVERIFY(QFileInfo(base + "One/folder.mp3").isDir());

        collections.setBase(base + "missing/");
        QCOMPARE(collections.count(1), 0);
    }

    // The popup lists what can hold a copy, in name order; a missing or unreadable base is said.
    void listFolders() {
        collections.makeFolders({"One", "Two"});
        QVERIFY(makeDir(base + "track 10"));
        QVERIFY(makeDir(base + "track 9"));
        QVERIFY(sbtest::writeFile(base + "file.mp3", "x"));
        QVERIFY(::symlink(pathBytes(base + "One").constData(), pathBytes(base + "Linked").constData()) == 0);
        QCOMPARE(collections.listFolders(), (QStringList{"Linked", "One", "track 9", "track 10", "Two"}));

        collections.setBase(base + "missing/");
        QCOMPARE(errorKey([&] { collections.listFolders(); }), QString::fromLatin1(sbmsg::baseMissing.key));
    }

    // A name that is not UTF-8 keeps its bytes from the Like to the count and the delete.
    void nonUtf8Names() {
        const QString track = pathFromBytes("caf\xe9.mp3");
        const QString collection = pathFromBytes("M\xfcsik");
        QVERIFY(writeRaw(music + track, "latin-1"));
        QCOMPARE(collections.create(collection), TCreateRefusal::None);
        QVERIFY(exists(pathFromBytes(QFile::encodeName(base) + "M\xfcsik")));
        collections.bind(1, collection);
        const TLikeOutcome done = collections.like(music + track, 1);
        QVERIFY(done.copied);
        struct stat st;
        QCOMPARE(::stat((QFile::encodeName(base) + "M\xfcsik/caf\xe9.mp3").constData(), &st), 0);
        QVERIFY(collections.holds(1, track));
        QCOMPARE(collections.count(1), 1);
        QVERIFY(collections.listFolders().contains(collection));
        collections.remove(1, track);
        QCOMPARE(collections.count(1), 0);
    }
};

QTEST_GUILESS_MAIN(TestCollectionRules)
#include "tst_collectionrules.moc"
