#include "safeCopy.h"

#include "dorTools.h"
#include "fsPath.h"

#include <QFile>
#include <QRandomGenerator>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::atomic<int> fallbackLevel{0};
std::function<void()> beforeCommit;
std::atomic<int> syncFailure{0};
std::mutex hookMutex; // guards the two functions below, which the worker calls
std::function<void()> beforeSync;
std::function<void(const SbText&)> diskErrorHandler;

constexpr char partPrefix[] = ".sonabin-";
constexpr char partSuffix[] = ".part";

// Errors meaning "this file system cannot do that", after which the next, plainer way is tried.
bool unsupported(int err) {
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == ENOTSUP;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// Removes the temporary file unless the copy was committed under its final name.
class TempGuard {
public:
    QByteArray path;
    bool armed = false;
    ~TempGuard() {
        if (armed)
            ::unlink(path.constData());
    }
};

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Copies the rest of `in` from its current offset to `out`. Returns 0 or an errno value.
int copyData(int in, int out, off_t expected) {
    off_t done = 0;
    if (fallbackLevel.load() < 1) {
        for (;;) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
            if (n > 0) {
                done += n;
                continue;
            }
            if (n == 0)
                break;
            if (errno == EINTR)
                continue;
            // Cross-device and special file systems refuse before moving anything; the loop below copes.
            if (done == 0 && (unsupported(errno) || errno == EXDEV || errno == EPERM))
                break;
            return errno;
        }
        // Some file systems report 0 early instead of refusing; the loop below reads up to the real end.
        if (done >= expected)
            return 0;
    }
    std::vector<char> buffer(size_t{1} << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0;
        if (!writeAll(out, buffer.data(), static_cast<size_t>(n)))
            return errno;
    }
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QString lastPart(const QByteArray& path) {
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return displayPath(pathFromBytes(p.mid(p.lastIndexOf('/') + 1)));
}

// A committed copy whose data may still be on their way to the disk.
struct SyncJob {
    int fd = -1;    // the copy itself, never reopened by name
    int dirFd = -1; // its folder, whose entry for the new name is made durable after the data
    QByteArray path;
};

// What a late write error means for the user, after the bad copy was dealt with.
SbText diskErrorText(const SyncJob& job, int err) {
    const QString name = lastPart(job.path);
    const QString collection = lastPart(folderOf(job.path));
    struct stat mine {};
    struct stat now {};
    if (::fstat(job.fd, &mine) != 0 || ::lstat(job.path.constData(), &now) != 0 ||
        now.st_dev != mine.st_dev || now.st_ino != mine.st_ino)
        return SbText(sbmsg::diskRenamed, {name, osReason(err), collection});
    if (::unlink(job.path.constData()) != 0)
        return SbText(sbmsg::diskNotRemoved, {name, osReason(err), collection, osReason(errno)});
    return SbText(sbmsg::diskRemoved, {name, osReason(err), collection});
}

void syncOne(SyncJob& job) {
    {
        std::lock_guard lock(hookMutex);
        if (beforeSync)
            beforeSync();
    }
    int err = ::fdatasync(job.fd) == 0 ? 0 : errno;
    if (err == EINVAL || err == EROFS)
        err = 0; // a file that cannot be synced at all (special file systems): nothing more can be done
    if (const int forced = syncFailure.load())
        err = forced;
    if (err != 0) {
        const SbText message = diskErrorText(job, err);
        std::lock_guard lock(hookMutex);
        if (diskErrorHandler)
            diskErrorHandler(message);
    }
    ::close(job.fd);
    if (job.dirFd >= 0) {
        ::fsync(job.dirFd);
        ::close(job.dirFd);
    }
}

// One worker, started when a copy is waiting for the disk and gone as soon as none is, so that a Like
// does not wait for the disk and an idle program keeps no thread for it. At exit the destructor waits for
// the last syncs.
class DiskSyncer {
public:
    DiskSyncer() = default;
    DiskSyncer(const DiskSyncer&) = delete;
    DiskSyncer& operator=(const DiskSyncer&) = delete;
    ~DiskSyncer() { waitIdle(); }

    void add(SyncJob job) {
        std::unique_lock lock(mutex_);
        queue_.push_back(std::move(job));
        if (running_)
            return;
        // The queue was empty, so a previous worker has left (or is just returning): collect it first.
        if (worker_.joinable())
            worker_.join();
        try {
            worker_ = std::thread([this] { run(); });
            running_ = true;
        } catch (const std::system_error&) {
            // No thread to be had: wait for the disk here instead.
            SyncJob now = std::move(queue_.back());
            queue_.pop_back();
            lock.unlock();
            syncOne(now);
        }
    }

    // Returns when the queue is empty and the worker has ended.
    void waitIdle() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return !running_; });
        if (worker_.joinable())
            worker_.join(); // it has released the lock for good; only its return is left
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!queue_.empty()) {
            SyncJob job = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            syncOne(job);
            lock.lock();
        }
        running_ = false;
        idle_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable idle_;
    std::deque<SyncJob> queue_;
    bool running_ = false;
    std::thread worker_;
};

