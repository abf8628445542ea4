// A long session on the real engine, headless: 200 short tracks played one after another through
// auto-advance, with likes into both collections every few tracks. Afterwards every track has played
// once in list order, each collection holds exactly the liked tracks, and the process has as many open
// file descriptors and threads as when the session started. (Leaks of memory are the sanitizer build's
// part: this test runs there too.)
#include "TrackList.h"
#include "dorBass.h"
#include "formMainAccess.h"
#include "main.h"
#include "safeCopy.h"
#include "sbtest.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <memory>

namespace {

constexpr int kTracks = 200;

int countEntries(const char* folder) {
    return static_cast<int>(
        QDir(QString::fromLatin1(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}
int openDescriptors() {
    return countEntries("/proc/self/fd");
}
int threads() {
    return countEntries("/proc/self/task");
}
QString threadNames() {
    QStringList names;
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        names << (comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll().trimmed()) : task);
    }
    return names.join(QStringLiteral(", "));
}

// Qt's shared worker pool (parallel fills of the raster paint engine) starts threads, each with an event
// descriptor, and ends them after half a minute idle; they are Qt's, not the session's, so the pool is
// emptied before each count, and no event is processed until the count is taken, since any repaint may
// start them again. The pool's threads are detached: they leave the process a moment after the pool has
// let them go.
void settleQtPool() {
    QThreadPool::globalInstance()->waitForDone();
    int last = threads();
    for (int stable = 0, i = 0; stable < 3 && i < 100; ++i) {
        QThread::msleep(20);
        const int now = threads();
        stable = now == last ? stable + 1 : 0;
        last = now;
    }
}

QStringList mp3Files(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name);
}

} // namespace

class TstLongSession : public QObject {
    Q_OBJECT

private slots:
    void twoHundredTracksWithLikes() {
        const QString music = sbtest::makeTempDir(QStringLiteral("music")) + QLatin1Char('/');
        const QString base = sbtest::makeTempDir(QStringLiteral("collections")) + QLatin1Char('/');
        sbtest::ToneSpec spec;
        spec.seconds = 0.2;
        const QByteArray tone = sbtest::toneMp3(spec);
        QVERIFY(!tone.isEmpty());
        QStringList names;
        for (int i = 1; i <= kTracks; ++i) {
            names << QStringLiteral("track %1.mp3").arg(i, 3, 10, QLatin1Char('0'));
            QVERIFY(sbtest::writeFile(music + names.last(), tone));
        }

        QStringList errors;
        TFormMainTestAccess::errorReportHook() = [&errors](const QString& text) { errors << text; };
        auto w = std::make_unique<TFormMain>();
        w->show();
        w->collections().setBase(base);
        w->initFolders(false);
        QVERIFY(w->session().options().playNextAfterCopy);
        const QString lib1 = base + w->collections().name(1) + QLatin1Char('/');
        const QString lib2 = base + w->collections().name(2) + QLatin1Char('/');

        // Follows the track that plays; every third track is liked into the first collection and every
        // fifth (of the others) into the second, shortly after it starts.
        QStringList played;
        QStringList liked1, liked2;
        QTimer watch;
        watch.setInterval(5);
        connect(&watch, &QTimer::timeout, this, [&] {
            const QString now = QFileInfo(w->session().player()->TrackFilename()).fileName();
            if (now.isEmpty() || (!played.isEmpty() && played.last() == now))
                return;
            played << now;
            const qsizetype n = played.size();
            QAction* like = n % 3 == 0   ? sbt::parts(w).actCommand1
                            : n % 5 == 0 ? sbt::parts(w).actCommand2
                                         : nullptr;
            if (!like)
                return;
            QTimer::singleShot(40, w.get(), [&, like, now] {
                if (QFileInfo(w->session().player()->TrackFilename()).fileName() != now ||
                    !w->session().player()->isPlaying())
                    return; // ended meanwhile: not this track's like
                (like == sbt::parts(w).actCommand1 ? liked1 : liked2) << now;
                like->trigger();
            });
        });

        w->ScanFolder(music);
        // The list keeps the file system's order; that is the order of play.
        QStringList listed;
        for (int row = 0; row < sbt::parts(w).trackModel->count(); ++row)
            if (sbt::parts(w).trackModel->entry(row).kind == TPlayList::kindTrack)
                listed << sbt::parts(w).trackModel->entry(row).description;
        QStringList sorted = listed;
        sorted.sort();
        QCOMPARE(sorted, names);
        QCOMPARE(sbt::parts(w).currentFile, listed.first());
        QVERIFY(w->session().player()->isPlaying());
        // The session's start: the window is up and its first track plays.
        settleQtPool();
        const int fdsBefore = openDescriptors();
        const int threadsBefore = threads();
        watch.start();

        QTRY_VERIFY_WITH_TIMEOUT(
            sbt::parts(w).currentFile == listed.last() && !w->session().player()->isPlaying(), 300000);
        QTest::qWait(300);     // a last like's copy and notice settle
        waitForCopiesOnDisk(); // and its sync, whose worker then ends
        watch.stop();
        settleQtPool();
        const int fdsAfter = openDescriptors();
        const int threadsAfter = threads();
        qInfo("open file descriptors %d -> %d, threads %d -> %d, %lld likes into %s, %lld into %s", fdsBefore,
              fdsAfter, threadsBefore, threadsAfter, liked1.size(), qPrintable(w->collections().name(1)),
              liked2.size(), qPrintable(w->collections().name(2)));

        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        QCOMPARE(played, listed);
        QVERIFY(liked1.size() > 40 && liked2.size() > 15);
        liked1.sort();
        liked2.sort();
        QCOMPARE(mp3Files(lib1), liked1);
        QCOMPARE(mp3Files(lib2), liked2);
        for (const QString& name : liked1 + liked2)
            QCOMPARE(QFileInfo(base +
                               (liked1.contains(name) ? w->collections().name(1) : w->collections().name(2)) +
                               QLatin1Char('/') + name)
                         .size(),
                     qint64(tone.size()));
        QCOMPARE(mp3Files(music), names); // the source folder is as it was
        QCOMPARE(fdsAfter, fdsBefore);
        QVERIFY2(threadsAfter == threadsBefore, qPrintable(threadNames()));

        w.reset();
        TFormMainTestAccess::errorReportHook() = {};
    }
};

QTEST_MAIN(TstLongSession)
#include "tst_longsession.moc"
