#pragma once
// Helpers shared by the measuring programs: clocks, medians, the rows of the `make bench` table, the
// watcher of SDL's disk driver output, and child processes. Header only; each bench is one executable.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sbbench {

// Monotonic wall clock in seconds: the same clock in every process of the machine.
inline double now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline double threadCpu() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline double processCpu() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Our code against its floor, each run once per call and timed by the same clock (now, processCpu, ...).
// Which of the two goes first alternates from call to call, so that neither always finds the other's
// traces in the caches.
class AlternatingPair {
public:
    struct Times {
        double ours = 0;
        double floor = 0;
    };
    template <typename Clock, typename Ours, typename Floor>
    Times run(Clock clock, Ours&& ours, Floor&& floor) {
        return run(clock, ours, floor, [] {});
    }
    // `tidyFloor` runs untimed right after the floor (to free what it made before ours runs).
    template <typename Clock, typename Ours, typename Floor, typename Tidy>
    Times run(Clock clock, Ours&& ours, Floor&& floor, Tidy&& tidyFloor) {
        oursFirst = !oursFirst;
        Times times;
        const auto runFloor = [&] {
            const double t0 = clock();
            floor();
            times.floor = clock() - t0;
            tidyFloor();
        };
        if (!oursFirst)
            runFloor();
        const double t0 = clock();
        ours();
        times.ours = clock() - t0;
        if (oursFirst)
            runFloor();
        return times;
    }

private:
    bool oursFirst = false;
};

// One row of the table that scripts/run-bench prints: appended as tab-separated fields to the file named
// by SONABIN_BENCH_TABLE, and echoed on stdout either way.
inline void tableRow(const QString& measurement, const QString& ours, const QString& floor,
                     const QString& ratio, const QString& aim, bool met) {
    // A row without an aim ("-") is there for information.
    const QString verdict = aim == "-" ? "info" : met ? "ok" : "OVER";
    const QString line = QStringList{measurement, ours, floor, ratio, aim, verdict}.join('\t');
    std::printf("ROW\t%s\n", qPrintable(line));
    std::fflush(stdout);
    const QByteArray file = qgetenv("SONABIN_BENCH_TABLE");
    if (file.isEmpty())
        return;
    QFile f(QFile::decodeName(file));
    if (f.open(QIODevice::Append))
        f.write(line.toUtf8() + '\n');
}

inline QString ms(double seconds) {
    return QString::number(seconds * 1000, 'f', seconds < 0.001 ? 3 : 1) + " ms";
}

inline QString mib(double bytes) {
    return QString::number(bytes / (1024 * 1024), 'f', 1) + " MiB";
}

inline QString times(double ratio) {
    return QString::number(ratio, 'f', 2) + "x";
}

// Ratio row: `ours` and `floor` in seconds, met when ours <= aim x floor.
inline void ratioRow(const QString& measurement, double ours, double floor, double aim) {
    const double ratio = floor > 0 ? ours / floor : 0;
    tableRow(measurement, ms(ours), ms(floor), times(ratio), "<= " + QString::number(aim) + "x",
             floor > 0 && ratio <= aim);
}

// Watches the raw file SDL's disk audio driver writes (signed 16-bit samples) for the first sample that
// is not silence. The driver writes each device buffer right after our callback filled it, so the moment
// the bytes appear is the moment they were handed to the device, give or take the polling step.
class DiskWatch {
public:
    explicit DiskWatch(QString path) : file(std::move(path)) {}
    ~DiskWatch() {
        if (fd >= 0)
            ::close(fd);
    }
    DiskWatch(const DiskWatch&) = delete;
    DiskWatch& operator=(const DiskWatch&) = delete;

    // Skips everything written so far.
    void skipToEnd() {
        openFile();
        if (fd >= 0)
            offset = ::lseek(fd, 0, SEEK_END) & ~off_t{3};
    }

    // Reads what was added since the last call. Returns true when it holds a sample that is not silence.
    bool soundArrived() {
        if (!openFile())
            return false;
        char buffer[1 << 16];
        for (;;) {
            const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
            if (n <= 0)
                return false;
            const ssize_t whole = n & ~ssize_t{3}; // whole stereo frames only
            const auto* samples = reinterpret_cast<const qint16*>(buffer);
            for (ssize_t i = 0; i < whole / 2; ++i)
                if (samples[i] != 0) {
                    offset += whole;
                    return true;
                }
            offset += whole;
            if (whole == 0)
                return false;
        }
    }

    // Polls until a sample that is not silence appears; returns the monotonic time of that poll, or -1
    // after `timeout` seconds. `alive` is asked between polls and ends the wait early when it says no.
    template <typename Alive> double waitForSound(double timeout, Alive alive, double step = 0.0005) {
        const double end = now() + timeout;
        while (now() < end) {
            if (soundArrived())
                return now();
            if (!alive())
                return -1;
            const timespec pause{0, static_cast<long>(step * 1e9)};
            nanosleep(&pause, nullptr);
        }
        return -1;
    }
    double waitForSound(double timeout) {
        return waitForSound(timeout, [] { return true; });
    }

