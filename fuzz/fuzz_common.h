#pragma once
// Helpers shared by the fuzz targets.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace fuzz {

// A folder of this process's own for the files the targets parse, on a memory file system when there
// is one so that an input costs no disk work. Removed when the process ends normally.
class WorkFolder {
public:
    WorkFolder() {
        const QString base =
            QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        path = base + QStringLiteral("/sonabin-fuzz-") + QString::number(::getpid());
        QDir().mkpath(path);
    }
    ~WorkFolder() { QDir(path).removeRecursively(); }
    QString path;
};

inline QString workFile(const char* name) {
    static const WorkFolder folder;
    return folder.path + QLatin1Char('/') + QLatin1String(name);
}

inline QString writeInput(const char* name, const uint8_t* data, size_t size) {
    const QString path = workFile(name);
    QFile file(path);
    const auto n = static_cast<qint64>(size);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), n) != n) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

// Fails the run (libFuzzer keeps the input) when a property of the parser does not hold.
inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz: property failed: %s\n", what);
        std::abort();
    }
}

} // namespace fuzz
