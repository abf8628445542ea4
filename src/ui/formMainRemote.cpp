#include "formMainRemote.h"

#include "dorBass.h"
#include "main.h"

#include <QAction>
#include <QCoreApplication>
#include <cmath>

namespace {

// Bytes of the current stream per second of audio; 0 without a valid stream.
qint64 bytesPerSecond(const TBassPlayer& p) {
    return std::max<qint64>(p.SecondsToPosition(1), 0);
}

qint64 toMicroseconds(qint64 bytes, qint64 perSecond) {
    return perSecond > 0 && bytes > 0 ? static_cast<qint64>(std::llround(bytes * 1e6 / perSecond)) : 0;
}

} // namespace

IRemotePlayer::State TFormMainRemote::state() const {
    State s;
    const TBassPlayer* p = w.session().player();
    if (!p)
        return s;
    s.track = p->TrackFilename();
    s.status = p->isPlaying() ? Status::Playing : p->isPaused() ? Status::Paused : Status::Stopped;
    const qint64 perSecond = bytesPerSecond(*p);
    s.lengthUs = toMicroseconds(p->PositionMax(), perSecond);
    s.positionUs = toMicroseconds(p->Position(), perSecond);
    const bool hasTrack = !s.track.isEmpty();
    s.canPlay = hasTrack && w.actPlay->isEnabled();
    s.canPause = hasTrack && w.actPause->isEnabled();
    s.canGoNext = w.actNext->isEnabled();
    s.canGoPrevious = w.actPrev->isEnabled();
    s.canSeek = s.lengthUs > 0 && w.actForward->isEnabled();
    return s;
}

bool TFormMainRemote::run(Command command) {
    QAction* action = nullptr;
    switch (command) {
    case Command::Play:
        action = w.actPlay;
        break;
    case Command::Pause:
        action = w.actPause;
        break;
    case Command::PlayPause:
        action = w.actPlayPause;
        break;
    case Command::Stop:
        action = w.actStop;
        break;
    case Command::Next:
        action = w.actNext;
        break;
    case Command::Previous:
        action = w.actPrev;
        break;
    case Command::Like1:
        action = w.actCommand1;
        break;
    case Command::Like2:
        action = w.actCommand2;
        break;
    case Command::TakeBack:
        action = w.actUndoLike;
        break;
    }
    if (!action || !action->isEnabled())
        return false;
    // The window's own action, with everything it sets off (the auto offset, the next track after a Like).
    ++w.desktopCommandDepth;
    action->trigger(); // the window's handlers catch and report their own errors
    --w.desktopCommandDepth;
    return true;
}

void TFormMainRemote::seekTo(qint64 positionUs) {
    TBassPlayer* p = w.session().player();
    if (!p)
        return;
    const qint64 perSecond = bytesPerSecond(*p);
    if (perSecond <= 0)
        return;
    w.session().seek(static_cast<qint64>(std::llround(positionUs / 1e6 * perSecond)));
    // The bar shows the new place at once, also while paused.
    w.showBarPosition(p->Position());
}

void TFormMainRemote::raise() {
    w.show();
    if (w.isMinimized())
        w.setWindowState((w.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    w.raise();
    w.activateWindow();
}

void TFormMainRemote::quit() {
    // After the caller's reply: the normal end, as closing the window or a signal from the session.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

bool TFormMainRemote::open(const QString& path) {
    bool opened = false;
    w.runGuarded([&] { opened = w.openPath(path); });
    return opened;
}
