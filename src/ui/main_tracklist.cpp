// Folder scanning and the track list.
#include "main.h"

#include "dorLog.h"
#include "dorTools.h"

// Seams: filled in with the track list.
void TFormMain::setupTrackList() {}
void TFormMain::ScanFolder(const QString& folder) {
    currentFolder = folder.endsWith(pathDelim) || folder.isEmpty() ? folder : folder + pathDelim;
    addLogValue(QStringLiteral("ScanFolder"), folder);
}
void TFormMain::addTrackItem(const QString&, const QString&, const QString&, bool) {}
void TFormMain::selectFirstTrack() {}
void TFormMain::showFolderInfo(bool) {}
int TFormMain::getTrackIndexByName(const QString&) {
    return -1;
}
void TFormMain::updateProgress(int) {}
void TFormMain::lbTracklistChange() {}
void TFormMain::lbTracklistDblClick() {}
void TFormMain::actopenFolderExecute() {}
