// Starts the real program on a folder of one tone in each supported format (MP3, FLAC, Ogg Vorbis as .ogg
// and .oga, Opus, M4A/AAC, WAV), with SDL's disk driver writing what it plays to a file, and reads the
// tones back from that file: each whole, at its pitch, in list order, and nothing after the last.
#include "const_sb.h"
#include "diskDriverRun.h"
#include "dorTools.h"
#include "folderListing.h"
#include "sbtest.h"
#include "toneRuns.h"

#include <QProcess>
#include <QTest>
#include <cmath>

namespace {

constexpr double kToneSeconds = 1.2;

using sbtest::describe;
using sbtest::toneRuns;
using Run = sbtest::ToneRun;

} // namespace

class TestFormatsE2E : public QObject {
    Q_OBJECT

private slots:
    void playsOneToneInEachFormat() {
        // Seven tones, told apart by frequency, at the rates each format is usually met at; the list
        // shows them in the order the folder listing gives.
        const QString music = sbtest::makeTempDir(QStringLiteral("music")) + QStringLiteral("/");
        struct Track {
            const char* name;
            const char* format;
            int rate;
            double frequency;
        };
        const Track tracks[] = {
            {"1 lame.mp3", "mp3", 44100, 300.0},      {"2 lossless.flac", "flac", 44100, 400.0},
            {"3 vorbis.ogg", "vorbis", 44100, 500.0}, {"4 vorbis.oga", "vorbis", 48000, 620.0},
            {"5 voice.opus", "opus", 48000, 750.0},   {"6 store.m4a", "aac", 44100, 900.0},
            {"7 plain.wav", "wav", 22050, 1100.0}};
        QMap<QString, double> toneOf;
        for (const Track& t : tracks) {
            const qint64 frames = qint64(kToneSeconds * t.rate);
            QVERIFY(sbtest::writeToneFfmpeg(music + t.name, t.format, frames, t.frequency, t.rate, 2));
            toneOf.insert(t.name, t.frequency);
        }
        // The list shows the tracks in name order.
        const QStringList order = listFolder(music, sb::appFormats).files;
        QCOMPARE(order, (QStringList{"1 lame.mp3", "2 lossless.flac", "3 vorbis.ogg", "4 vorbis.oga",
                                     "5 voice.opus", "6 store.m4a", "7 plain.wav"}));

        // The start folder comes from the settings file. Wait for the last start, then for that track's
        // length and a good while more, in which nothing else may start.
        const auto run = sbtest::playOnDiskDriver(QStringLiteral(SONABIN_BIN_DIR "/sonabin"),
                                                  getAppDataFolder(QStringLiteral("Sonabin Free"), true) +
                                                      QStringLiteral("sonabin.ini"),
                                                  music, 7, 60000, int((kToneSeconds + 2.0) * 1000));
        QVERIFY(run.launched);
        QVERIFY2(run.ended, qPrintable(run.log));
        QCOMPARE(run.exitStatus, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        QStringList expected;
        for (const QString& name : order)
            expected << music + name;
        QCOMPARE(run.started, expected);
        QVERIFY2(!run.log.contains(QStringLiteral("> Can not play")), qPrintable(run.log));

        // What the device was given: the seven tones in list order, each whole, then only silence.
        QList<double> tones;
        for (const QString& name : order)
            tones << toneOf.value(name);
        QList<Run> runs = toneRuns(run.device, tones);
        const QString all = describe(runs);
        // A window or two at the seam between two sounds holds both; its frequency lies between them and
        // may pass for another tone of the seven. It counts to none.
        runs = sbtest::withoutSeams(runs, [](const Run& r) { return r.frequency != 0 && r.windows <= 2; });
        const QList<Run> heard = sbtest::heardTones(runs);
        QVERIFY2(heard.size() == 7, qPrintable(all));
        for (int i = 0; i < 7; ++i) {
            QVERIFY2(heard[i].frequency == tones[i], qPrintable(all));
            QVERIFY2(std::abs(heard[i].seconds() - kToneSeconds) < 0.15, qPrintable(all));
        }
        QVERIFY2(runs.last().frequency == 0 && runs.last().seconds() > 1.0, qPrintable(all));
    }
};

QTEST_GUILESS_MAIN(TestFormatsE2E)
#include "tst_formats_e2e.moc"
