#include "tmpfsMount.h"

#include <QDir>
#include <QFile>
#include <sys/mount.h>

namespace sbtest {

TmpfsMount::TmpfsMount(const QString& where, const char* mountOptions, unsigned long flags)
    : path(where), options(mountOptions) {
    QDir().mkpath(where);
    mounted =
        ::mount("tmpfs", QFile::encodeName(where).constData(), "tmpfs", flags, options.constData()) == 0;
}

TmpfsMount::~TmpfsMount() {
    // Detached: a file a test still holds open must not keep the mount, and the test's folder, busy.
    if (mounted)
        ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
}

bool TmpfsMount::remount(unsigned long flags) {
    return ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", MS_REMOUNT | flags,
                   options.constData()) == 0;
}

} // namespace sbtest
