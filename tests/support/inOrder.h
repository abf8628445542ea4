#pragma once
// Checks that a log holds given lines in a given order, other lines in between allowed: the start-up
// sequence, for one.
#include <QString>
#include <QStringList>

namespace sbtest {

// Empty when, for each of `prefixes` in turn, a line after the one the prefix before it found starts with
// it; else a failure message naming the first prefix missing and showing the lines.
QString checkInOrder(const QStringList& lines, const QStringList& prefixes);

} // namespace sbtest
