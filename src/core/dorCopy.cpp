#include "dorCopy.h"

#include "dorTools.h"

#include <QFile>
#include <QRandomGenerator>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::atomic<int> fallbackLevel{0};
std::function<void()> beforeCommit;

QString reason(int err) {
    return QString::fromStdString(std::generic_category().message(err));
}

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
    // Closes now and reports close's own error, which some file systems use to report a failed write.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 ? 0 : ::close(fd);
    }
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

} // namespace

void setCopyFallbackLevelForTests(int level) {
    fallbackLevel.store(level);
}

void setCopyBeforeCommitHookForTests(std::function<void()> hook) {
    beforeCommit = std::move(hook);
}

TCopyResult copyFileNoReplace(const QString& source, const QString& target) {
    const QByteArray src = QFile::encodeName(source);
    const QByteArray dst = QFile::encodeName(target);
    const auto fail = [&](int err) {
        return SbError(QStringLiteral("Can not copy \"%1\" to \"%2\": %3.").arg(source, target, reason(err)));
    };
    if (target.isEmpty() || target.endsWith(QLatin1Char('/')))
        throw SbError(QStringLiteral("Can not copy \"%1\": \"%2\" is not a file name.").arg(source, target));

    Fd in(::open(src.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (in.get() < 0) {
        if (errno == ENOENT)
            throw SbError(QStringLiteral("The file \"%1\" does not exist.").arg(source));
        throw fail(errno);
    }
    struct stat st {};
    if (::fstat(in.get(), &st) != 0)
        throw fail(errno);
    if (!S_ISREG(st.st_mode))
        throw SbError(QStringLiteral("Can not copy \"%1\": it is not a file.").arg(source));

    struct stat existing {};
    if (::lstat(dst.constData(), &existing) == 0)
        return TCopyResult::TargetExists;

    // A short hidden name of our own: the final name may already be as long as the file system allows, and
    // an extension other than ".mp3" keeps a leftover out of every count.
    const QByteArray folder = folderOf(dst);
    TempGuard temp;
    Fd out;
    for (int attempt = 0; attempt < 100 && out.get() < 0; ++attempt) {
        temp.path = folder + (folder.endsWith('/') ? "" : "/") + ".sonabin-" +
                    QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".part";
        out.reset(::open(temp.path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777));
        if (out.get() < 0 && errno != EEXIST)
            break;
    }
    if (out.get() < 0) {
        const int err = errno;
        if (err == ENOENT)
            throw SbError(QStringLiteral("Can not copy \"%1\": the folder \"%2\" does not exist.")
                              .arg(source, QFile::decodeName(folder)));
        throw fail(err);
    }
    temp.armed = true;

    if (const int err = copyData(in.get(), out.get(), st.st_size))
        throw fail(err);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times); // cosmetic: a copy that loses its date is still a good copy
    // The data must be on the disk before the name appears, or a crash could leave a named, empty track.
    if (::fsync(out.get()) != 0)
        throw fail(errno);
    if (out.close() != 0)
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

    // Make the new name itself durable; the copy is complete either way.
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return TCopyResult::Copied;
}
