#include "sbText.h"

#include "fsPath.h"

#include <cerrno>
#include <system_error>

SbText::SbText(const SbTextKey& key, std::initializer_list<SbText> args)
    : FKey(QString::fromLatin1(key.key)), FEnglish(QString::fromUtf8(key.english)), FArgs(args) {}

SbText SbText::joined(std::initializer_list<SbText> parts) {
    SbText text;
    for (const SbText& part : parts) {
        if (text.FArgs.size() == 9)
            break;
        text.FArgs.push_back(part);
        text.FEnglish += QLatin1Char('%') + QString::number(text.FArgs.size());
    }
    return text;
}

QString SbText::toString(const Lookup& lookup) const {
    // A plain value is mostly a path: a byte of a name that is not UTF-8 shows as the replacement character.
    if (!isKeyed() && FArgs.empty())
        return displayPath(FEnglish);
    const QString pattern = lookup && isKeyed() ? lookup(FKey, FEnglish) : FEnglish;
    QStringList values;
    for (const SbText& arg : FArgs)
        values.append(arg.toString(lookup));
    return fill(pattern, values);
}

QString SbText::fill(const QString& pattern, const QStringList& args) {
    QString out;
    out.reserve(pattern.size());
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('%') && i + 1 < pattern.size()) {
            const int n = pattern.at(i + 1).digitValue();
            if (n >= 1 && n <= 9 && n <= args.size()) {
                out += args.at(n - 1);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

SbText osReason(int err) {
    switch (err) {
    case ENOENT:
        return SbText(sbmsg::osNoEntry);
    case EACCES:
        return SbText(sbmsg::osAccess);
    case EPERM:
        return SbText(sbmsg::osPermission);
    case ENOSPC:
        return SbText(sbmsg::osNoSpace);
    case EDQUOT:
        return SbText(sbmsg::osQuota);
    case EROFS:
        return SbText(sbmsg::osReadOnly);
    case EIO:
        return SbText(sbmsg::osIo);
    case ENAMETOOLONG:
        return SbText(sbmsg::osNameTooLong);
    case EEXIST:
        return SbText(sbmsg::osExists);
    case ENOTDIR:
        return SbText(sbmsg::osNotDir);
    case EISDIR:
        return SbText(sbmsg::osIsDir);
    case ELOOP:
        return SbText(sbmsg::osLoop);
    case EBUSY:
        return SbText(sbmsg::osBusy);
    case EMFILE:
        return SbText(sbmsg::osTooManyFiles);
    default:
        return SbText(QString::fromStdString(std::generic_category().message(err)));
    }
}
