// The real program measured from outside, each figure against its floor in the same run:
// - start-up to sound: launching sonabin on a folder of 1,000 tracks until the first sample that is not
//   silence reaches SDL's disk driver, against a bare Qt Widgets program that shows one window of the
//   same size and exits (same platform plugin). Aim: within 3 times.
// - memory: resident memory after scanning 10,000 tracks and 500 sub-folders and playing one track,
//   against the same program on an empty folder. Aim: the entries cost under 10 MiB.
// - idle playing: CPU time of the whole program playing 30 s with its window shown, against libmpg123
//   decoding the same 30 s alone. Aim: within 3 times. Measured on SDL's dummy driver (the program's own
//   cost) and on the disk driver (which also writes every sample to a file).
// The track is music-like (tones and noise), since a pure tone decodes several times faster than music.
// Every run gets its own settings and audio file below one temporary folder; nothing touches the user's.
#include "benchSupport.h"
#include "musicLikeMp3.h"
#include "sbtest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mpg123.h>
#include <thread>

using namespace sbbench;

namespace {

constexpr int startupRuns = 5;
constexpr int memoryRuns = 3;
constexpr double idleSeconds = 30;

QString root;
QString platform;
int runNumber = 0;

void sleepFor(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

bool writeSettings(const QString& startFolder) {
    const QString dir = root + "/home/.config/Sonabin Free";
    if (!QDir().mkpath(dir))
        return false;
    const QByteArray ini = "[common]\r\ncounter=1\r\nfolder_curr=" + QFile::encodeName(startFolder) + "/\r\n";
    return sbtest::writeFile(dir + "/sonabin.ini", ini);
}

// Starts sonabin on `folder` writing its audio to a fresh raw file, which `audio` names.
std::unique_ptr<Child> startProgram(const QString& folder, QString* audio, const QString& driver = "disk") {
    if (!writeSettings(folder))
        return nullptr;
    *audio = root + QStringLiteral("/audio-%1.raw").arg(++runNumber);
    QFile::remove(*audio);
    const QString home = root + "/home";
    // SONABIN_BENCH_PROGRAM measures another build of the program (an executable named sonabin, with its
    // Lang and Help folders beside it), for before-and-after figures.
    const QString program =
        qEnvironmentVariable("SONABIN_BENCH_PROGRAM", QStringLiteral(SONABIN_BIN_DIR "/sonabin"));
    return std::make_unique<Child>(
        program, QStringList{"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
                             "XDG_DATA_HOME=" + home + "/.local/share", "XDG_CACHE_HOME=" + home + "/.cache",
                             "QT_QPA_PLATFORM=" + platform, "SDL_AUDIODRIVER=" + driver,
                             "SDL_DISKAUDIOFILE=" + *audio});
}

bool makeTrackFolder(const QString& folder, const QString& track, int tracks, int subFolders) {
    QDir dir;
    if (!dir.mkpath(folder))
        return false;
    for (int i = 0; i < subFolders; ++i)
        if (!dir.mkpath(folder + QStringLiteral("/Album %1").arg(i)))
            return false;
    // Hard links: every entry is a real, playable track, and the folder costs no disk space.
    for (int i = 0; i < tracks; ++i) {
        const QString name = folder + QStringLiteral("/Artist %1 - Track %2.mp3").arg(i % 97).arg(i);
        if (::link(QFile::encodeName(track).constData(), QFile::encodeName(name).constData()) != 0)
            return false;
    }
    return true;
}

struct StartupRun {
    double wall = -1;
    double cpu = -1;
};

StartupRun startupToSound(const QString& folder) {
    QString audio;
    auto child = startProgram(folder, &audio);
    if (!child || !child->valid())
        return {};
    DiskWatch watch(audio);
    const double sound = watch.waitForSound(30, [&] { return child->running(); });
    StartupRun run;
    if (sound > 0) {
        run.wall = sound - child->startTime();
        run.cpu = child->cpuSeconds();
    }
    child->stop();
    QFile::remove(audio);
    return run;
}

StartupRun floorStartup() {
    auto child = std::make_unique<Child>(QStringLiteral(SONABIN_BENCH_DIR "/floor_window"),
                                         QStringList{"QT_QPA_PLATFORM=" + platform});
    StartupRun run;
    const double end = child->valid() ? child->wait(30) : -1;
    if (end > 0 && child->exitedNormally()) {
        run.wall = end - child->startTime();
        run.cpu = child->cpuAtEnd();
    }
    return run;
}

// Resident memory of sonabin settled on `folder`: after its first sound, or after a second of device
// output when the folder has nothing to play.
double settledRss(const QString& folder, bool plays) {
    QString audio;
    auto child = startProgram(folder, &audio);
    if (!child || !child->valid())
        return -1;
    DiskWatch watch(audio);
    bool ready = false;
    if (plays) {
        ready = watch.waitForSound(30, [&] { return child->running(); }) > 0;
    } else {
        const double end = now() + 30;
        while (child->running() && now() < end && !ready) {
            ready = watch.bytesWritten() >= 44100 * 4;
            sleepFor(0.01);
        }
    }
    sleepFor(1.5);
    const double rss = ready && child->running() ? child->statusBytes("VmRSS") : -1;
    child->stop();
    QFile::remove(audio);
    return rss;
}

// CPU seconds libmpg123 alone needs to decode the first `seconds` of `track`.
double decodeCpu(const QString& track, double seconds) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    if (!mh || mpg123_open(mh, QFile::encodeName(track).constData()) != MPG123_OK) {
        mpg123_delete(mh);
        return -1;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    mpg123_getformat(mh, &rate, &channels, &encoding);
    const size_t wanted = static_cast<size_t>(seconds * rate) * channels * 2;
    std::vector<unsigned char> buffer(16384);
    size_t total = 0;
    const double start = threadCpu();
    while (total < wanted) {
        size_t got = 0;
        const int rc = mpg123_read(mh, buffer.data(), buffer.size(), &got);
        total += got;
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)
            break;
    }
    const double cpu = threadCpu() - start;
    mpg123_close(mh);
    mpg123_delete(mh);
    return total >= wanted ? cpu : -1;
}

// CPU seconds an open SDL device costs over `seconds` with nothing to play: SDL's thread wakes for every
// buffer all the same. Same driver and buffer as the engine (2048 frames, Mpg123SdlEngine.cpp).
double idleDeviceCpu(const char* driver, double seconds) {
    qputenv("SDL_AUDIODRIVER", driver);
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(root + "/idle-device.raw"));
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return -1;
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 2048;
    want.callback = [](void*, Uint8* out, int len) { std::memset(out, 0, static_cast<size_t>(len)); };
    const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    double cpu = -1;
    if (dev != 0) {
        SDL_PauseAudioDevice(dev, 0);
        sleepFor(0.5);
        const double before = processCpu();
        sleepFor(seconds);
        cpu = processCpu() - before;
        SDL_CloseAudioDevice(dev);
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    QFile::remove(root + "/idle-device.raw");
    return cpu;
}

template <typename F> std::vector<double> repeat(int n, F f) {
    std::vector<double> values;
    for (int i = 0; i < n; ++i) {
        const double v = f();
        if (v >= 0)
            values.push_back(v);
    }
    return values;
}

} // namespace

