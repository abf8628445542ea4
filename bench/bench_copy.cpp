// The Like action's copy against a plain copy of the same 10 MB track. The safe copy adds a temporary name,
// the start of the write-back and a no-replace rename; its sync to the disk runs afterwards on a worker
// thread, which each run waits for outside the timing. The plain copy that syncs shows what a sync in line
// would cost on this disk.
#include "benchSupport.h"
#include "safeCopy.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 trackBytes = 10 * 1024 * 1024;

QString folder;
QString source;

void plainCopies(benchmark::State& state, bool sync) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(folder + QStringLiteral("/plain.mp3"));
    for (auto _ : state) {
        if (!sbbench::plainCopy(from, to, sync))
            state.SkipWithError("plain copy failed");
        state.PauseTiming();
        ::unlink(to.constData());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * trackBytes);
}

void BM_PlainCopy(benchmark::State& state) {
    plainCopies(state, false);
}

void BM_PlainCopySynced(benchmark::State& state) {
    plainCopies(state, true);
}

void BM_SafeCopy(benchmark::State& state) {
    const QString target = folder + QStringLiteral("/safe.mp3");
    for (auto _ : state) {
        if (copyFileNoReplace(source, target) != TCopyResult::Copied)
            state.SkipWithError("safe copy failed");
        state.PauseTiming();
        waitForCopiesOnDisk();
        QFile::remove(target);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * trackBytes);
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCopySynced)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SafeCopy)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    folder = dir.path();
    source = folder + QStringLiteral("/track.mp3");
    if (!sbbench::writePatternFile(source, trackBytes))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
