// The notification popup and the dialogs.
#include "main.h"

#include "const_sb.h"
#include "dorLanguage.h"
#include "dorOptions.h"
#include "dorTools.h"
#include "formGeometry.h"
#include "form_about.h"
#include "form_help.h"
#include "form_message.h"
#include "form_options.h"
#include "sbWidgets.h"

#include <QAction>
#include <QPointer>
#include <QToolButton>

void TFormMain::showInfo(const QString& title, const QString& message, TDialogMessType kind) {
    if (!messWindow)
        messWindow = new TFormMessage(this);
    messWindow->showInfoMessage(title, message, kind);
    const bool wasVisible = messWindow->isVisible();
    messWindow->show();
    if (wasVisible)
        messWindow->raise();
}

void TFormMain::freeMessWindow() {
    delete messWindow;
    messWindow = nullptr;
}

void TFormMain::actOptionsExecute() {
    // On the heap and watched: the main window may be closed while the dialog runs its own loop.
    QPointer<TFormOptions> dlg = new TFormOptions(this);
    dlg->texts = LanguageEngine;
    dlg->FormSetupText(actOptions->text(), actionHint(actOptions));
    LanguageEngine->TranslateForm(dlg->formGet());
    dlg->btnSelectFolder->setToolTip(plainToolTip(
        LanguageEngine->getText(QStringLiteral("txt_choose_folder"), QStringLiteral("Choose folder"))));
    for (const QString& language : LanguageEngine->languages())
        if (language.size() > 2)
            dlg->Form_LangAdd(language);
    dlg->form_ReadOptions();
    const int result = dlg->exec();
    if (!dlg)
        return;
    if (result == QDialog::Accepted) {
        dlg->form_SaveOptions();
        // A failed save ends the step here (general error report): nothing is reloaded.
        runGuarded([this] {
            optionsSave();
            optionsLoad();
            initFolders(false);
        });
    }
    delete dlg;
}

void TFormMain::actHelpExecute() {
    QPointer<TFormHelp> dlg = new TFormHelp(this);
    dlg->FormSetupText(actHelp->text(), actionHint(actHelp));
    LanguageEngine->TranslateForm(dlg->formGet());
    loadForm(*optionsBase, dlg->form_object());
    loadWidth(*optionsBase, dlg->LayoutLeft);
    dlg->LayoutLeftResize();
    const QString file =
        TFormHelp::chooseHelpFile(getProgramFolder(QStringLiteral("Help")), LanguageEngine->Language());
    if (!file.isEmpty())
        dlg->FormSetupHelpFile(file);
    dlg->exec();
    if (!dlg)
        return;
    saveForm(*optionsBase, dlg->form_object());
    saveWidth(*optionsBase, dlg->LayoutLeft);
    delete dlg;
}

void TFormMain::actAboutExecute() {
    QPointer<TFormAbout> dlg = new TFormAbout(this);
    LanguageEngine->TranslateForm(dlg->formGet());
    dlg->FormSetupText(actAbout->text(), actionHint(actAbout), sb::homePage);
    dlg->FormSetInfo(TFormAbout::infoText(LanguageEngine));
    dlg->exec();
    delete dlg;
}
