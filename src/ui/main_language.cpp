// The main window's language: the list of language files, the chosen language, and the source-file scan.
#include "diagnosticLog.h"
#include "dorLanguage.h"
#include "dorOptions.h"
#include "main.h"

#include <QLabel>
#include <utility>
#include <vector>

void TFormMain::initLanguage() {
    addLogValue(QStringLiteral("initLanguage"), prefixLanguege());
    LanguageEngine->ScanLanguages(QString(), QStringLiteral("lng"));
    const QString language =
        optionsBase ? optionsBase->ReadString(QStringLiteral("common"), QStringLiteral("language"), QString())
                    : QString();
    if (language.isEmpty()) {
        // No language: the built-in texts stay, and so do Qt's, once they follow the system's locale.
        if (!qtLanguageApplied) {
            qtLanguageApplied = true;
            applyQtLanguage(QString());
        }
        return;
    }
    LanguageEngine->LoadFromFile(language, QString());
    qtLanguageApplied = true;
    applyQtLanguage(LanguageEngine->getText(localeKey, QString()));

    // These labels show the program's state (folder, track, time, collections), written while it runs.
    // A language file names them too (and lblFolder is also the options dialog's caption), but a
    // translation after the options dialog must not put design texts over what they show now.
    const std::vector<QLabel*> live = {lblFolder,   lbl_fm_1,       lbl_fm_2,         lblProgress,
                                       lblTime,     lblCurrentFile, lbl_1_collection, lbl_2_Collection,
                                       lbl_1_count, lbl_2_Count};
    std::vector<std::pair<QLabel*, QString>> shown;
    for (QLabel* l : live) {
        if (l)
            shown.emplace_back(l, l->text());
    }
    LanguageEngine->TranslateForm(this);
    for (const auto& [label, text] : shown)
        label->setText(text);
    // The tool buttons' widths follow their texts, which may have changed.
    LayoutToolsResize();
}

void TFormMain::Action1Execute() {
    // The scan replaces all texts of the engine it runs on: a copy takes them, so that the language in
    // use (and its list, and what the options dialog saves) stays as it was.
    TLanguageEngine scan(*LanguageEngine);
    scan.ScanForm(this, true);
}
