#pragma once
// What the desktop's remote controls (media keys, panel applets, a second start of the program) may see of
// the player and ask of it. The main window offers it today; the D-Bus side knows nothing else of it.
//
// Threads: user-interface thread only.
#include <QString>
#include <QtGlobal>

class IRemotePlayer {
public:
    enum class Command { Play, Pause, PlayPause, Stop, Next, Previous, Like1, Like2, TakeBack };
    enum class Status { Stopped, Playing, Paused };

    struct State {
        Status status = Status::Stopped;
        QString track;       // full path of the current track; empty when none was started
        qint64 lengthUs = 0; // the track's length in microseconds; 0 when unknown
        qint64 positionUs = 0;
        bool canPlay = false;
        bool canPause = false;
        bool canGoNext = false;
        bool canGoPrevious = false;
        bool canSeek = false;
    };

    virtual ~IRemotePlayer() = default;
    virtual State state() const = 0;
    // Runs the command as the player's own action does (a disabled action does nothing), also while
    // another window has the focus. False when the command is disabled now.
    virtual bool run(Command command) = 0;
    // Moves the current track to `positionUs` microseconds (the player clamps it).
    virtual void seekTo(qint64 positionUs) = 0;
    // Brings the window up.
    virtual void raise() = 0;
    // Ends the program the normal way (settings saved), after the current call has returned.
    virtual void quit() = 0;
    // Opens a folder, or a track's folder playing that track. False (nothing changes) for a path that
    // names neither.
    virtual bool open(const QString& path) = 0;
};
