#pragma once
// One folder as the track list and the collection popup show it: one readdir pass, then the names in the
// order a Linux file manager shows them. Qt Core only; names keep their bytes (see fsPath.h).
#include <QCollator>
#include <QLocale>
#include <QString>
#include <QStringList>

// The order of names a file manager shows: the user's locale collation, letter case ignored, runs of digits
// compared by value ("Track 2" before "Track 10"). Names sort by what they show (displayPath), so a name
// that is not UTF-8 sorts by its replacement characters; names that collate equal fall back to their code
// units, so the order never depends on the order the names came in.
class TNameOrder {
public:
    // The C and POSIX locales collate by bytes; they get the Unicode default order instead.
    explicit TNameOrder(const QLocale& locale = QLocale());
    void sort(QStringList& names) const;
    bool lessThan(const QString& a, const QString& b) const;

private:
    QCollator collator;
};

struct TFolderListing {
    QStringList folders; // sub-folders, links to folders and hidden ones included
    QStringList files;   // every other entry whose extension is in the list
};

// Lists `folder` (with or without the trailing delimiter) in one readdir pass, calling stat only for links
// and entries of unknown type, and sorts both lists in `order`. `extensions` is comma text as for
// setExtensionList ("mp3,flac"); empty takes every file. With `withFiles` false only folders are listed.
// Throws SbError with the system's reason when the folder cannot be opened or read.
TFolderListing listFolder(const QString& folder, const QString& extensions, bool withFiles = true,
                          const TNameOrder& order = TNameOrder());

// A folder, links followed; never opens the entry.
bool isFolder(const QString& path);
// Any entry of that name, a dangling link included.
bool entryExists(const QString& path);
// A file name for one line of text: undecodable bytes, line breaks and other control characters each show
// as the replacement character.
QString displayName(const QString& name);
