#pragma once
// A small tmpfs of its own at a folder, so that a full or read-only disk in a test is real. Mounting needs
// root: a test checks `mounted` and skips without it. The mount goes when the object does.
#include <QByteArray>
#include <QString>

namespace sbtest {

class TmpfsMount {
public:
    // Makes the folder when it is missing, then mounts a tmpfs with `options` ("size=256k") and the
    // mount(2) `flags` (MS_RDONLY) there.
    explicit TmpfsMount(const QString& where, const char* options = "size=1m", unsigned long flags = 0);
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    // Mounts it again with other flags (MS_RDONLY, or 0 for writable), keeping its options and files.
    bool remount(unsigned long flags);

    QString path;
    bool mounted = false;

private:
    QByteArray options;
};

} // namespace sbtest
