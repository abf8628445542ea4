#include "folderListing.h"

#include "dorTools.h"
#include "fsPath.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

QLocale collationLocale(const QLocale& locale) {
    // QCollator compares C and POSIX by code units: capitals first, "Track 10" before "Track 2".
    if (locale.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

// True when `name` ends in one of `exts` (lower case, dot included), letter case ignored.
bool hasExtension(QStringView name, const QStringList& exts) {
    for (const QString& ext : exts)
        if (!ext.isEmpty() && name.endsWith(ext, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

TNameOrder::TNameOrder(const QLocale& locale) : collator(collationLocale(locale)) {
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(false);
}

void TNameOrder::sort(QStringList& names) const {
    if (names.size() < 2)
        return;
    // One key per name, made once: comparing keys is a byte compare, comparing names collates each time.
    struct Keyed {
        QCollatorSortKey key;
        qsizetype index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(static_cast<size_t>(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        keyed.push_back({collator.sortKey(displayPath(names.at(i))), i});
    std::sort(keyed.begin(), keyed.end(), [&names](const Keyed& a, const Keyed& b) {
        const int c = a.key.compare(b.key);
        if (c != 0)
            return c < 0;
        return names.at(a.index) < names.at(b.index);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const Keyed& k : keyed)
        sorted.append(std::move(names[k.index]));
    names = std::move(sorted);
}

bool TNameOrder::lessThan(const QString& a, const QString& b) const {
    const int c = collator.compare(displayPath(a), displayPath(b));
    return c != 0 ? c < 0 : a < b;
}

TFolderListing listFolder(const QString& folder, const QString& extensions, bool withFiles,
                          const TNameOrder& order) {
    if (folder.isEmpty())
        throw SbError(QStringLiteral("Cannot list a folder without a name"));
    QStringList exts;
    if (!extensions.isEmpty())
        setExtensionList(exts, extensions);
    const bool everyFile = extensions.isEmpty();

    DIR* dir = ::opendir(pathBytes(folder).constData());
    if (!dir)
        throw SbError(QStringLiteral("Cannot read folder \"%1\": %2")
                          .arg(displayPath(folder), QString::fromLocal8Bit(std::strerror(errno))));
    TFolderListing result;
    const int fd = ::dirfd(dir);
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* raw = entry->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) {
            errno = 0;
            continue;
        }
        bool isDir = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // Links are followed; a dangling one is not a folder.
            struct stat st {};
            isDir = ::fstatat(fd, raw, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDir) {
            result.folders.append(pathFromBytes(QByteArray(raw)));
        } else if (withFiles) {
            QString name = pathFromBytes(QByteArray(raw));
            if (everyFile || hasExtension(name, exts))
                result.files.append(std::move(name));
        }
        errno = 0;
    }
    const int readErr = errno;
    ::closedir(dir);
    if (readErr != 0)
        throw SbError(QStringLiteral("Cannot read folder \"%1\": %2")
                          .arg(displayPath(folder), QString::fromLocal8Bit(std::strerror(readErr))));
    order.sort(result.folders);
    order.sort(result.files);
    return result;
}

bool isFolder(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(pathBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool entryExists(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::lstat(pathBytes(path).constData(), &st) == 0;
}

QString displayName(const QString& name) {
    QString out = displayPath(name);
    for (QChar& c : out)
        if (isControl(c.unicode()))
            c = QChar::ReplacementCharacter;
    return out;
}
