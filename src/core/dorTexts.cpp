#include "dorTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace {

// The key of a line, or a null view when the line has no "=".
QStringView lineKey(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? QStringView() : QStringView(line).left(eq);
}

bool isLineBreak(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

qsizetype TTexts::indexOf(const QString& key) const {
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        const QStringView k = lineKey(FLines.at(i));
        if (!k.isNull() && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TTexts::value(const QString& key) const {
    const qsizetype i = indexOf(key);
    if (i < 0)
        return {};
    const QString& line = FLines.at(i);
    return line.mid(line.indexOf(QLatin1Char('=')) + 1);
}

QString TTexts::getText(const QString& key, const QString& def) const {
    const QString v = value(key);
    return v.isEmpty() ? def : v;
}

void TTexts::setText(const QString& key, const QString& value) {
    if (key.isEmpty() || key.contains(QLatin1Char('=')) || std::any_of(key.begin(), key.end(), isLineBreak))
        return;
    const qsizetype i = indexOf(key);
    if (value.isEmpty()) {
        if (i >= 0)
            FLines.removeAt(i);
        return;
    }
    QString v = value;
    std::replace_if(v.begin(), v.end(), isLineBreak, QLatin1Char(' '));
    const QString line = key + QLatin1Char('=') + v;
    if (i >= 0)
        FLines[i] = line;
    else
        FLines.append(line);
}

bool TTexts::loadFromFile(const QString& path) {
    // Only regular files: a FIFO or device would block or never end.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxFileSize)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Read to the size found rather than to the limit: a buffer of the limit would be reserved for every
    // file. One byte more shows a file that grew past the limit meanwhile.
    const QByteArray bytes = file.read(info.size() + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > info.size())
        return false;
    fromBytes(bytes);
    return true;
}

void TTexts::fromBytes(const QByteArray& bytes) {
    FLines = splitTextLines(decodeText(bytes, &FEncoding, &FBom));
}

QByteArray TTexts::toBytes() const {
    // The mark goes in as a character: the encoder's own flag writes none for a file without lines, which
    // would then read back as UTF-8.
    QString text;
    if (FBom)
        text += QChar(0xFEFF);
    for (const QString& line : FLines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    QStringEncoder encoder(FEncoding);
    return encoder.encode(text);
}

bool TTexts::saveToFile(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = toBytes();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString decodeText(const QByteArray& bytes, QStringConverter::Encoding* encoding, bool* bom) {
    QStringConverter::Encoding enc = QStringConverter::Utf8;
    qsizetype skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    } else if (bytes.startsWith("\xFF\xFE")) {
        enc = QStringConverter::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        enc = QStringConverter::Utf16BE;
        skip = 2;
    }
    if (encoding)
        *encoding = enc;
    if (bom)
        *bom = skip > 0;
    // Invalid sequences become U+FFFD and decoding goes on; stateless, so that a sequence cut off by the
    // end of the file is reported too instead of waiting for bytes that never come.
    QStringDecoder decoder(enc, QStringDecoder::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes).sliced(skip));
}

QStringList splitTextLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (!isLineBreak(c))
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

QStringList listFilesByExtension(const QString& folder, const QString& extensions) {
    QStringList wanted;
    for (const QString& e : extensions.split(QLatin1Char(','), Qt::SkipEmptyParts))
        wanted.append(e.trimmed().toLower());
    QStringList names;
    if (folder.isEmpty() || wanted.isEmpty())
        return names;
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0 && wanted.contains(name.mid(dot + 1).toLower()))
            names.append(name);
    }
    return names;
}
