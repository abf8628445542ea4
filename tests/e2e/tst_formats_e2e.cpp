// Starts the real program on a folder of one tone in each supported format (MP3, FLAC, Ogg Vorbis as .ogg
// and .oga, Opus, M4A/AAC, WAV), with SDL's disk driver writing what it plays to a file, and reads the
// tones back from that file: each whole, at its pitch, in list order, and nothing after the last.
#include "const_sb.h"
#include "dorTools.h"
#if __has_include("folderListing.h")
#include "folderListing.h"
#endif
#include "sbtest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QtEndian>
#include <cmath>
#include <csignal>

namespace {

constexpr int kRate = 44100; // the device: 16-bit stereo at 44.1 kHz
constexpr int kWindowFrames = 2048;
constexpr double kWindowSeconds = double(kWindowFrames) / kRate;
constexpr double kToneSeconds = 1.2;

struct Run {
    double frequency = 0; // 0: silence
    int windows = 0;
    double seconds() const { return windows * kWindowSeconds; }
};

// Cuts the written audio into windows, names each by the tone it holds (0 for silence, -1 for a window
// that matches none, such as the seam between two tones) and merges neighbours of the same name.
QList<Run> toneRuns(const QByteArray& pcm, const QList<double>& tones) {
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype frames = pcm.size() / 4;
    QList<Run> runs;
    for (qsizetype start = 0; start + kWindowFrames <= frames; start += kWindowFrames) {
        double energy = 0;
        int crossings = 0;
        qint16 previous = qFromLittleEndian(samples[start * 2]);
        for (qsizetype i = start; i < start + kWindowFrames; ++i) {
            const qint16 left = qFromLittleEndian(samples[i * 2]);
            energy += double(left) * left;
            if ((previous < 0) != (left < 0))
                ++crossings;
            previous = left;
        }
        double name = -1;
        if (std::sqrt(energy / kWindowFrames) < 500) {
            name = 0;
        } else {
            const double frequency = crossings / 2.0 / kWindowSeconds;
            for (double tone : tones)
                if (std::abs(frequency - tone) < tone * 0.05)
                    name = tone;
        }
        if (!runs.isEmpty() && runs.last().frequency == name)
            ++runs.last().windows;
        else
            runs.append(Run{name, 1});
    }
    return runs;
}

QString describe(const QList<Run>& runs) {
    QStringList parts;
    for (const Run& r : runs)
        parts << QStringLiteral("%1 Hz x %2 s").arg(r.frequency).arg(r.seconds(), 0, 'f', 2);
    return parts.join(QStringLiteral(", "));
}

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
        // The list's order is the core listing's: by name where the sorted listing is built in.
#if __has_include("folderListing.h")
        const QStringList order = listFolder(music, sb::appFormats).files;
        QCOMPARE(order, (QStringList{"1 lame.mp3", "2 lossless.flac", "3 vorbis.ogg", "4 vorbis.oga",
                                     "5 voice.opus", "6 store.m4a", "7 plain.wav"}));
#else
        QStringList order;
        QVERIFY(getFileList(&order, music, sb::appFormats, false) == 7);
#endif

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
        while (starts() < 7 && t.elapsed() < 60000) {
            p.waitForReadyRead(100);
            log += QString::fromLocal8Bit(p.readAllStandardError());
        }
        QVERIFY2(starts() == 7, qPrintable(log));
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

        // What the device was given: the seven tones in list order, each whole, then only silence.
        QList<double> tones;
        for (const QString& name : order)
            tones << toneOf.value(name);
        QList<Run> runs = toneRuns(sbtest::readFile(written), tones);
        const QString all = describe(runs);
        // A window or two at the seam between two sounds holds both; its frequency lies between them and
        // may pass for another tone of the seven. It counts to none.
        runs.removeIf([](const Run& r) { return r.frequency != 0 && r.windows <= 2; });
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