int main() {
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
    root = tmp.path();
    platform = qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen"));
    mpg123_init();

    // One track of a song's usual length (the position bar moves by a pixel every few ticks, as it does
    // for most music), hard-linked into every folder.
    const QString track = root + "/track.mp3";
    const QString folder1k = root + "/music-1000";
    const QString folder10k = root + "/music-10000";
    const QString folderEmpty = root + "/music-empty";
    if (!writeMusicLikeMp3(track, 240, true) || !makeTrackFolder(folder1k, track, 1000, 0) ||
        !makeTrackFolder(folder10k, track, 10000, 500) || !QDir().mkpath(folderEmpty)) {
        std::fprintf(stderr, "cannot build the music folders in %s\n", qPrintable(root));
        return 1;
    }

    bool ok = true;

    // Start-up: one run of each first, so that both start from a warm disk cache and the program's
    // first-run work (collection folders) is done.
    startupToSound(folder1k);
    floorStartup();
    std::vector<StartupRun> ours, bare;
    for (int i = 0; i < startupRuns; ++i) {
        ours.push_back(startupToSound(folder1k));
        bare.push_back(floorStartup());
    }
    const auto wall = [](const std::vector<StartupRun>& runs) {
        std::vector<double> v;
        for (const StartupRun& r : runs)
            if (r.wall > 0)
                v.push_back(r.wall);
        return v;
    };
    const auto cpu = [](const std::vector<StartupRun>& runs) {
        std::vector<double> v;
        for (const StartupRun& r : runs)
            if (r.cpu >= 0)
                v.push_back(r.cpu);
        return v;
    };
    if (wall(ours).empty() || wall(bare).empty()) {
        std::fprintf(stderr, "start-up: the program or the floor did not come up\n");
        ok = false;
    } else {
        for (size_t i = 0; i < ours.size(); ++i)
            std::printf("start-up run %zu: ours %.1f ms (cpu %.1f ms), floor %.1f ms (cpu %.1f ms)\n", i + 1,
                        ours[i].wall * 1000, ours[i].cpu * 1000, bare[i].wall * 1000, bare[i].cpu * 1000);
        ratioRow("Start-up to sound, 1,000 tracks (wall, median of 5)", median(wall(ours)),
                 median(wall(bare)), 3);
        ratioRow("Start-up to sound, 1,000 tracks (CPU, median of 5)", median(cpu(ours)), median(cpu(bare)),
                 3);
    }

    // Memory.
    const std::vector<double> full = repeat(memoryRuns, [&] { return settledRss(folder10k, true); });
    const std::vector<double> empty = repeat(memoryRuns, [&] { return settledRss(folderEmpty, false); });
    if (full.empty() || empty.empty()) {
        std::fprintf(stderr, "memory: the program did not settle\n");
        ok = false;
    } else {
        const double f = median(full), e = median(empty);
        const double cost = f - e;
        tableRow("Memory, 10,000 tracks + 500 folders playing (RSS, median of 3)", mib(f), mib(e),
                 times(f / e), "+" + mib(cost) + " <= +10 MiB", cost < 10 * 1024 * 1024);
    }

    // Idle playing: the program's CPU over 30 s of playing, after it has settled. On the disk driver the
    // program also writes every sample to a file, which no real device asks of it; on the dummy driver
    // SDL only paces the callback, and the figure is the program's own.
    for (const QString driver : {"dummy", "disk"}) {
        std::vector<double> decode;
        QString audio;
        auto child = startProgram(folder1k, &audio, driver);
        DiskWatch watch(audio);
        double programCpu = -1;
        if (child && child->valid()) {
            // The dummy driver leaves no trace to watch: start-up takes a fraction of the settling time.
            const bool playing =
                driver == "dummy" || watch.waitForSound(30, [&] { return child->running(); }) > 0;
            sleepFor(2);
            const double before = child->cpuSeconds();
            const std::map<int, double> threadsBefore = child->threadCpu();
            // The floor is measured meanwhile, five times, so that both meet the same load on the machine.
            const double end = now() + idleSeconds;
            for (int i = 0; i < 5; ++i) {
                sleepFor(idleSeconds / 5 - 0.1);
                const double seconds = decodeCpu(track, idleSeconds);
                if (seconds >= 0)
                    decode.push_back(seconds);
            }
            sleepFor(std::max(0.0, end - now()));
            if (playing && child->running()) {
                programCpu = child->cpuSeconds() - before;
                for (const auto& [tid, threadTotal] : child->threadCpu()) {
                    const auto was = threadsBefore.find(tid);
                    const double used = threadTotal - (was == threadsBefore.end() ? 0 : was->second);
                    std::printf("idle playing (%s): thread %d %s%s: %.1f ms\n", qPrintable(driver), tid,
                                qPrintable(child->threadName(tid)), tid == child->id() ? " (window)" : "",
                                used * 1000);
                }
            }
            // Less than the decoding alone costs means nothing played.
            if (!decode.empty() && programCpu < median(decode))
                programCpu = -1;
        }
        child.reset();
        QFile::remove(audio);
        if (programCpu < 0 || decode.empty()) {
            std::fprintf(stderr, "idle playing (%s): no figure\n", qPrintable(driver));
            ok = false;
        } else {
            ratioRow(QStringLiteral("Idle playing 30 s, window shown, %1 driver (CPU)").arg(driver),
                     programCpu, median(decode), 3);
            // An open device with nothing to play, over a third of the time: SDL's own share.
            const double device = idleDeviceCpu(qPrintable(driver), idleSeconds / 3) * 3;
            if (device >= 0)
                ratioRow(QStringLiteral("  same, less an idle SDL %1 device (%2)").arg(driver, ms(device)),
                         programCpu - device, median(decode), 3);
        }
    }
    return ok ? 0 : 1;
}
