// Scanning a large folder into the track list, against bare listings of the same folder.
// The folder holds 10,000 MP3 files and 500 sub-folders. A scan lists the folder twice (sub-folders, then
// files), so the aim is a scan within three times two bare listings.
#include "benchReporter.h"
#include "benchSupport.h"
#include "main.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int trackCount = 10000;
constexpr int folderCount = 500;

QString bigFolder;
TFormMain* form = nullptr;

bool makeBigFolder(const QString& root) {
    QDir dir(root);
    for (int i = 0; i < folderCount; ++i)
        if (!dir.mkdir(QStringLiteral("Album %1").arg(i)))
            return false;
    for (int i = 0; i < trackCount; ++i) {
        QFile f(root + QStringLiteral("/Artist %1 - Track %2.mp3").arg(i % 97).arg(i));
        if (!f.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}

// The platform's own listing: readdir, nothing else.
void BM_ReaddirListing(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(bigFolder);
    for (auto _ : state) {
        DIR* d = opendir(path.constData());
        int n = 0;
        while (const dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
        benchmark::DoNotOptimize(n);
    }
}

// Qt's listing of names with their kind, the least any Qt program pays.
void BM_QtListing(benchmark::State& state) {
    for (auto _ : state) {
        QDirIterator it(bigFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        int n = 0;
        while (it.hasNext()) {
            it.next();
            n += it.fileInfo().isDir() ? 2 : 1;
        }
        benchmark::DoNotOptimize(n);
    }
}

// The whole scan: both listings, the list model filled, the first track selected, the view laid out.
void BM_ScanFolder(benchmark::State& state) {
    for (auto _ : state) {
        form->ScanFolder(bigFolder);
        form->lbTracklist->doItemsLayout();
    }
    state.counters["entries"] = form->lbTracklist->model()->rowCount();
}

BENCHMARK(BM_ReaddirListing)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_QtListing)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_ScanFolder)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

} // namespace

int main(int argc, char** argv) {
    // Headless and silent, and never touching the user's settings or music folder.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    sbbench::isolateHome(home.path());

    QApplication app(argc, argv);
    bigFolder = home.path() + QStringLiteral("/Big");
    if (!QDir().mkpath(bigFolder) || !makeBigFolder(bigFolder)) {
        std::fprintf(stderr, "cannot build the test folder in %s\n", qPrintable(home.path()));
        return 1;
    }
    auto window = std::make_unique<TFormMain>();
    window->show();
    form = window.get();

    benchmark::Initialize(&argc, argv);
    sbbench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    form = nullptr;

    const double scan = reporter.seconds("BM_ScanFolder");
    const double listing = reporter.seconds("BM_QtListing");
    if (scan <= 0 || listing <= 0)
        return 1;
    sbbench::ratioRow("Folder scan, 10,000 tracks + 500 folders, vs 2 Qt listings (median of 5)", scan,
                      2 * listing, 3);
    const double readdirListing = reporter.seconds("BM_ReaddirListing");
    if (readdirListing > 0)
        sbbench::ratioRow("Folder scan, vs 2 bare readdir listings (median of 5)", scan, 2 * readdirListing,
                          3);
    return 0;
}
