#include "fifoWatch.h"

#include <QFile>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sbtest {

FifoWatch::FifoWatch(const QString& path) : path_(QFile::encodeName(path)) {
    made_ = ::mkfifo(path_.constData(), 0600) == 0;
    if (!made_)
        return;
    watcher_ = std::thread([this] {
        while (!stop_.load()) {
            // Without a reader a non-blocking open for writing fails (ENXIO); with one it succeeds.
            const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                opened_.store(true);
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
}

FifoWatch::~FifoWatch() {
    stop_.store(true);
    if (watcher_.joinable())
        watcher_.join();
}

} // namespace sbtest
