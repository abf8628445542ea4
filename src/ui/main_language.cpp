// The main window's language: the list of language files, the chosen language, and the source-file scan.
#include "dorLanguage.h"
#include "dorLog.h"
#include "dorOptions.h"
#include "main.h"

void TFormMain::initLanguage() {
    addLogValue(QStringLiteral("initLanguage"), prefixLanguege());
    LanguageEngine->ScanLanguages(QString(), QStringLiteral("lng"));
    const QString language =
        optionsBase ? optionsBase->ReadString(QStringLiteral("common"), QStringLiteral("language"), QString())
                    : QString();
    if (language.isEmpty())
        return;
    LanguageEngine->LoadFromFile(language, QString());
    LanguageEngine->TranslateForm(this);
}

void TFormMain::Action1Execute() {
    LanguageEngine->ScanForm(this, true);
}
