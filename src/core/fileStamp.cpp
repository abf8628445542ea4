#include "fileStamp.h"

#include "fsPath.h"

#include <QString>
#include <sys/stat.h>

namespace {

TFileStamp stampOf(const struct stat& st) {
    TFileStamp s;
    s.device = static_cast<quint64>(st.st_dev);
    s.inode = static_cast<quint64>(st.st_ino);
    s.size = static_cast<qint64>(st.st_size);
    s.mtimeSeconds = static_cast<qint64>(st.st_mtim.tv_sec);
    s.mtimeNanoseconds = static_cast<qint64>(st.st_mtim.tv_nsec);
    return s;
}

} // namespace

bool readFileStamp(const QString& path, TFileStamp* stamp, bool* isRegular) {
    struct stat st {};
    if (path.isEmpty() || ::lstat(pathBytes(path).constData(), &st) != 0)
        return false;
    if (stamp)
        *stamp = stampOf(st);
    if (isRegular)
        *isRegular = S_ISREG(st.st_mode);
    return true;
}

bool readFileStamp(int fd, TFileStamp* stamp) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return false;
    if (stamp)
        *stamp = stampOf(st);
    return true;
}
