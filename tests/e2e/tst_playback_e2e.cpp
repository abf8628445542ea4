// Starts the real program on a folder of three tones, with SDL's disk driver writing what it plays to a
// file, and reads the tones back from that file: the program plays the folder as soon as it starts, in
// list order, each track from its start, and stops after the last one.
#include "dorTools.h"
#include "sbtest.h"
#include "toneRuns.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <cmath>
#include <csignal>

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

        // The start folder comes from the settings file.
        const QString ini =
            getAppDataFolder(QStringLiteral("Sonabin Free"), true) + QStringLiteral("sonabin.ini");
        QVERIFY(sbtest::writeFile(ini, "[common]\r\nfolder_curr=" + music.toUtf8() + "\r\n"));

        const QString written = sbtest::makeTempDir(QStringLiteral("audio")) + QStringLiteral("/out.raw");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("sonabin.log.debug=true"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
        env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), written);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SONABIN_BIN_DIR "/sonabin"), {});
        QVERIFY(p.waitForStarted(10000));

        // Wait for the third start, then for that track's length and a good while more, in which
        // nothing else may start.
        QString log;
        QElapsedTimer t;
        t.start();
        auto starts = [&log] { return log.count(QStringLiteral("playTrack (start): ")); };
        while (starts() < 3 && t.elapsed() < 30000) {
            p.waitForReadyRead(100);
            log += QString::fromLocal8Bit(p.readAllStandardError());
        }
        QVERIFY2(starts() == 3, qPrintable(log));
        t.restart();
        while (t.elapsed() < (kToneSeconds + 2.0) * 1000) {
            p.waitForReadyRead(100);
            log += QString::fromLocal8Bit(p.readAllStandardError());
        }
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(20000));
        log += QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);

        QStringList started;
        for (const QString& line : log.split('\n'))
            if (line.startsWith(QStringLiteral("playTrack (start): ")))
                started << line.mid(line.indexOf(':') + 2);
        QStringList expected;
        for (const QString& name : order)
            expected << music + name;
        QCOMPARE(started, expected);
        QVERIFY2(!log.contains(QStringLiteral("> Can not play")), qPrintable(log));

        // What the device was given: the three tones in list order, each whole, then only silence.
        QList<double> tones;
        for (const QString& name : order)
            tones << toneOf.value(name);
        QList<Run> runs = toneRuns(sbtest::readFile(written), tones);
        const QString all = describe(runs);
        // A window or two that matches nothing is the seam between two sounds; it counts to neither.
        runs.removeIf([](const Run& r) { return r.frequency == -1 && r.windows <= 2; });
        QList<Run> merged;
        for (const Run& r : std::as_const(runs)) {
            if (!merged.isEmpty() && merged.last().frequency == r.frequency)
                merged.last().windows += r.windows;
            else
                merged << r;
        }
        runs = merged;
        QList<Run> heard;
        for (const Run& r : std::as_const(runs))
            if (r.frequency != 0)
                heard << r;
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
