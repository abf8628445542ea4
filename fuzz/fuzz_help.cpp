// The help-file parser: any bytes as a help file. The file reader and the byte parser agree, and every
// topic has a title and a text, both trimmed, with lines joined by LF alone.
#include "dorTools.h"
#include "fuzz_common.h"
#include "helpFile.h"
#include "textFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const THelpTopics topics = parseHelpText(decodeTextFile(bytes).text);

    THelpTopics fromFile;
    fuzz::check(readHelpFile(fuzz::writeInput("English.help", data, size), fromFile), "a help file reads");
    fuzz::check(fromFile.titles == topics.titles && fromFile.contents == topics.contents,
                "file and bytes give the same topics");

    fuzz::check(topics.titles.size() == topics.contents.size(), "each topic has a title and a text");
    for (qsizetype i = 0; i < topics.titles.size(); ++i) {
        fuzz::check(trimBlanks(topics.titles.at(i)) == topics.titles.at(i), "titles are trimmed");
        fuzz::check(trimBlanks(topics.contents.at(i)) == topics.contents.at(i), "texts are trimmed");
        fuzz::check(!topics.titles.at(i).contains(QLatin1Char('\n')) &&
                        !topics.titles.at(i).contains(QLatin1Char('\r')) &&
                        !topics.contents.at(i).contains(QLatin1Char('\r')),
                    "a title is one line, texts use LF");
    }
    return 0;
}
