// The audio engine against bare libmpg123, as ratios measured in one run:
//   open_*      opening a 10-minute MP3 (with its LAME header; without, so that it is scanned) against
//               libmpg123 doing the same open (and scan) alone;
//   play_cpu    process CPU time of playing 30 s through the engine against decoding the same 30 s
//               with libmpg123 alone; also without what the open device costs when idle (SDL's
//               output thread wakes every buffer whether anything plays or not);
//   first_sample  time from freeing the previous track and opening the next to its first sample
//               reaching the device (absolute; the device's buffer of 2048 frames is ~46 ms).
// The 10-minute files (a tone mix with noise, so that decoding costs what music costs) are encoded once
// and kept in the cache folder. Audio goes to SDL's dummy driver unless SONABIN_BENCH_AUDIODRIVER names
// another; SONABIN_BENCH_PLAY_SECONDS shortens the playing run.
#include "AudioEngine.h"
#include "benchReporter.h"
#include "benchSupport.h"
#include "musicLikeMp3.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mpg123.h>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 600;

using sbbench::now;
using sbbench::processCpu;

// The cached 10-minute file; empty when it cannot be made.
QString tenMinuteFile(bool lameTag) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                        QStringLiteral("/sonabin-bench");
    QDir().mkpath(dir);
    const QString path =
        dir + (lameTag ? QStringLiteral("/ten-minutes-lame.mp3") : QStringLiteral("/ten-minutes-bare.mp3"));
    if (QFile::exists(path) || sbbench::writeMusicLikeMp3(path, kSeconds, lameTag))
        return path;
    return {};
}

// What an application does with libmpg123 alone to open a file and know its exact length.
mpg123_handle* bareOpen(const QByteArray& path, bool scan) {
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_open(mh, path.constData()) != MPG123_OK ||
        mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
        mpg123_delete(mh);
        return nullptr;
    }
    if (scan)
        mpg123_scan(mh);
    benchmark::DoNotOptimize(mpg123_length(mh));
    return mh;
}

std::unique_ptr<IAudioEngine> startEngine() {
    const QByteArray driver = qgetenv("SONABIN_BENCH_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", driver.isEmpty() ? QByteArray("dummy") : driver);
    auto engine = createDefaultAudioEngine();
    if (!engine->init(-1, kRate, 0, 0))
        return nullptr;
    return engine;
}

void openRatio(benchmark::State& state, bool lameTag) {
    const QString path = tenMinuteFile(lameTag);
    auto engine = startEngine();
    if (path.isEmpty() || !engine) {
        state.SkipWithError("no fixture or no audio device");
        return;
    }
    const QByteArray local = QFile::encodeName(path);
    double engineTotal = 0;
    double bareTotal = 0;
    sbbench::AlternatingPair pair;
    for (auto _ : state) {
        quint32 h = 0;
        mpg123_handle* mh = nullptr;
        const auto times = pair.run(
            now, [&] { h = engine->openFile(path); }, [&] { mh = bareOpen(local, !lameTag); },
            [&] { mpg123_delete(mh); });
        engineTotal += times.ours;
        bareTotal += times.floor;
        state.SetIterationTime(times.ours);
        if (h == 0) {
            state.SkipWithError("the engine did not open the file");
            break;
        }
        engine->freeStream(h);
    }
    const double n = double(state.iterations());
    state.counters["engine_ms"] = engineTotal / n * 1e3;
    state.counters["bare_ms"] = bareTotal / n * 1e3;
    state.counters["ratio"] = bareTotal > 0 ? engineTotal / bareTotal : 0;
}

void BM_OpenWithLameHeader(benchmark::State& state) {
    openRatio(state, true);
}
void BM_OpenWithoutHeader(benchmark::State& state) {
    openRatio(state, false);
}

