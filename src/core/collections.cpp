#include "collections.h"

#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorTools.h"
#include "folderListing.h"
#include "fsPath.h"
#include "safeCopy.h"
#include "sbText.h"

#include <QDir>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The name part of a track path; empty when the path names a folder (no track selected).
QString fileNamePart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(pathDelim);
    return slash < 0 ? path : path.mid(slash + 1);
}

} // namespace

QString TCollections::defaultBase() {
    return QDir::homePath() + pathDelim + sb::defaultLibraryFolderName;
}

bool TCollections::isUsableName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(pathDelim) && !name.contains(QChar(0));
}

QStringList TCollections::namesFromList(const QString& listText, QStringList* skipped) {
    QStringList names;
    for (const QString& name : listText.split(QLatin1Char(','))) {
        if (isUsableName(name))
            names << name;
        else if (skipped)
            *skipped << name;
    }
    for (const QString& name : sb::defaultLibraries.split(QLatin1Char(','))) {
        if (names.size() >= 2)
            break;
        if (!names.contains(name))
            names << name;
    }
    return names;
}

void TCollections::bind(int slot, const QString& name) {
    (slot == 1 ? FName1 : FName2) = name;
}

QString TCollections::folderOf(const QString& collection) const {
    return withDelim(FBase + collection);
}

void TCollections::bindDefaults(const QStringList& names, bool reset) {
    // Empty (or blanks) must never mean the file-system root, and a relative path never the folder the
    // program happened to be started from.
    const QString typed = expandTypedFolder(FBase);
    if (!reset && !typed.isEmpty() && !typed.startsWith(pathDelim))
        addLogValue(QStringLiteral("> not a full path, default used"), FBase);
    if (reset || !typed.startsWith(pathDelim))
        FBase = defaultBase() + pathDelim;
    else
        FBase = withDelim(typed);
    FName1 = names.value(0);
    FName2 = names.value(1);
}

void TCollections::makeFolders(const QStringList& names) {
    checkFolder(FBase);
    for (const QString& name : names)
        checkFolder(FBase + name);
    // In every collection, not only the bound ones; a copy running in another instance is kept.
    removeStaleCopyPartsInCollections(FBase);
}

TLikeOutcome TCollections::likeInto(const QString& trackPath, const QString& collection) {
    const QString fileName = fileNamePart(trackPath);
    if (fileName.isEmpty())
        throw SbError(SbText(sbmsg::noTrack, {trackPath}));
    if (!isUsableName(collection))
        throw SbError(SbText(sbmsg::noCollection));
    checkFolder(FBase);
    const QString folder = folderOf(collection);
    checkFolder(folder); // the first Like into a collection creates it

    TLikeOutcome outcome;
    outcome.target = folder + fileName;
    // Only the name is compared; a file of that name is never replaced, whatever it holds.
    outcome.copied = !entryExists(outcome.target) &&
                     copyFileNoReplace(trackPath, outcome.target, &outcome.written) == TCopyResult::Copied;
    outcome.sorted = outcome.copied || isRegularFile(outcome.target);
    return outcome;
}

TCreateRefusal TCollections::create(const QString& name) {
    if (name.isEmpty())
        return TCreateRefusal::Empty;
    if (name.contains(pathDelim) || name.contains(QChar(0)))
        return TCreateRefusal::Delimiter;
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return TCreateRefusal::Dots;
    checkFolder(FBase);
    const QString path = FBase + name;
    if (entryExists(path))
        return TCreateRefusal::Exists;
    if (::mkdir(pathBytes(path).constData(), 0777) != 0) {
        const int err = errno;
        if (err == EEXIST) // made meanwhile
            return TCreateRefusal::Exists;
        throw SbError(SbText(sbmsg::folderCreate, {path, osReason(err)}));
    }
    addLogValue(QStringLiteral("> new collection"), path);
    return TCreateRefusal::None;
}

void TCollections::remove(int slot, const QString& fileName) {
    if (fileName.isEmpty() || fileName.contains(pathDelim))
        return; // names no file in the collection
    const QString path = folder(slot) + fileName;
    if (::unlink(pathBytes(path).constData()) != 0 && errno != ENOENT) {
        const int err = errno;
        throw SbError(SbText(sbmsg::deleteFailed, {path, osReason(err)}));
    }
    addLogValue(QStringLiteral("> deleted from collection"), path);
}

int TCollections::count(int slot) const {
    return countFiles(folder(slot), sb::appFormats);
}

bool TCollections::holdsIn(const QString& collection, const QString& fileName) const {
    return !fileName.isEmpty() && isRegularFile(folderOf(collection) + fileName);
}

QStringList TCollections::listFolders() const {
    if (!isFolder(FBase))
        throw SbError(SbText(sbmsg::baseMissing, {FBase}));
    try {
        return listFolder(FBase, QString(), false).folders;
    } catch (const SbError&) {
        throw SbError(SbText(sbmsg::baseUnreadable, {FBase}));
    }
}
