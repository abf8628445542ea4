// The language text store: any bytes as a language file. The file reader and the byte parser agree,
// every key reads back, and what the store writes reads back to the same lines and encoding.
#include "fuzz_common.h"
#include "languageTexts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TTexts texts;
    texts.fromBytes(bytes);

    TTexts fromFile;
    fuzz::check(fromFile.loadFromFile(fuzz::writeInput("Deutsch.lng", data, size)), "a language file loads");
    fuzz::check(fromFile.lines() == texts.lines(), "file and bytes give the same lines");

    for (const QString& line : texts.lines()) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq);
        const qsizetype at = texts.indexOf(key);
        fuzz::check(at >= 0 && texts.lines().at(at).left(eq).compare(key, Qt::CaseInsensitive) == 0,
                    "a key finds a line with that key");
        texts.getText(key, QStringLiteral("default"));
    }

    // The decoder drops a second byte-order mark at the very start, so the first line may lose a
    // leading U+FEFF once; after that, writing and reading again is exact.
    QStringList expected = texts.lines();
    if (texts.hasBom() && !expected.isEmpty() && expected.first().startsWith(QChar(0xFEFF)))
        expected.first().remove(0, 1);
    TTexts again;
    again.fromBytes(texts.toBytes());
    fuzz::check(again.lines() == expected, "written lines read back");
    fuzz::check(again.encoding() == texts.encoding() && again.hasBom() == texts.hasBom(),
                "the encoding and the byte-order mark are kept");

    // Setting a text taken from the file keeps it on one line and makes it readable by its key.
    if (!texts.lines().isEmpty()) {
        const QString first = texts.lines().first();
        const QString key = QStringLiteral("fuzz_key");
        texts.setText(key, first);
        const QString v = texts.value(key);
        fuzz::check(first.isEmpty() ? !texts.contains(key) : v.size() == first.size(),
                    "a set text reads back");
        again.fromBytes(texts.toBytes());
        fuzz::check(again.value(key) == v, "a set text survives writing");
    }
    return 0;
}
