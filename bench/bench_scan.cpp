// Scanning a large folder into the track list, against bare listings of the same folder.
// The folder holds 10,000 MP3 files and 500 sub-folders. The listing alone (one readdir pass, the names
// sorted for the list) is held to a bare readdir pass plus a sort-key sort of the same names; the whole
// scan also fills the list and lays it out.
#include "benchReporter.h"
#include "benchSupport.h"
#include "const_sb.h"
#include "folderListing.h"
#include "formMainAccess.h"
#include "main.h"

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

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

// The floor of a sorted listing: one readdir pass, then the names sorted by precomputed collation keys
// (locale order, case ignored, digits by value), nothing else.
void BM_FloorReaddirSort(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(bigFolder);
    const QLocale system;
    QCollator collator(system.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                       : system);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (auto _ : state) {
        std::vector<std::pair<QCollatorSortKey, QString>> names;
        DIR* d = opendir(path.constData());
        while (const dirent* e = readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            QString name = QString::fromUtf8(e->d_name);
            names.emplace_back(collator.sortKey(name), std::move(name));
        }
        closedir(d);
        std::sort(names.begin(), names.end(),
                  [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
        benchmark::DoNotOptimize(names.data());
    }
}

// The program's listing: folders and tracks apart, each sorted in name order.
void BM_FolderListing(benchmark::State& state) {
    for (auto _ : state) {
        const TFolderListing listing = listFolder(bigFolder, sb::appFormats);
        benchmark::DoNotOptimize(listing.files.size());
    }
}

// The whole scan: the listing, the list model filled, the first track selected, the view laid out.
void BM_ScanFolder(benchmark::State& state) {
    for (auto _ : state) {
        form->ScanFolder(bigFolder);
        sbt::parts(form).lbTracklist->doItemsLayout();
    }
    state.counters["entries"] = sbt::parts(form).lbTracklist->model()->rowCount();
}

BENCHMARK(BM_ReaddirListing)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_QtListing)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_FloorReaddirSort)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_FolderListing)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
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

    const double listing = reporter.seconds("BM_FolderListing");
    const double floorSort = reporter.seconds("BM_FloorReaddirSort");
    if (listing <= 0 || floorSort <= 0)
        return 1;
    sbbench::ratioRow("Folder listing in name order, 10,000 tracks + 500 folders, vs readdir + sort-key sort "
                      "(median of 5)",
                      listing, floorSort, 1.5);
    const double scan = reporter.seconds("BM_ScanFolder");
    const double qtListing = reporter.seconds("BM_QtListing");
    if (scan <= 0 || qtListing <= 0)
        return 1;
    sbbench::ratioRow("Folder scan, 10,000 tracks + 500 folders, vs 2 Qt listings (median of 5)", scan,
                      2 * qtListing, 3);
    const double readdirListing = reporter.seconds("BM_ReaddirListing");
    if (readdirListing > 0)
        sbbench::ratioRow("Folder scan, vs 2 bare readdir listings (median of 5)", scan, 2 * readdirListing,
                          3);
    return 0;
}