void BM_PlayCpu(benchmark::State& state) {
    const QByteArray env = qgetenv("SONABIN_BENCH_PLAY_SECONDS");
    const int seconds = env.isEmpty() ? 30 : std::max(1, env.toInt());
    const QString path = tenMinuteFile(true);
    auto engine = startEngine();
    if (path.isEmpty() || !engine) {
        state.SkipWithError("no fixture or no audio device");
        return;
    }
    for (auto _ : state) {
        // libmpg123 decoding the same stretch, nothing else.
        double c0 = processCpu();
        mpg123_handle* mh = bareOpen(QFile::encodeName(path), false);
        std::vector<unsigned char> buf(4 * 1152 * 4);
        long left = long(seconds) * kRate * 4;
        while (left > 0) {
            size_t done = 0;
            const int rc = mpg123_read(mh, buf.data(), std::min<size_t>(buf.size(), size_t(left)), &done);
            left -= long(done);
            if (rc != MPG123_OK)
                break;
        }
        mpg123_delete(mh);
        const double bare = processCpu() - c0;

        // What the open device costs with nothing playing (SDL's output thread and our callback).
        const double idleSpan = std::min(seconds, 5);
        c0 = processCpu();
        std::this_thread::sleep_for(std::chrono::duration<double>(idleSpan));
        const double idlePerSecond = (processCpu() - c0) / idleSpan;

        // The engine playing it in real time; the polling mimics the player's 250 ms timer.
        c0 = processCpu();
        const double w0 = now();
        const quint32 h = engine->openFile(path);
        engine->play(h, false);
        const qint64 target = engine->secondsToBytes(h, seconds);
        while (engine->position(h) < target && engine->activity(h) == AudioActivity::Playing)
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        engine->stop(h);
        engine->freeStream(h);
        const double played = processCpu() - c0;
        const double wall = now() - w0;
        state.SetIterationTime(wall);

        state.counters["seconds"] = seconds;
        state.counters["engine_cpu_ms"] = played * 1e3;
        state.counters["bare_cpu_ms"] = bare * 1e3;
        state.counters["ratio"] = bare > 0 ? played / bare : 0;
        state.counters["cpu_percent"] = played / wall * 100;
        state.counters["idle_device_cpu_ms"] = idlePerSecond * wall * 1e3;
        state.counters["ratio_without_idle_device"] = bare > 0 ? (played - idlePerSecond * wall) / bare : 0;
    }
}

void BM_FirstSample(benchmark::State& state) {
    const QString path = tenMinuteFile(true);
    auto engine = startEngine();
    if (path.isEmpty() || !engine) {
        state.SkipWithError("no fixture or no audio device");
        return;
    }
    quint32 previous = 0;
    int phase = 0;
    for (auto _ : state) {
        // Start at varying points of the device's cycle, as a user's click would.
        std::this_thread::sleep_for(std::chrono::milliseconds(phase = (phase + 17) % 50));
        const double t0 = now();
        engine->freeStream(previous);
        const quint32 h = engine->openFile(path);
        engine->play(h, false);
        while (engine->position(h) == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        state.SetIterationTime(now() - t0);
        previous = h;
    }
}

} // namespace

BENCHMARK(BM_OpenWithLameHeader)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_OpenWithoutHeader)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_FirstSample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);
BENCHMARK(BM_PlayCpu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// The figures also go into the `make bench` table.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    sbbench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    using sbbench::tableRow;
    for (const char* name : {"BM_OpenWithLameHeader", "BM_OpenWithoutHeader"}) {
        const double engine = reporter.counter(name, "engine_ms") / 1e3;
        const double bare = reporter.counter(name, "bare_ms") / 1e3;
        if (engine > 0 && bare > 0)
            tableRow(QStringLiteral("Engine: open a 10-minute MP3, %1 (vs libmpg123)")
                         .arg(name == std::string("BM_OpenWithLameHeader") ? "LAME header" : "scanned"),
                     sbbench::ms(engine), sbbench::ms(bare), sbbench::times(engine / bare), "-", true);
    }
    const double engineCpu = reporter.counter("BM_PlayCpu", "engine_cpu_ms") / 1e3;
    const double bareCpu = reporter.counter("BM_PlayCpu", "bare_cpu_ms") / 1e3;
    if (engineCpu > 0 && bareCpu > 0) {
        sbbench::ratioRow("Engine: play 30 s, no window (CPU, vs libmpg123 decoding)", engineCpu, bareCpu, 3);
        const double withoutDevice = reporter.counter("BM_PlayCpu", "ratio_without_idle_device");
        tableRow("  same, less the idle device", sbbench::ms(withoutDevice * bareCpu), sbbench::ms(bareCpu),
                 sbbench::times(withoutDevice), "<= 3x", withoutDevice <= 3);
    }
    const double first = reporter.seconds("BM_FirstSample");
    if (first > 0)
        tableRow("Engine: free, open, play to first sample (mean of 40)", sbbench::ms(first), "-", "-",
                 "< 30 ms", first < 0.030);
    return 0;
}
