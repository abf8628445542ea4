#include "languageTexts.h"

#include "folderListing.h"

#include <QDir>
#include <QFileInfo>
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
    const std::optional<TTextFile> file = readTextFile(path, maxFileSize);
    if (!file)
        return false;
    take(*file);
    return true;
}

void TTexts::fromBytes(const QByteArray& bytes) {
    take(decodeTextFile(bytes));
}

void TTexts::take(const TTextFile& file) {
    FLines = splitTextLines(file.text);
    FEncoding = file.encoding;
    FBom = file.bom;
}

QByteArray TTexts::toBytes() const {
    QString text;
    for (const QString& line : FLines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return encodeTextFile(text, FEncoding, FBom);
}

bool TTexts::saveToFile(const QString& path) const {
    return replaceFile(path, toBytes());
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
    TNameOrder().sort(names);
    return names;
}
