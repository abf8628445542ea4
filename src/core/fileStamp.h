#pragma once
// Telling one file from another under the same name. Qt Core only.
#include <QtGlobal>

class QString;

// What tells the file a copy wrote from any later file under the same name: the same inode on the same
// device, with the size and modification time the copy was given.
struct TFileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 mtimeSeconds = 0;
    qint64 mtimeNanoseconds = 0;
    bool operator==(const TFileStamp&) const = default;
};

// The stamp of the entry `path` names, without following a link. False (and `stamp` untouched) when there
// is no such entry; `isRegular` tells a regular file from a link, folder or special file.
bool readFileStamp(const QString& path, TFileStamp* stamp, bool* isRegular = nullptr);
// The same for an open file.
bool readFileStamp(int fd, TFileStamp* stamp);
