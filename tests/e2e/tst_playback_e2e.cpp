// Starts the real program on a folder of three tones, with SDL's disk driver writing what it plays to a
// file, and reads the tones back from that file: the program plays the folder as soon as it starts, in
// list order, each track from its start, and stops after the last one.
#include "diskDriverRun.h"
#include "dorTools.h"
#include "sbtest.h"
#include "toneRuns.h"

#include <QProcess>
#include <QTest>
#include <cmath>

namespace {

constexpr double kToneSeconds = 1.5;

using sbtest::describe;
using sbtest::toneRuns;
using Run = sbtest::ToneRun;

} // namespace

class TestPlaybackE2E : public QObject {
    Q_OBJECT

private slots:
    void playsTheFolderInOrderAndStopsAfterTheLast() {
        // Three tones, told apart by frequency; the list shows them in name order.
        const QString music = sbtest::makeTempDir(QStringLiteral("music")) + QStringLiteral("/");
        const QMap<QString, double> toneOf = {{"low.mp3", 330.0}, {"middle.mp3", 550.0}, {"high.mp3", 880.0}};
        for (auto it = toneOf.cbegin(); it != toneOf.cend(); ++it) {
            sbtest::ToneSpec spec;
            spec.seconds = kToneSeconds;
            spec.frequency = it.value();
            QVERIFY(sbtest::writeToneMp3(music + it.key(), spec));
        }
        const QStringList order{"high.mp3", "low.mp3", "middle.mp3"};

        // The start folder comes from the settings file. Wait for the last start, then for that track's
        // length and a good while more, in which nothing else may start.
        const auto run = sbtest::playOnDiskDriver(QStringLiteral(SONABIN_BIN_DIR "/sonabin"),
                                                  getAppDataFolder(QStringLiteral("Sonabin Free"), true) +
                                                      QStringLiteral("sonabin.ini"),
                                                  music, 3, 30000, int((kToneSeconds + 2.0) * 1000));
        QVERIFY(run.launched);
        QVERIFY2(run.ended, qPrintable(run.log));
        QCOMPARE(run.exitStatus, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QStringList expected;
        for (const QString& name : order)
            expected << music + name;
        QCOMPARE(run.started, expected);
        QVERIFY2(!run.log.contains(QStringLiteral("> Can not play")), qPrintable(run.log));

        // What the device was given: the three tones in list order, each whole, then only silence.
        QList<double> tones;
        for (const QString& name : order)
            tones << toneOf.value(name);
        QList<Run> runs = toneRuns(run.device, tones);
        const QString all = describe(runs);
        // A window or two that matches nothing is the seam between two sounds; it counts to neither.
        runs = sbtest::withoutSeams(runs, [](const Run& r) { return r.frequency == -1 && r.windows <= 2; });
        const QList<Run> heard = sbtest::heardTones(runs);
        QVERIFY2(heard.size() == 3, qPrintable(all));
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(heard[i].frequency == tones[i], qPrintable(all));
            QVERIFY2(std::abs(heard[i].seconds() - kToneSeconds) < 0.15, qPrintable(all));
        }
        QVERIFY2(runs.last().frequency == 0 && runs.last().seconds() > 1.0, qPrintable(all));
    }
};

QTEST_GUILESS_MAIN(TestPlaybackE2E)
#include "tst_playback_e2e.moc"
