// Playback: the player and the playback actions.
#include "main.h"

#include "dorLog.h"

#include <QFileInfo>

// Seams: filled in with the audio player.
void TFormMain::initPlayer() {
    secondsOffset = 10;
}
void TFormMain::freePlayer() {}
void TFormMain::playTrack(const QString& path) {
    addLogValue(QStringLiteral("playTrack (start)"), path);
    currentFile = QFileInfo(path).fileName();
}
void TFormMain::onPlayerTimer(TBassPlayer*) {}
void TFormMain::onPlayerComplete(TBassPlayer*) {}
void TFormMain::TrackBar1Change() {}
void TFormMain::actPlayExecute() {}
void TFormMain::actPauseExecute() {}
void TFormMain::actPlayPauseExecute() {}
void TFormMain::actStopExecute() {}
void TFormMain::actNextExecute() {}
void TFormMain::actPrevExecute() {}
void TFormMain::actRewindExecute() {}
void TFormMain::actForwardExecute() {}
