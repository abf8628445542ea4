#pragma once
// Texts of a language as key=value lines.
//
// A line splits at its first "="; key and value are taken as they stand (nothing trimmed). Keys compare
// without regard to letter case and the first line with a key wins. Lines without "=" (remarks, blank
// lines) are kept but never match. User-interface thread only.
#include "textFile.h"

#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QStringList>

class TTexts {
public:
    const QStringList& lines() const { return FLines; }
    void clear() { FLines.clear(); }

    // Index of the first line whose key equals `key` (letter case ignored), or -1.
    qsizetype indexOf(const QString& key) const;
    // True when a line has the key, even with an empty value.
    bool contains(const QString& key) const { return indexOf(key) >= 0; }
    // The value of the key's first line; empty when there is none.
    QString value(const QString& key) const;
    // The key's value, or `def` when the key is missing or its value is empty.
    QString getText(const QString& key, const QString& def) const;
    // Replaces the value of the key's first line, or appends "key=value" when the key is absent; an empty
    // value removes the key's first line instead. Line breaks in the value become blanks so that the entry
    // stays one line; a key that cannot be written as one (empty, holding "=" or a line break) is ignored.
    void setText(const QString& key, const QString& value);

    // Replaces all lines by the file's lines and remembers its encoding. Returns false, leaving lines and
    // encoding as they were, when the file cannot be read (missing, not a regular file, no access, larger
    // than maxFileSize).
    bool loadFromFile(const QString& path);
    // Writes every line, each ended by CR LF, in the encoding last read (UTF-8 without a mark when none
    // was read). The file is replaced atomically: on failure the old one stays whole. Returns false on
    // failure.
    bool saveToFile(const QString& path) const;

    // The bytes saveToFile writes.
    QByteArray toBytes() const;
    // Replaces all lines by those of `bytes` and takes their encoding (see decodeTextFile).
    void fromBytes(const QByteArray& bytes);

    QStringConverter::Encoding encoding() const { return FEncoding; }
    bool hasBom() const { return FBom; }

    // Language files are a few kilobytes; anything larger is not one.
    static constexpr qint64 maxFileSize = 16 * 1024 * 1024;

private:
    void take(const TTextFile& file);

    QStringList FLines;
    QStringConverter::Encoding FEncoding = QStringConverter::Utf8;
    bool FBom = false;
};

// Names (with extension, without folder) of the files directly in `folder` whose extension is one of the
// comma-separated `extensions` (written without dot), letter case ignored, in the order in which the file
// system lists them; hidden files included, sub-folders not searched. Empty for a missing or unreadable
// folder.
QStringList listFilesByExtension(const QString& folder, const QString& extensions);
