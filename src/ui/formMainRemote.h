#pragma once
// The main window as the desktop's remote controls see it: its actions and its player's state, through
// the narrow IRemotePlayer interface.
#include "remotePlayer.h"

class TFormMain;

class TFormMainRemote : public IRemotePlayer {
public:
    explicit TFormMainRemote(TFormMain& window) : w(window) {}
    State state() const override;
    bool run(Command command) override;
    void seekTo(qint64 positionUs) override;
    void raise() override;
    void quit() override;
    bool open(const QString& path) override;

private:
    TFormMain& w;
};
