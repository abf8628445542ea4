#include "dorTools.h"

#include "folderListing.h"
#include "fsPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <limits>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

bool isBlank(QChar c) {
    return c.unicode() <= 0x20;
}

// Extension from the last dot of the name, dot included; empty when the name has no dot.
QString fileExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

// Calls `visit(name)` with the raw name of each file (everything that is not a folder, links followed)
// directly in `folder`, in the order the file system gives them. Returns false with the OS reason when the
// folder cannot be read.
template <typename Visit> bool forEachFile(const QString& folder, SbText& reason, Visit&& visit) {
    const QByteArray path = pathBytes(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir) {
        reason = osReason(errno);
        return false;
    }
    const int fd = ::dirfd(dir);
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        bool isDir = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // Follow links; a broken link is not a folder and counts as a file.
            struct stat st {};
            isDir = ::fstatat(fd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isDir)
            visit(name);
        errno = 0;
    }
    const int readErr = errno;
    ::closedir(dir);
    if (readErr != 0) {
        reason = osReason(readErr);
        return false;
    }
    return true;
}

bool listFiles(const QString& folder, QStringList& names, SbText& reason) {
    return forEachFile(folder, reason,
                       [&names](const char* name) { names.append(pathFromBytes(QByteArray(name))); });
}

bool isAscii(QByteArrayView bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

void makeFolder(const QString& folder) {
    if (folder.isEmpty())
        throw SbError(SbText(sbmsg::folderNoName));
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(pathBytes(folder).toStdString()), ec);
    if (ec)
        throw SbError(SbText(sbmsg::folderCreate, {folder, osReason(ec.value())}));
    // create_directories reports no error when the path names an existing file or a dangling link.
    if (!isFolder(folder))
        throw SbError(SbText(sbmsg::folderCreate, {folder, osReason(EEXIST)}));
}

} // namespace

