// The Like writes only inside the base folder, whatever the collection name and the track's file name
// hold ("..", separators, very long names, names that differ only in letter case), and never changes or
// removes a file anywhere else, the source folder included. Every file of a sandbox around the base
// folder is compared before and after each Like.
#include "formMainAccess.h"
#include "main.h"
#include "sbtest.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTest>
#include <memory>

namespace {

// What a sandbox holds: relative path -> kind, size, time and a hash of the bytes.
using Snapshot = QMap<QString, QString>;

Snapshot snapshot(const QString& root) {
    Snapshot files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString rel = QDir(root).relativeFilePath(info.filePath());
        if (info.isDir() && !info.isSymLink()) {
            files[rel] = QStringLiteral("folder"); // its time changes with every entry added below it
            continue;
        }
        QFile f(info.filePath());
        f.open(QIODevice::ReadOnly);
        files[rel] = QStringLiteral("%1 %2 %3")
                         .arg(info.size())
                         .arg(info.lastModified().toMSecsSinceEpoch())
                         .arg(QString::fromLatin1(
                             QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex()));
    }
    return files;
}

const QString longName = QString(251, QLatin1Char('n')) + QStringLiteral(".mp3");  // 255 bytes, the limit
const QString longNonAscii = QString(125, QChar(0x00FC)) + QStringLiteral(".mp3"); // 254 bytes in UTF-8

} // namespace

class TstCollectionSafety : public QObject {
    Q_OBJECT

    std::unique_ptr<TFormMain> w;
    QString sandbox; // holds base/, music/ and files beside them; ends in '/'
    QString base;
    QString music;
    QByteArray track;
    QStringList errors;

private slots:
    void initTestCase() {
        sbtest::ToneSpec spec;
        spec.seconds = 0.3;
        track = sbtest::toneMp3(spec);
        QVERIFY(!track.isEmpty());
    }

    void init() {
        sandbox = sbtest::makeTempDir(QStringLiteral("sandbox")) + QLatin1Char('/');
        base = sandbox + QStringLiteral("base/");
        music = sandbox + QStringLiteral("music/");
        QVERIFY(QDir().mkpath(music));
        const QStringList names = {QStringLiteral("track.mp3"),
                                   QStringLiteral("Track.mp3"),
                                   QStringLiteral("..mp3"),
                                   QStringLiteral("... .mp3"),
                                   QStringLiteral("back\\slash.mp3"),
                                   QStringLiteral("%2e%2e%2fup.mp3"),
                                   QStringLiteral("line\nbreak.mp3"),
                                   longName,
                                   longNonAscii};
        for (const QString& name : names)
            QVERIFY2(sbtest::writeFile(music + name, track), qPrintable(name));
        // Files that must stay as they are: beside the base folder, and one already in a collection.
        QVERIFY(sbtest::writeFile(sandbox + QStringLiteral("track.mp3"), "outside, keep me"));
        QVERIFY(sbtest::writeFile(sandbox + QStringLiteral("escape.mp3"), "outside, keep me"));

        errors.clear();
        TFormMainTestAccess::errorReportHook() = [this](const QString& text) { errors << text; };
        w = std::make_unique<TFormMain>();
        w->collections().setBase(base);
        w->initFolders(false);
        QVERIFY(
            sbtest::writeFile(base + QStringLiteral("Favorites/track.mp3"), "in the collection, keep me"));
        w->ScanFolder(music);
        w->session().options().playNextAfterCopy = false;
        QVERIFY(sbt::parts(w).actCommand1->isEnabled());
        QVERIFY(errors.isEmpty());
    }
    void cleanup() {
        w.reset();
        TFormMainTestAccess::errorReportHook() = {};
    }

