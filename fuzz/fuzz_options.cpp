// The settings store's reader: any bytes as the settings file. Every key must read back, and a saved
// store must read back to the same sections, keys and values and save to the same bytes again.
#include "dorOptions.h"
#include "dorTools.h"
#include "fuzz_common.h"

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    fuzz::check(file.open(QIODevice::ReadOnly), "saved settings file can be opened");
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::writeInput("sonabin.ini", data, size);
    // A readable regular file never throws, whatever it holds.
    TOptionsBase first(path);
    const QStringList sections = first.sections();
    for (const QString& section : sections)
        for (const QString& key : first.keys(section)) {
            first.ReadInteger(section, key, 7);
            first.ReadBool(section, key, true);
        }
    first.Save();
    const QByteArray saved = fileBytes(path);

    TOptionsBase second(path);
    fuzz::check(second.sections() == sections, "sections survive a save");
    for (const QString& section : sections) {
        const QStringList keys = first.keys(section);
        fuzz::check(second.keys(section) == keys, "keys survive a save");
        for (const QString& key : keys)
            fuzz::check(second.ReadString(section, key, QStringLiteral("\x01")) ==
                            first.ReadString(section, key, QStringLiteral("\x02")),
                        "values survive a save");
    }
    second.Save();
    fuzz::check(fileBytes(path) == saved, "a second save writes the same bytes");

    // A written value reads back (values are stored trimmed and on one line, so such a one is written).
    if (!sections.isEmpty()) {
        const QString section = sections.first();
        QString value = QString::fromUtf8(saved.left(40));
        value.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        second.WriteString(section, QStringLiteral("fuzz_key"), trimBlanks(value));
        second.Save();
        TOptionsBase third(path);
        fuzz::check(third.ReadString(section, QStringLiteral("fuzz_key"), QString()) ==
                        second.ReadString(section, QStringLiteral("fuzz_key"), QString()),
                    "a written value reads back");
    }
    return 0;
}
