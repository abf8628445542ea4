#pragma once
// File names as the file system holds them. Linux names are bytes; a name that is not valid UTF-8 (an old
// collection from a Latin-1 or CP1251 disk) must keep its bytes from listing to open, copy and count. Such
// a byte is carried inside the QString as a lone surrogate U+DC80..U+DCFF, so that every path stays one
// QString through the program and goes back to the very same bytes at the system call.
#include <QByteArray>
#include <QString>

// The bytes of `path` for a system call: UTF-8, with each carried byte put back as it was.
QByteArray pathBytes(const QString& path);
// A name or path read from the file system: valid UTF-8 decoded, every other byte carried (see above).
QString pathFromBytes(const QByteArray& bytes);
// `path` as the user sees it: each carried byte shows as the replacement character U+FFFD.
QString displayPath(const QString& path);

// Opens `path` for reading only when it is a regular file (links followed), without ever blocking: a pipe,
// socket, device or folder named like a track is a file that does not open. Returns the descriptor
// (blocking mode, close-on-exec) or -1 with errno set (EINVAL for an entry that is not a regular file).
int openRegularFile(const QString& path);
// True for a regular file (links followed); never opens the entry, so never blocks.
bool isRegularFile(const QString& path);