    void likeStaysInsideBaseFolder_data() {
        QTest::addColumn<QString>("collection");
        QTest::addColumn<QString>("file");     // the playing track's name as the window holds it
        QTest::addColumn<QString>("expected"); // the new file below base/, "exists", or "refused"

        const QString copied = QStringLiteral("Favorites/");
        QTest::newRow("plain") << "Favorites"
                               << "Track.mp3" << copied + "Track.mp3";
        // Collection names that are no plain folder name are refused before anything is made.
        for (const char* name : {"..", ".", "", "../escape", "../../..", "/abs", "Sub/Dir", "Favorites/..",
                                 "Favorites/../..", "./Favorites"})
            QTest::addRow("collection \"%s\"", name) << QString::fromUtf8(name) << "Track.mp3"
                                                     << "refused";
        // Names that only look like paths are plain names inside the base folder.
        QTest::newRow("collection with backslashes") << "..\\..\\up"
                                                     << "Track.mp3"
                                                     << "..\\..\\up/Track.mp3";
        QTest::newRow("collection of three dots") << "..."
                                                  << "Track.mp3"
                                                  << ".../Track.mp3";
        QTest::newRow("collection with a line break") << "Fav\nourites"
                                                      << "Track.mp3"
                                                      << "Fav\nourites/Track.mp3";
        QTest::newRow("collection named at the length limit")
            << QString(255, QLatin1Char('c')) << "Track.mp3" << QString(255, QLatin1Char('c')) + "/Track.mp3";
        QTest::newRow("collection name too long") << QString(256, QLatin1Char('c')) << "Track.mp3"
                                                  << "refused";
        QTest::newRow("collection differing only in case") << "favorites"
                                                           << "track.mp3"
                                                           << "favorites/track.mp3";
        // Track names.
        QTest::newRow("file name differing only in case from one present")
            << "Favorites"
            << "Track.mp3" << copied + "Track.mp3";
        QTest::newRow("file name present") << "Favorites"
                                           << "track.mp3"
                                           << "exists";
        QTest::newRow("file name starting with dots") << "Favorites"
                                                      << "..mp3" << copied + "..mp3";
        QTest::newRow("file name of dots and a blank") << "Favorites"
                                                       << "... .mp3" << copied + "... .mp3";
        QTest::newRow("file name with a backslash") << "Favorites"
                                                    << "back\\slash.mp3" << copied + "back\\slash.mp3";
        QTest::newRow("file name with an escaped separator")
            << "Favorites"
            << "%2e%2e%2fup.mp3" << copied + "%2e%2e%2fup.mp3";
        QTest::newRow("file name with a line break") << "Favorites"
                                                     << "line\nbreak.mp3" << copied + "line\nbreak.mp3";
        QTest::newRow("file name at the length limit") << "Favorites" << longName << copied + longName;
        QTest::newRow("long non-ASCII file name") << "Favorites" << longNonAscii << copied + longNonAscii;
        // A name holding separators never comes from the list; if it did, only its last part is used.
        QTest::newRow("file name climbing out") << "Archive"
                                                << "../music/track.mp3"
                                                << "Archive/track.mp3";
        QTest::newRow("file name climbing to a file beside the base") << "Archive"
                                                                      << "../escape.mp3"
                                                                      << "Archive/escape.mp3";
        QTest::newRow("file name \"..\"") << "Archive"
                                          << ".."
                                          << "exists";
        QTest::newRow("no file name") << "Archive"
                                      << ""
                                      << "refused";
    }
    void likeStaysInsideBaseFolder() {
        QFETCH(QString, collection);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        w->collections().bind(1, collection);
        sbt::parts(w).currentFile = file;
        const Snapshot before = snapshot(sandbox);

        sbt::parts(w).actCommand1->trigger();

        const Snapshot after = snapshot(sandbox);
        // Nothing that was there changed or went away.
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(QStringLiteral("changed: ") + it.key()));
        QStringList added;
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            if (!before.contains(it.key()))
                added << it.key();

        if (expected == QLatin1String("refused")) {
            QCOMPARE(errors.size(), 1);
            QCOMPARE(added, QStringList());
        } else if (expected == QLatin1String("exists")) {
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
            QCOMPARE(added, QStringList());
        } else {
            QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
            // The copy, and the collection folder when the Like made it; nothing else.
            QStringList wanted{QStringLiteral("base/") + expected};
            const QString folder = QStringLiteral("base/") + expected.left(expected.lastIndexOf(u'/'));
            if (!before.contains(folder))
                wanted << folder;
            wanted.sort();
            added.sort();
            QCOMPARE(added, wanted);
            QCOMPARE(sbtest::readFile(sandbox + QStringLiteral("base/") + expected),
                     sbtest::readFile(music + file));
        }
    }
};

QTEST_MAIN(TstCollectionSafety)
#include "tst_collectionsafety.moc"
