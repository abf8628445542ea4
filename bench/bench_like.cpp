// The Like action: a 10 MB track copied into a collection (temporary file, no-replace rename, notice, and
// the recount of both buttons' collections of 1,000 files each), against a plain copy of the same file
// into the same folder. Aim: within 1.5 times. The copy that syncs its data shows what durability costs.
#include "benchReporter.h"
#include "benchSupport.h"
#include "main.h"
#include "safeCopy.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace sbbench;

namespace {

constexpr qint64 trackBytes = 10 * 1024 * 1024;
constexpr int collectionFiles = 1000;

TFormMain* form = nullptr;
QString source;
QString target;

// `settle`: the copy is written back before it is removed (untimed), as the Like's own copy is between two
// Likes; a file system then has real blocks to free and allocate, not only page cache to drop.
void copyBench(benchmark::State& state, bool sync, bool settle = false) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    for (auto _ : state) {
        if (!plainCopy(from, to, sync))
            state.SkipWithError("plain copy failed");
        state.PauseTiming();
        if (settle) {
            const int fd = ::open(to.constData(), O_RDONLY);
            if (fd >= 0) {
                ::fdatasync(fd);
                ::close(fd);
            }
        }
        ::unlink(to.constData());
        state.ResumeTiming();
    }
}

void BM_PlainCopy(benchmark::State& state) {
    copyBench(state, false);
}

void BM_PlainCopySynced(benchmark::State& state) {
    copyBench(state, true);
}

void BM_PlainCopySettled(benchmark::State& state) {
    copyBench(state, false, true);
}

void BM_Like(benchmark::State& state) {
    for (auto _ : state) {
        try {
            form->runLike(source, form->collections().name(1));
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        state.PauseTiming();
        waitForCopiesOnDisk(); // this copy's background sync must not slow the next one down
        if (!QFile::remove(target))
            state.SkipWithError("the Like made no copy");
        QCoreApplication::processEvents(); // the notice shows and goes, as between two presses
        state.ResumeTiming();
    }
}

// The Like's copy alone, without the notice and the recount: what the window adds is the difference.
void BM_CopyNoReplace(benchmark::State& state) {
    for (auto _ : state) {
        try {
            if (copyFileNoReplace(source, target) != TCopyResult::Copied)
                state.SkipWithError("the copy found its target taken");
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        state.PauseTiming();
        waitForCopiesOnDisk();
        QFile::remove(target);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_PlainCopySynced)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_PlainCopySettled)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_CopyNoReplace)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_Like)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

bool makeCollection(const QString& folder) {
    if (!QDir().mkpath(folder))
        return false;
    for (int i = 0; i < collectionFiles; ++i) {
        QFile f(folder + QStringLiteral("/Liked %1.mp3").arg(i));
        if (!f.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    isolateHome(home.path());

    QApplication app(argc, argv);
    const QString base = home.path() + "/Collections/";
    source = home.path() + "/Source/track.mp3";
    target = base + "One/track.mp3";
    if (!makeCollection(base + "One") || !makeCollection(base + "Two") ||
        !QDir().mkpath(home.path() + "/Source")) {
        std::fprintf(stderr, "cannot build the collections in %s\n", qPrintable(home.path()));
        return 1;
    }
    if (!writePatternFile(source, trackBytes))
        return 1;

    auto window = std::make_unique<TFormMain>();
    window->show();
    window->collections().setBase(base);
    window->collections().bind(1, "One");
    window->collections().bind(2, "Two");
    window->session().options().playNextAfterCopy = false; // the next track is the track change's own figure
    window->updateButtons();
    form = window.get();

    benchmark::Initialize(&argc, argv);
    TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    form = nullptr;

    const double like = reporter.seconds("BM_Like");
    const double plain = reporter.seconds("BM_PlainCopy");
    const double synced = reporter.seconds("BM_PlainCopySynced");
    if (like <= 0 || plain <= 0)
        return 1;
    ratioRow("Like: 10 MB into a collection, recount 2 x 1,000 (median of 5)", like, plain, 1.5);
    if (synced > 0)
        ratioRow("Like, against a plain copy that also syncs (median of 5)", like, synced, 1.5);
    const double settled = reporter.seconds("BM_PlainCopySettled");
    if (settled > 0)
        ratioRow("Like, against a plain copy written back between runs (median of 5)", like, settled, 1.5);
    const double copyOnly = reporter.seconds("BM_CopyNoReplace");
    if (copyOnly > 0)
        ratioRow("Like's copy alone (no notice, no recount), against the plain copy", copyOnly, plain, 1.5);
    return 0;
}
