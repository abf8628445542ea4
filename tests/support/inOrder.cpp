#include "inOrder.h"

namespace sbtest {

QString checkInOrder(const QStringList& lines, const QStringList& prefixes) {
    qsizetype at = 0;
    for (const QString& prefix : prefixes) {
        while (at < lines.size() && !lines[at].startsWith(prefix))
            ++at;
        if (at == lines.size())
            return prefix + QStringLiteral(" missing or out of order in:\n") + lines.join(QLatin1Char('\n'));
        ++at;
    }
    return {};
}

} // namespace sbtest