    // Waits until the driver writes its next buffer, which it does right after our callback has filled it;
    // returns the monotonic time of that write, or -1 after `timeout` seconds.
    double waitForWrite(double timeout) {
        const qint64 start = bytesWritten();
        const double end = now() + timeout;
        while (now() < end) {
            if (bytesWritten() != start)
                return now();
            const timespec pause{0, 200000};
            nanosleep(&pause, nullptr);
        }
        return -1;
    }

    qint64 bytesWritten() {
        if (!openFile())
            return 0;
        return ::lseek(fd, 0, SEEK_END);
    }

private:
    bool openFile() {
        if (fd < 0)
            fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        return fd >= 0;
    }
    QString file;
    int fd = -1;
    off_t offset = 0;
};

// A child process started with a given environment (the bench's own plus `extra`, NAME=value each).
class Child {
public:
    Child(const QString& program, const QStringList& extra) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry(*e);
            const std::string name = entry.substr(0, entry.find('='));
            bool replaced = false;
            for (const QString& x : extra)
                replaced = replaced || x.section('=', 0, 0).toStdString() == name;
            if (!replaced)
                env.push_back(entry);
        }
        for (const QString& x : extra)
            env.push_back(x.toStdString());
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string path = QFile::encodeName(program).toStdString();
        char* argv[] = {path.data(), nullptr};
        started = now();
        if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
            pid = -1;
    }
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool valid() const { return pid > 0; }
    pid_t id() const { return pid; }
    double startTime() const { return started; }

    bool running() {
        if (pid <= 0 || done)
            return false;
        int status = 0;
        rusage usage{};
        const pid_t r = ::wait4(pid, &status, WNOHANG, &usage);
        if (r == pid) {
            done = true;
            exitStatus = status;
            finished = now();
            const auto sec = [](const timeval& tv) { return double(tv.tv_sec) + double(tv.tv_usec) * 1e-6; };
            endCpu = sec(usage.ru_utime) + sec(usage.ru_stime);
        }
        return !done;
    }

    // Waits for the child to end by itself; returns the monotonic time it was seen to end, or -1.
    double wait(double timeout) {
        const double end = now() + timeout;
        while (running() && now() < end) {
            const timespec pause{0, 200000};
            nanosleep(&pause, nullptr);
        }
        return done ? finished : -1;
    }

    // Ends the child the way a session manager would (SIGTERM), then for good if it does not go.
    void stop() {
        if (pid <= 0 || !running())
            return;
        ::kill(pid, SIGTERM);
        if (wait(10) < 0) {
            ::kill(pid, SIGKILL);
            wait(10);
        }
    }

    // CPU time of the whole child, known once it has ended.
    double cpuAtEnd() const { return endCpu; }
    bool exitedNormally() const { return done && WIFEXITED(exitStatus) && WEXITSTATUS(exitStatus) == 0; }

    // CPU time of all the child's live threads so far, in seconds (nanosecond accounting).
    double cpuSeconds() const {
        double total = 0;
        const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
        for (const QString& t : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile f(tasks + '/' + t + "/schedstat");
            if (f.open(QIODevice::ReadOnly))
                total += f.readAll().split(' ').value(0).toDouble() * 1e-9;
        }
        return total;
    }

    // CPU seconds of each live thread so far, by thread id.
    std::map<int, double> threadCpu() const {
        std::map<int, double> result;
        const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
        for (const QString& t : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile f(tasks + '/' + t + "/schedstat");
            if (f.open(QIODevice::ReadOnly))
                result[t.toInt()] = f.readAll().split(' ').value(0).toDouble() * 1e-9;
        }
        return result;
    }

    // A thread's name as the system shows it.
    QString threadName(int tid) const {
        QFile f(QStringLiteral("/proc/%1/task/%2/comm").arg(pid).arg(tid));
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().trimmed()) : QString();
    }

    // A field of /proc/<pid>/status in bytes (VmRSS, VmHWM, ...), or -1.
    double statusBytes(const char* field) const {
        QFile f(QStringLiteral("/proc/%1/status").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith(QByteArray(field) + ':'))
                return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toDouble() * 1024;
        return -1;
    }

private:
    pid_t pid = -1;
    bool done = false;
    int exitStatus = 0;
    double started = 0;
    double finished = 0;
    double endCpu = -1;
};

// The floor of the copy measurements: a plain read/write copy through a 1 MiB buffer, with or without
// an fsync at the end.
inline bool plainCopy(const QByteArray& from, const QByteArray& to, bool sync) {
    const int in = ::open(from.constData(), O_RDONLY);
    const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buffer(1 << 20);
    bool ok = in >= 0 && out >= 0;
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = ::write(out, buffer.data(), static_cast<size_t>(n)) == n;
    }
    if (ok && sync)
        ok = ::fsync(out) == 0;
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ::close(out);
    return ok;
}

// Points HOME and the XDG folders at `home` and makes the program headless and silent unless told
// otherwise, so a measurement never touches the user's settings, music, screen or speakers.
inline void isolateHome(const QString& home) {
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/.config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/.local/share"));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + "/.cache"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
}

// A file of `bytes` bytes of a fixed pattern: a track to copy, whose content does not matter.
inline bool writePatternFile(const QString& path, qint64 bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk(1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i * 7);
    for (qint64 done = 0; done < bytes; done += chunk.size())
        if (f.write(chunk.constData(), std::min<qint64>(chunk.size(), bytes - done)) < 0)
            return false;
    return true;
}

} // namespace sbbench
