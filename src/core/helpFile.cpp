#include "helpFile.h"

#include "dorTools.h"
#include "textFile.h"

THelpTopics parseHelpText(const QString& text) {
    THelpTopics topics;
    QString title = sbhelp::untitledTitle;
    QString current;
    // Every line adds a separator first, so `current` is non-empty as soon as one line (even an empty
    // one) follows the marker: that is what keeps a topic.
    const auto flush = [&] {
        if (current.isEmpty())
            return;
        topics.titles.append(trimBlanks(title));
        topics.contents.append(trimBlanks(current));
    };
    for (const QString& line : splitTextLines(text)) {
        if (line.startsWith(sbhelp::topicMarker)) {
            flush();
            current.clear();
            title = line.mid(sbhelp::topicMarker.size());
        } else {
            current += QLatin1Char('\n');
            current += line;
        }
    }
    flush();
    return topics;
}

THelpTopics helpNotFoundTopics() {
    THelpTopics topics;
    topics.titles.append(QStringLiteral("Welcome!"));
    topics.contents.append(QStringLiteral("Sorry, but help file not found! Try to reinstall the program. \n"
                                          "Visit our homepage for the latest version."));
    return topics;
}

bool readHelpFile(const QString& path, THelpTopics& out) {
    const std::optional<TTextFile> file = readTextFile(path, sbhelp::maxFileSize);
    if (!file)
        return false;
    out = parseHelpText(file->text);
    return true;
}
