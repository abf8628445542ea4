#pragma once
// A named pipe that notices being opened. A program that opens a pipe nobody writes to blocks for good;
// the watch sees the reader arrive, lets it go on (opening and closing the writing end gives it an end of
// file at once) and remembers that it happened. So a test of "never opens a pipe" fails instead of hanging.
#include <QString>
#include <atomic>
#include <thread>

namespace sbtest {

class FifoWatch {
public:
    // Makes the pipe at `path`; made() tells whether that worked.
    explicit FifoWatch(const QString& path);
    ~FifoWatch();
    FifoWatch(const FifoWatch&) = delete;
    FifoWatch& operator=(const FifoWatch&) = delete;

    bool made() const { return made_; }
    // Someone opened the pipe for reading since the watch began.
    bool wasOpened() const { return opened_.load(); }

private:
    QByteArray path_;
    bool made_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    std::thread watcher_;
};

} // namespace sbtest