QString withDelim(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(pathDelim) ? folder : folder + pathDelim;
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

void setExtensionList(QStringList& list, const QString& extensions) {
    // Comma text: blanks before an item are skipped, an item ends at a comma or a blank, a quoted item
    // may hold both (a doubled quote inside stands for one), and a trailing comma adds an empty item.
    list.clear();
    const QChar quote = QLatin1Char('"');
    const QChar comma = QLatin1Char(',');
    const qsizetype n = extensions.size();
    qsizetype p = 0;
    auto skipBlanks = [&] {
        while (p < n && isBlank(extensions.at(p)))
            ++p;
    };
    skipBlanks();
    while (p < n) {
        QString item;
        if (extensions.at(p) == quote) {
            ++p;
            while (p < n) {
                if (extensions.at(p) == quote) {
                    if (p + 1 < n && extensions.at(p + 1) == quote) {
                        item += quote;
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += extensions.at(p++);
            }
        } else {
            const qsizetype start = p;
            while (p < n && !isBlank(extensions.at(p)) && extensions.at(p) != comma)
                ++p;
            item = extensions.mid(start, p - start);
        }
        list.append(item);
        skipBlanks();
        if (p < n && extensions.at(p) == comma) {
            if (p + 1 == n)
                list.append(QString());
            ++p;
            skipBlanks();
        }
    }
    for (QString& ext : list) {
        ext = ext.toLower();
        if (!ext.isEmpty() && !ext.startsWith(QLatin1Char('.')))
            ext.prepend(QLatin1Char('.'));
    }
}

QString getMusicFolder() {
    // Qt names ~/Music even when it does not exist; the program wants no folder then. An entry of
    // user-dirs.dirs that points at the home folder itself means the folder is disabled.
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty() || !QFileInfo(music).isDir())
        return QString();
    if (QDir(music) == QDir(QDir::homePath()))
        return QString();
    return music;
}

QString getAppDataFolder(const QString& subFolder, bool create) {
    QString path = withDelim(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    if (!subFolder.isEmpty())
        path = withDelim(path + subFolder);
    if (create && !QFileInfo(path).isDir())
        makeFolder(path);
    return path;
}

bool checkFolder(const QString& folder) {
    if (isFolder(folder))
        return true;
    makeFolder(folder);
    return false;
}

QString getLastFolderName(const QString& path) {
    if (path.isEmpty())
        return QString();
    QString rest = path;
    if (rest.endsWith(pathDelim))
        rest.chop(1);
    if (rest.isEmpty())
        return path;
    return rest.mid(rest.lastIndexOf(pathDelim) + 1);
}

QString addBrackets(const QString& text, QChar open, QChar close, const QString& def) {
    const QString t = trimBlanks(text);
    if (t.isEmpty())
        return open + def + close;
    if (t.front() == open || t.back() == close)
        return t;
    return open + t + close;
}

QString removeBrackets(const QString& text, QChar open, QChar close, const QString& def) {
    const QString t = trimBlanks(text);
    if (t.isEmpty())
        return def;
    if (t.size() >= 2 && t.front() == open && t.back() == close)
        return t.mid(1, t.size() - 2);
    return t;
}

QString iif(bool flag, const QString& ifTrue, const QString& ifFalse) {
    return flag ? ifTrue : ifFalse;
}

QString getParentFolder(const QString& folder) {
    QString rest = folder;
    if (rest.endsWith(pathDelim))
        rest.chop(1);
    const qsizetype delim = rest.lastIndexOf(pathDelim);
    return delim < 0 ? QString() : rest.left(delim + 1);
}

int countFiles(const QString& folder, const QString& extensions) {
    if (folder.isEmpty())
        return 0;
    QStringList exts;
    if (!extensions.isEmpty())
        setExtensionList(exts, extensions);
    // The buttons recount their collections after every Like: plain ASCII extensions (the usual case) are
    // matched on the raw names, without making a string of every name.
    QList<QByteArray> asciiExts;
    bool allAscii = true;
    for (const QString& ext : std::as_const(exts)) {
        const QByteArray bytes = ext.toLower().toUtf8();
        allAscii = allAscii && isAscii(bytes);
        asciiExts << bytes;
    }
    int count = 0;
    SbText reason;
    const bool ok = forEachFile(withDelim(folder), reason, [&](const char* name) {
        if (exts.isEmpty()) {
            ++count;
            return;
        }
        const char* dot = std::strrchr(name, '.');
        const QByteArrayView ext = dot ? QByteArrayView(dot) : QByteArrayView();
        if (allAscii && isAscii(ext)) {
            for (const QByteArray& wanted : std::as_const(asciiExts)) {
                if (wanted.size() == ext.size() &&
                    (ext.isEmpty() ||
                     qstrnicmp(wanted.constData(), ext.data(), static_cast<size_t>(ext.size())) == 0)) {
                    ++count;
                    break;
                }
            }
        } else if (exts.contains(fileExtension(pathFromBytes(QByteArray(name))), Qt::CaseInsensitive)) {
            ++count;
        }
    });
    return ok ? count : 0;
}

int getFileList(QStringList* list, const QString& folder, const QString& extensions, bool fullPaths) {
    if (!list)
        return 0;
    if (folder.isEmpty())
        throw SbError(SbText(sbmsg::folderListNoName));
    const QString dir = withDelim(folder);
    QStringList names;
    SbText reason;
    if (!listFiles(dir, names, reason))
        throw SbError(SbText(sbmsg::folderRead, {dir, reason}));
    if (names.isEmpty())
        return 0;
    QStringList exts;
    if (!extensions.isEmpty())
        setExtensionList(exts, extensions);
    QStringList result;
    for (const QString& name : std::as_const(names))
        if (extensions.isEmpty() || exts.contains(fileExtension(name), Qt::CaseInsensitive))
            result.append(fullPaths ? dir + name : name);
    *list = result;
    return int(list->size());
}

QString getExeFileName() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

QString getProgramFolder(const QString& subFolder) {
    const QString exe = getExeFileName();
    QString folder = exe.left(exe.lastIndexOf(pathDelim) + 1);
    if (!subFolder.isEmpty())
        folder = withDelim(folder + subFolder);
    return folder;
}

qint64 roundHalfEven(double value) {
    if (std::isnan(value))
        return 0;
    // nearbyint rounds halves to even only in the default mode; someone else may have changed it.
    const int mode = std::fegetround();
    if (mode != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    if (mode != FE_TONEAREST)
        std::fesetround(mode);
    constexpr double limit = 9223372036854775807.0; // 2^63, the first double past qint64's range
    if (r >= limit)
        return std::numeric_limits<qint64>::max();
    if (r < -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(r);
}

QString expandTypedFolder(const QString& typed) {
    qsizetype start = 0;
    while (start < typed.size() && isBlank(typed.at(start)))
        ++start;
    const QString text = typed.mid(start);
    if (!text.startsWith(QLatin1Char('~')))
        return text;
    const qsizetype slash = text.indexOf(pathDelim);
    const QString user = text.mid(1, slash < 0 ? -1 : slash - 1);
    const QString rest = slash < 0 ? QString() : text.mid(slash);
    QString home;
    if (user.isEmpty()) {
        home = QDir::homePath();
    } else {
        struct passwd entry {};
        struct passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwnam_r(user.toLocal8Bit().constData(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found && found->pw_dir && found->pw_dir[0] == '/')
            home = QFile::decodeName(found->pw_dir);
    }
    if (home.isEmpty())
        return text; // an unknown user: left relative, so the caller refuses it
    // "~/" on a home of "/" must not give "//".
    if (home.endsWith(pathDelim) && rest.startsWith(pathDelim))
        home.chop(1);
    return home + rest;
}