// Constructed on first use, after the hooks above, so it is destroyed (and drained) before them.
DiskSyncer& diskSyncer() {
    static DiskSyncer syncer;
    return syncer;
}

} // namespace

void setCopyFallbackLevelForTests(int level) {
    fallbackLevel.store(level);
}

void setCopyBeforeCommitHookForTests(std::function<void()> hook) {
    beforeCommit = std::move(hook);
}

void setCopySyncFailureForTests(int err) {
    syncFailure.store(err);
}

void setCopyBeforeSyncHookForTests(std::function<void()> hook) {
    std::lock_guard lock(hookMutex);
    beforeSync = std::move(hook);
}

void setCopyDiskErrorHandler(std::function<void(const SbText& message)> handler) {
    std::lock_guard lock(hookMutex);
    diskErrorHandler = std::move(handler);
}

void waitForCopiesOnDisk() {
    diskSyncer().waitIdle();
}

namespace {

// The stale parts directly in the open folder `dirFd`; see removeStaleCopyParts.
int removeStaleCopyPartsAt(int dirFd) {
    DIR* dir = ::fdopendir(::dup(dirFd));
    if (!dir)
        return 0;
    const size_t prefixLen = std::strlen(partPrefix);
    const size_t suffixLen = std::strlen(partSuffix);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const size_t len = std::strlen(entry->d_name);
        if (len <= prefixLen + suffixLen || std::strncmp(entry->d_name, partPrefix, prefixLen) != 0 ||
            std::strcmp(entry->d_name + len - suffixLen, partSuffix) != 0)
            continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue;
        // Never follows a link, never blocks on a special file; a copy in progress holds its lock.
        Fd part(::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (part.get() < 0 || ::fstat(part.get(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::flock(part.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat now {};
        if (::fstatat(dirFd, entry->d_name, &now, AT_SYMLINK_NOFOLLOW) != 0 || now.st_dev != st.st_dev ||
            now.st_ino != st.st_ino)
            continue;
        if (::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

int openFolder(const QString& folder) {
    return ::open(pathBytes(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

int removeStaleCopyParts(const QString& folder) {
    Fd dirFd(openFolder(folder));
    return dirFd.get() < 0 ? 0 : removeStaleCopyPartsAt(dirFd.get());
}

int removeStaleCopyPartsInCollections(const QString& baseFolder) {
    Fd baseFd(openFolder(baseFolder));
    if (baseFd.get() < 0)
        return 0;
    DIR* dir = ::fdopendir(::dup(baseFd.get()));
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;
        // A link to a folder is a collection like any other: copies go through it, so their parts do.
        // O_NONBLOCK: a FIFO swapped in since readdir must not stall the start-up; O_DIRECTORY refuses it.
        Fd collection(::openat(baseFd.get(), entry->d_name, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
        if (collection.get() >= 0)
            removed += removeStaleCopyPartsAt(collection.get());
    }
    ::closedir(dir);
    return removed;
}

TCopyResult copyFileNoReplace(const QString& source, const QString& target, TFileStamp* written) {
    const QByteArray dst = pathBytes(target);
    const auto fail = [&](int err) {
        return SbError(SbText(sbmsg::copyFailed, {source, target, osReason(err)}));
    };
    if (target.isEmpty() || target.endsWith(QLatin1Char('/')))
        throw SbError(SbText(sbmsg::copyTargetName, {source, target}));

    // Only a regular file is opened: a pipe named like a track would block here for good.
    Fd in(openRegularFile(source));
    if (in.get() < 0) {
        if (errno == ENOENT)
            throw SbError(SbText(sbmsg::copyNoSource, {source}));
        if (errno == EISDIR || errno == EINVAL)
            throw SbError(SbText(sbmsg::copyNotFile, {source}));
        throw fail(errno);
    }
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        throw fail(errno);

    struct stat existing {};
    if (::lstat(dst.constData(), &existing) == 0)
        return TCopyResult::TargetExists;

    // A short hidden name of our own: the final name may already be as long as the file system allows, and
    // an extension that is no audio format keeps a leftover out of every count.
    const QByteArray folder = folderOf(dst);
    TempGuard temp;
    Fd out;
    for (int attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
        temp.path = folder + (folder.endsWith('/') ? "" : "/") + partPrefix +
                    QByteArray::number(QRandomGenerator::global()->generate(), 16) + partSuffix;
        out.reset(::open(temp.path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777));
        if (out.get() < 0) {
            if (errno != EEXIST)
                break;
            continue;
        }
        // The lock tells removeStaleCopyParts (in this or another running instance) that the file is in
        // use. It can only be taken after the file exists, so if a cleanup removed the name in between,
        // this file is lost: start again under a new name.
        struct stat mine {};
        struct stat named {};
        if (::flock(out.get(), LOCK_EX) != 0 || ::fstat(out.get(), &mine) != 0 ||
            ::lstat(temp.path.constData(), &named) != 0 || named.st_dev != mine.st_dev ||
            named.st_ino != mine.st_ino) {
            out.reset();
            errno = EEXIST;
        }
    }
    if (out.get() < 0) {
        const int err = errno;
        if (err == ENOENT)
            throw SbError(SbText(sbmsg::copyNoFolder, {source, pathFromBytes(folder)}));
        throw fail(err);
    }
    temp.armed = true;

    if (const int err = copyData(in.get(), out.get(), st.st_size))
        throw fail(err);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times); // cosmetic: a copy that loses its date is still a good copy
    // Taken from the open file before it gets its name, so it is this copy's and no other file's; naming
    // it keeps inode, size and time.
    TFileStamp stamp;
    if (written && !readFileStamp(out.get(), &stamp))
        throw fail(errno);
    // Start the write-back now, before the name appears: the blocks are allocated and queued, so a file
    // system that orders data before metadata (ext4 data=ordered) cannot commit the rename ahead of them
    // and a crash cannot leave a named, empty track. Waiting for the disk is the worker's job.
    if (::sync_file_range(out.get(), 0, 0, SYNC_FILE_RANGE_WRITE) != 0 && !unsupported(errno) &&
        errno != ESPIPE)
        throw fail(errno);

    if (beforeCommit)
        beforeCommit();
    const int level = fallbackLevel.load();
    bool committed = false;
    if (level < 2) {
        if (::renameat2(AT_FDCWD, temp.path.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0) {
            committed = true;
            temp.armed = false; // the temporary name is gone
        } else if (errno == EEXIST) {
            return TCopyResult::TargetExists;
        } else if (!unsupported(errno)) {
            throw fail(errno);
        }
    }
    if (!committed && level < 3) {
        if (::link(temp.path.constData(), dst.constData()) == 0) {
            committed = true; // the guard now removes the temporary name only
        } else if (errno == EEXIST) {
            return TCopyResult::TargetExists;
        } else if (!unsupported(errno) && errno != EPERM && errno != EMLINK) {
            throw fail(errno);
        }
    }
    if (!committed) {
        // Neither an atomic no-replace rename nor hard links: reserve the name exclusively, then move the
        // complete copy over our own empty reservation.
        Fd reserved(::open(dst.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (reserved.get() < 0) {
            if (errno == EEXIST)
                return TCopyResult::TargetExists;
            throw fail(errno);
        }
        reserved.reset();
        if (::rename(temp.path.constData(), dst.constData()) != 0) {
            const int err = errno;
            ::unlink(dst.constData());
            throw fail(err);
        }
        temp.armed = false;
    }

    // The copy is complete and named; its data, then the new name, are made durable in the background.
    SyncJob job;
    job.dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    job.fd = out.release();
    job.path = dst;
    diskSyncer().add(std::move(job));
    if (written)
        *written = stamp;
    return TCopyResult::Copied;
}
