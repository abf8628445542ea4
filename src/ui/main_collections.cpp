// Collections and the Like action.
#include "main.h"

// Seams: filled in with the collections.
void TFormMain::initFolders(bool) {}
void TFormMain::updateButtons() {}
void TFormMain::runLike(const QString&, const QString&) {}
bool TFormMain::isTrackInLibrary(const QString&, const QString&) {
    return false;
}
qint32 TFormMain::checkLongClick() {
    return 0;
}
void TFormMain::btnLib1MouseDown(QToolButton*) {}
void TFormMain::TimerLongClickTimer() {}
void TFormMain::PM_LIBSPopup(QMenu*) {}
void TFormMain::onLibraryMenuClick(QAction*) {}
void TFormMain::actCommand1Execute() {}
void TFormMain::actCommand2Execute() {}
void TFormMain::actCreateNewLibExecute() {}
void TFormMain::actDelFromLibExecute() {}
