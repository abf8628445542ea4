// The notification popup and the dialogs.
#include "main.h"

// Seams: filled in with the popup and the dialogs.
void TFormMain::showInfo(const QString&, const QString&, TDialogMessType) {}
void TFormMain::freeMessWindow() {}
void TFormMain::actOptionsExecute() {}
void TFormMain::actHelpExecute() {}
void TFormMain::actAboutExecute() {}
