#include "textFile.h"

#include "fsPath.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool failWith(SbText* error, const SbText& reason) {
    if (error)
        *error = reason;
    return false;
}

} // namespace

TTextFile decodeTextFile(const QByteArray& bytes) {
    TTextFile file;
    qsizetype skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    } else if (bytes.startsWith("\xFF\xFE")) {
        file.encoding = QStringConverter::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        file.encoding = QStringConverter::Utf16BE;
        skip = 2;
    }
    file.bom = skip > 0;
    // Invalid sequences become U+FFFD and decoding goes on; stateless, so that a sequence cut off by the
    // end of the file is reported too instead of waiting for bytes that never come.
    QStringDecoder decoder(file.encoding, QStringConverter::Flag::Stateless);
    file.text = decoder.decode(QByteArrayView(bytes).sliced(skip));
    return file;
}

std::optional<TTextFile> readTextFile(const QString& path, qint64 maxSize, SbText* error) {
    // Checked and opened in one step that never blocks: a FIFO put in place of the file between a check
    // and an open would hang the window for good.
    const int fd = openRegularFile(path);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            failWith(error, SbText(sbmsg::fileMissing));
        else if (err == EISDIR || err == EINVAL)
            failWith(error, SbText(sbmsg::fileNotRegular));
        else
            failWith(error, osReason(err));
        return std::nullopt;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        failWith(error, file.errorString());
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        failWith(error, osReason(errno));
        return std::nullopt;
    }
    const qint64 size = st.st_size;
    if (size > maxSize) {
        failWith(error, SbText(sbmsg::fileTooLarge, {QString::number(maxSize)}));
        return std::nullopt;
    }
    // Read to the size found rather than to the limit: a buffer of the limit would be reserved for every
    // file. One byte more shows a file that grew meanwhile, perhaps past the limit.
    const QByteArray bytes = file.read(size + 1);
    if (file.error() != QFileDevice::NoError) {
        failWith(error, file.errorString());
        return std::nullopt;
    }
    if (bytes.size() > size) {
        failWith(error, SbText(sbmsg::fileGrew));
        return std::nullopt;
    }
    return decodeTextFile(bytes);
}

QByteArray encodeTextFile(const QString& text, QStringConverter::Encoding encoding, bool bom) {
    // The encoder's own flag writes no mark for empty text, which would then read back as UTF-8.
    QStringEncoder encoder(encoding);
    if (!bom)
        return encoder.encode(text);
    return encoder.encode(QString(QChar(0xFEFF)) + text);
}

bool replaceFile(const QString& path, const QByteArray& bytes, SbText* error) {
    // QSaveFile::commit() ignores an error of its final flush and of fsync (Qt 6.4) and would rename a
    // short file over the old one, so both are checked here first; the temporary file is dropped when
    // `file` goes out of scope uncommitted.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return failWith(error, file.errorString());
    if (::fsync(file.handle()) != 0)
        return failWith(error, osReason(errno));
    if (!file.commit())
        return failWith(error, file.errorString());
    return true;
}

QStringList splitTextLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}
