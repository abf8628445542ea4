// Language: the main window's translation and the source-file scan.
#include "main.h"

#include "dorLog.h"

// Seam: filled in with the language engine's listing, loading and translation.
void TFormMain::initLanguage() {
    addLogValue(QStringLiteral("initLanguage"), prefixLanguege());
}

void TFormMain::Action1Execute() {}
