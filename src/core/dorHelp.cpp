#include "dorHelp.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

QString helpTrim(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 32)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 32)
        --last;
    return text.mid(first, last - first);
}

QString decodeHelpBytes(const QByteArray& bytes) {
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    qsizetype skip = 0;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        skip = 3;
    } else if (bytes.startsWith("\xFF\xFE")) {
        encoding = QStringConverter::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        encoding = QStringConverter::Utf16BE;
        skip = 2;
    }
    // The mark is consumed here, so the decoder must not look for one of its own.
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder(QByteArrayView(bytes).sliced(skip));
    return text;
}

QStringList splitHelpLines(const QString& text) {
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

THelpTopics parseHelpText(const QString& text) {
    THelpTopics topics;
    QString title = sbhelp::untitledTitle;
    QString current;
    // Every line adds a separator first, so `current` is non-empty as soon as one line (even an empty
    // one) follows the marker: that is what keeps a topic.
    const auto flush = [&] {
        if (current.isEmpty())
            return;
        topics.titles.append(helpTrim(title));
        topics.contents.append(helpTrim(current));
    };
    for (const QString& line : splitHelpLines(text)) {
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
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > sbhelp::maxFileSize)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Read to the size found rather than to the limit: a buffer of the limit would be reserved for every
    // file. One byte more shows a file that grew meanwhile.
    const QByteArray bytes = file.read(info.size() + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > info.size())
        return false;
    out = parseHelpText(decodeHelpBytes(bytes));
    return true;
}
