#include "dorOptions.h"

#include "dorTools.h"

#include "textFile.h"

#include <QFileInfo>
#include <utility>

TOptionsBase* optionsBase = nullptr;

namespace {

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break inside a name or value would split the line when the file is read again and could forge
// sections or keys (a folder name may hold one), so it is stored as a blank.
QString oneLine(const QString& text) {
    QString result = text;
    result.replace(QLatin1Char('\r'), QLatin1Char(' '));
    result.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return result;
}

} // namespace

TOptionsBase::TOptionsBase(const QString& fileName) : FFileName(fileName) {
    if (fileName.isEmpty() || !QFileInfo::exists(fileName))
        return;
    SbText error;
    const std::optional<TTextFile> file = readTextFile(fileName, maxFileSize, &error);
    if (!file)
        throw SbError(SbText(sbmsg::settingsRead, {fileName, error}));
    FEncoding = file->encoding;
    FBom = file->bom;

    Section* current = nullptr;
    for (const QString& raw : splitTextLines(file->text)) {
        const QString line = trimBlanks(raw);
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.size() >= 2 && line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            // A section named twice continues the first one, so that every key stays reachable.
            current = &section(trimBlanks(line.mid(1, line.size() - 2)));
            continue;
        }
        if (!current)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            current->lines.push_back({line, QString(), true});
        else
            current->lines.push_back({trimBlanks(line.left(eq)), trimBlanks(line.mid(eq + 1)), false});
    }
}

TOptionsBase::Section* TOptionsBase::findSection(const QString& name) {
    for (Section& s : FSections)
        if (sameName(s.name, name))
            return &s;
    return nullptr;
}

const TOptionsBase::Section* TOptionsBase::findSection(const QString& name) const {
    for (const Section& s : FSections)
        if (sameName(s.name, name))
            return &s;
    return nullptr;
}

TOptionsBase::Section& TOptionsBase::section(const QString& name) {
    if (Section* s = findSection(name))
        return *s;
    FSections.push_back({name, {}});
    return FSections.back();
}

TOptionsBase::Line* TOptionsBase::findLine(const QString& sectionName, const QString& key) {
    return const_cast<Line*>(std::as_const(*this).findLine(sectionName, key));
}

const TOptionsBase::Line* TOptionsBase::findLine(const QString& sectionName, const QString& key) const {
    const Section* s = findSection(sectionName);
    if (!s)
        return nullptr;
    for (const Line& line : s->lines)
        if (!line.bare && sameName(line.key, key))
            return &line;
    return nullptr;
}

QString TOptionsBase::ReadString(const QString& sectionName, const QString& key, const QString& def) const {
    const Line* line = findLine(sectionName, key);
    return line ? line->value : def;
}

qint32 TOptionsBase::ReadInteger(const QString& sectionName, const QString& key, qint32 def) const {
    const Line* line = findLine(sectionName, key);
    if (!line)
        return def;
    bool ok = false;
    const qint32 value = line->value.toInt(&ok, 10);
    return ok ? value : def;
}

bool TOptionsBase::ReadBool(const QString& sectionName, const QString& key, bool def) const {
    return ReadInteger(sectionName, key, def ? 1 : 0) != 0;
}

void TOptionsBase::WriteString(const QString& sectionName, const QString& key, const QString& value) {
    if (Line* line = findLine(sectionName, key)) {
        line->value = oneLine(value);
        return;
    }
    section(oneLine(sectionName)).lines.push_back({oneLine(key), oneLine(value), false});
}

void TOptionsBase::WriteInteger(const QString& sectionName, const QString& key, qint32 value) {
    WriteString(sectionName, key, QString::number(value));
}

void TOptionsBase::WriteBool(const QString& sectionName, const QString& key, bool value) {
    WriteString(sectionName, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

TOptionsBase* TOptionsBase::openOrDefaults(const QString& fileName, SbText* problem) {
    SbText reason;
    try {
        checkFolder(QFileInfo(fileName).path());
        auto* store = new TOptionsBase(fileName);
        if (problem)
            *problem = SbText();
        return store;
    } catch (const SbError& e) {
        reason = e.message();
    }
    if (problem)
        *problem = SbText::joined({reason, QStringLiteral("\n\n"), SbText(sbmsg::settingsDefaults)});
    return new TOptionsBase(QString());
}

void TOptionsBase::Save() {
    if (FFileName.isEmpty())
        return; // in memory only: the file could not be read, and must not be replaced by defaults
    const QString crlf = QStringLiteral("\r\n");
    QString text;
    for (const Section& s : FSections) {
        text += QLatin1Char('[') + s.name + QLatin1Char(']') + crlf;
        for (const Line& line : s.lines)
            text += (line.bare ? line.key : line.key + QLatin1Char('=') + line.value) + crlf;
        text += crlf;
    }
    SbText error;
    if (!replaceFile(FFileName, encodeTextFile(text, FEncoding, FBom), &error))
        throw SbError(SbText(sbmsg::settingsSave, {FFileName, error}));
}

QStringList TOptionsBase::sections() const {
    QStringList names;
    for (const Section& s : FSections)
        names.append(s.name);
    return names;
}

QStringList TOptionsBase::keys(const QString& sectionName) const {
    QStringList names;
    if (const Section* s = findSection(sectionName))
        for (const Line& line : s->lines)
            if (!line.bare)
                names.append(line.key);
    return names;
}
