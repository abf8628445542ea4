#pragma once
// The settings store: an INI file held whole in memory. Reads and writes touch only the memory copy;
// Save() replaces the file atomically. Section and key order are kept, look-ups ignore letter case, the
// first line with a key wins, unknown sections survive, and a file's byte-order mark is kept.
// User-interface thread only.
#include "sbText.h"

#include <QString>
#include <QStringConverter>
#include <QStringList>
#include <vector>

class TOptionsBase {
public:
    // Loads the file when it exists, else starts empty. Throws SbError when it exists but cannot be read
    // (not a regular file, larger than maxFileSize, no access). An empty name makes a store that keeps its
    // values in memory only: Save() writes nothing.
    explicit TOptionsBase(const QString& fileName);

    // The program's store at `fileName`, its folder created first. When the folder cannot be made or the
    // file cannot be read, the store keeps defaults in memory only (a file the user may mend is never
    // replaced) and `problem` gets one text that names the path and says so; else `problem` is emptied.
    static TOptionsBase* openOrDefaults(const QString& fileName, SbText* problem);

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    qint32 ReadInteger(const QString& section, const QString& key, qint32 def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, qint32 value);
    void WriteBool(const QString& section, const QString& key, bool value);
    // Writes the whole memory copy, replacing the file atomically. Throws SbError on failure; the old file
    // then stays whole. Does nothing for a store in memory only.
    void Save();

    QString fileName() const { return FFileName; }
    QStringList sections() const;
    QStringList keys(const QString& section) const;

    qint32 counter = 0;

    // Settings files are a few kilobytes; a larger one is reported as unreadable rather than read whole.
    static constexpr qint64 maxFileSize = 16 * 1024 * 1024;

private:
    struct Line {
        QString key;
        QString value;
        // A line without "=" in the file: kept and written back as it was, never found by a key.
        bool bare = false;
    };
    struct Section {
        QString name;
        std::vector<Line> lines;
    };
    Section& section(const QString& name);
    Line* findLine(const QString& section, const QString& key);
    const Line* findLine(const QString& section, const QString& key) const;
    Section* findSection(const QString& name);
    const Section* findSection(const QString& name) const;

    QString FFileName;
    std::vector<Section> FSections;
    // Encoding the file was read in; a file without a mark is UTF-8 and written back without one.
    QStringConverter::Encoding FEncoding = QStringConverter::Utf8;
    bool FBom = false;
};

// The one store of the program, created and freed by the main window.
extern TOptionsBase* optionsBase;
