#pragma once
// Help files: plain text whose lines are grouped into topics. A line that begins with "[topic]" (lower
// case, first column) opens a topic and carries its title; every other line is text of the topic opened
// last; lines before the first marker belong to the topic "Untitled". Pure functions, any thread.
#include <QByteArray>
#include <QString>
#include <QStringList>

struct THelpTopics {
    QStringList titles;   // in file order, titles need not be unique
    QStringList contents; // contents[i] belongs to titles[i]; lines separated by '\n'
};

namespace sbhelp {
inline constexpr QLatin1StringView topicMarker{"[topic]"};
inline constexpr QLatin1StringView untitledTitle{"Untitled"};
// A help file larger than this is treated as unreadable rather than loaded whole into memory.
inline constexpr qint64 maxFileSize = 32 * 1024 * 1024;
} // namespace sbhelp

// Groups decoded text (see decodeTextFile) into topics. A topic is kept only when at least one line (even an
// empty one) follows its marker; titles and texts are trimmed (trimBlanks), empty lines inside a text stay.
THelpTopics parseHelpText(const QString& text);

// The one topic shown while no help file has been read, or when none could be.
THelpTopics helpNotFoundTopics();

// Reads and parses the file at `path`. False (and `out` untouched) when it is missing, not a regular
// file, larger than sbhelp::maxFileSize or cannot be read.
bool readHelpFile(const QString& path, THelpTopics& out);
