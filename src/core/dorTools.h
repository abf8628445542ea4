#pragma once
// File and path helpers. Stateless; user-interface thread. On Linux the path delimiter is '/', there are
// no drive letters, and the file-system root "/" is the only folder without a parent.
#include "sbText.h" // SbError
#include <QString>
#include <QStringList>

inline constexpr QChar pathDelim = QLatin1Char('/');

// Removes blanks and control characters (code 32 and below) from both ends.
QString trimBlanks(const QString& text);
// The folder with one trailing path delimiter. An empty folder names no folder and stays empty: it must
// never turn into the file-system root.
QString withDelim(const QString& folder);

// Fills `list` from comma text: items lower-cased, "." put in front of non-empty ones.
void setExtensionList(QStringList& list, const QString& extensions);
// The XDG music folder, without a trailing delimiter; empty when there is none.
QString getMusicFolder();
// The XDG config home (+ subFolder), always ending in '/'; created with its parents when `create`.
// Throws SbError when the folder cannot be created.
QString getAppDataFolder(const QString& subFolder, bool create);
// True when the folder existed; otherwise creates it with its parents and returns false.
// Throws SbError when it cannot be created.
bool checkFolder(const QString& folder);
QString getLastFolderName(const QString& path);
QString addBrackets(const QString& text, QChar open, QChar close, const QString& def);
QString removeBrackets(const QString& text, QChar open, QChar close, const QString& def);
QString iif(bool flag, const QString& ifTrue, const QString& ifFalse);
// "/music/rock/" -> "/music/", "/music" -> "/", "/" -> "", a bare name -> "".
QString getParentFolder(const QString& folder);
// Files (not folders) directly in `folder` whose extension is in the list; all files when `extensions`
// is empty. 0 for a folder that does not exist or cannot be read.
int countFiles(const QString& folder, const QString& extensions);
// Replaces `list` by the folder's matching files in enumeration order (full paths or bare names) and
// returns the number of lines; a folder without files returns 0 and leaves `list` alone.
// Throws SbError for a folder that does not exist or cannot be read.
int getFileList(QStringList* list, const QString& folder, const QString& extensions, bool fullPaths);
QString getExeFileName();
// The executable's folder (+ subFolder), ending in '/'. Creates nothing.
QString getProgramFolder(const QString& subFolder);

// A folder path as a Linux user types it: blanks before it are dropped, and a leading "~" or "~name" is
// that home folder ("~/Sorted" -> "/home/me/Sorted"). Blanks only give empty text. Anything else is
// returned as it is, so a result that does not start with '/' is a relative path (or an unknown user).
QString expandTypedFolder(const QString& typed);

// Rounds to the nearest whole number, exact halves to the even neighbour (178.5 -> 178, 179.5 -> 180).
qint64 roundHalfEven(double value);
