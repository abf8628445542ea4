#pragma once
// Text files as every store of this program reads and writes them: a byte-order mark selects UTF-8,
// UTF-16 LE or UTF-16 BE, no mark means UTF-8; invalid sequences become U+FFFD and the lines around them
// are kept. Files are read only when regular and not larger than the caller's limit, and replaced
// atomically when written. Pure functions, any thread.
#include "sbText.h"

#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QStringList>
#include <optional>

struct TTextFile {
    QString text; // decoded, without the mark
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    bool bom = false; // the file began with a byte-order mark
};

// Decodes a text file's bytes.
TTextFile decodeTextFile(const QByteArray& bytes);

// Reads and decodes the file at `path`. Empty, with the reason in `error` (when given), when the path is
// missing or not a regular file (a FIFO or device would block or never end), larger than `maxSize`
// bytes, grew while being read, or cannot be read.
std::optional<TTextFile> readTextFile(const QString& path, qint64 maxSize, SbText* error = nullptr);

// The bytes of `text` in `encoding`, led by the encoding's mark when `bom` is set. The mark is written
// as a character, so a file without text keeps it too and reads back in the same encoding.
QByteArray encodeTextFile(const QString& text, QStringConverter::Encoding encoding, bool bom);

// Replaces the file at `path` by `bytes`: written beside it, flushed to disk and renamed over it, so a
// crash or a full disk leaves the old file whole. False, with the reason in `error` (when given), on
// failure; the temporary file is then removed.
bool replaceFile(const QString& path, const QByteArray& bytes, SbText* error = nullptr);

// Splits at CR LF, lone LF and lone CR. A final line without a line break counts; a final line break
// does not start another line.
QStringList splitTextLines(const QString& text);
