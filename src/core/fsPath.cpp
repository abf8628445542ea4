#include "fsPath.h"

#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr char16_t carriedFirst = 0xDC80;
constexpr char16_t carriedLast = 0xDCFF;

bool isCarried(char16_t c) {
    return c >= carriedFirst && c <= carriedLast;
}

// Length of the valid UTF-8 sequence at `p` (at most `left` bytes), or 0 when it is not one: overlong
// forms, encoded surrogates and code points past U+10FFFF are not valid.
int validSequence(const unsigned char* p, qsizetype left) {
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    int len = 0;
    char32_t min = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (left < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}
} // namespace

QString pathFromBytes(const QByteArray& bytes) {
    // Nearly every name is valid UTF-8: decode it in one go. Keep a leading byte-order mark, it is part of
    // the name.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString fast = utf8.decode(bytes);
    if (!utf8.hasError())
        return fast;

    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const int len = validSequence(p + i, n - i);
        if (len == 0) {
            out.append(QChar(char16_t(carriedFirst + (p[i] - 0x80))));
            ++i;
        } else {
            out.append(QString::fromUtf8(reinterpret_cast<const char*>(p + i), len));
            i += len;
        }
    }
    return out;
}

QByteArray pathBytes(const QString& path) {
    bool carried = false;
    for (QChar c : path)
        carried = carried || isCarried(c.unicode());
    if (!carried)
        return path.toUtf8();

    QByteArray out;
    out.reserve(path.size() * 2);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path.at(i).unicode();
        if (!isCarried(c))
            continue;
        out.append(QStringView(path).sliced(runStart, i - runStart).toUtf8());
        out.append(char(0x80 + (c - carriedFirst)));
        runStart = i + 1;
    }
    out.append(QStringView(path).sliced(runStart).toUtf8());
    return out;
}

QString displayPath(const QString& path) {
    QString out = path;
    for (QChar& c : out) {
        if (isCarried(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return out;
}

int openRegularFile(const QString& path) {
    const QByteArray name = pathBytes(path);
    struct stat st {};
    if (path.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    if (::stat(name.constData(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    // Non-blocking, in case the entry was swapped for a pipe since the stat; checked again on the descriptor.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = err;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool isRegularFile(const QString& path) {
    struct stat st {};
    return !path.isEmpty() && ::stat(pathBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}
