#pragma once
#include <QString>

// Opens a web address or a local file with the desktop's default handler. Failures are not reported.
void runFile(const QString& target);
