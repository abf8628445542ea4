#pragma once
// The audio player: plays one MP3 file at a time through an audio engine, converts between byte
// positions and seconds, and watches playback with a 250 ms timer that reports progress (onTimer) and
// the end of the track (onComplete).
//
// Threads: user-interface thread only; the timer and both callbacks run there too. The player never
// waits for the engine's threads; it learns of progress by polling the position and the length.
// Units: positions are signed 64-bit byte offsets into the decoded 16-bit PCM (see AudioEngine.h);
// seconds are whole seconds unless stated.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class IAudioEngine;
class QTimer;

class TBassPlayer : public QObject {
public:
    using TNotifyEvent = std::function<void(TBassPlayer* sender)>;
    using TExitHook = std::function<void(int exitCode)>;
    using TStartupReporter = std::function<void(const QString& text)>;

    // Tests the engine's version (0x0204 in the high 16 bits) and initialises it on the default device
    // at 44100 Hz with `appHandle` (the owner window's native handle, or 0). On failure hands a fixed text
    // to the start-up reporter and ends the program with exit code 1 through the exit hook; if the hook
    // returns (tests), the player is left with Valid() false.
    TBassPlayer(IAudioEngine& engine, quintptr appHandle);
    // Stops playback, frees the current stream and releases the engine.
    ~TBassPlayer() override;
    TBassPlayer(const TBassPlayer&) = delete;
    TBassPlayer& operator=(const TBassPlayer&) = delete;

    // How the program ends after a start-up failure; std::exit by default. Returns the previous hook.
    static TExitHook setExitHook(TExitHook hook);
    // Shows the user why the player cannot start (the window side sets one that shows a message box and
    // returns once it is dismissed); without one the text goes to stderr. Returns the previous reporter.
    static TStartupReporter setStartupReporter(TStartupReporter reporter);

    // Raised once when the current track has played to its end (or did not open); may be empty.
    const TNotifyEvent& onComplete() const { return FonComplete; }
    void setOnComplete(TNotifyEvent handler) { FonComplete = std::move(handler); }
    // Raised on every timer tick while the track has not ended; may be empty.
    const TNotifyEvent& onTimer() const { return FonTimer; }
    void setOnTimer(TNotifyEvent handler) { FonTimer = std::move(handler); }

    // Frees the previous stream, opens `sTrack` (a full path) and starts playing it. A file that does
    // not open is not reported: the first timer tick, about 250 ms later, raises onComplete. Anything
    // but a regular file (a pipe, socket, device or folder named like a track) is such a file, and is
    // never opened, so it cannot block.
    void PlayTrack(const QString& sTrack);
    // Continues from the current position and starts the timer.
    void Play();
    // Stops the timer and pauses, keeping the position.
    void Pause();
    // Stops the timer and the stream, keeping the position.
    void Stop();
    // Moves the position by whole seconds; see setPosition for the clamp.
    void Forward(int sSeconds);
    void Backward(int sSeconds);

    // Bytes played so far (handed to the output device); -1 when there is no valid stream.
    qint64 Position() const;
    // Moves to `value` bytes; a value beyond PositionMax goes ten bytes before the end (so the track
    // ends at the next tick), PositionMax itself is passed on unchanged, and the engine takes a
    // negative value as 0.
    void setPosition(qint64 value);
    // The stream's length in bytes as read when the track was loaded; 0 before any track, -1 for a
    // track that did not open.
    qint64 PositionMax() const { return FPositionMax; }

    // Whole seconds to bytes at the current stream's format; -1 when there is no valid stream.
    qint64 SecondsToPosition(int sSeconds) const;
    // Bytes to whole seconds, rounded to nearest with exact halves to even; -1 without a valid stream.
    int PositionToSeconds(qint64 sPosition) const;

    // The current position as "mm:ss" (minutes within the hour; whole hours dropped).
    QString TimeCurrent() const;
    // The track's length as "mm:ss", computed when the track was loaded.
    QString TimeTotal() const { return FTimeTotal; }
    // The full path of the current track; empty when none.
    QString TrackFilename() const { return trackFilename; }

    bool isPlaying() const;
    bool isPaused() const;
    // The engine's code for its most recent call, as is (AudioError in AudioEngine.h).
    int getErrorCode() const;
    // The engine is initialised.
    bool Valid() const { return FValid; }
    // The 250 ms timer runs (between Play and the next Pause, Stop or end of track).
    bool timerActive() const;

private:
    void FreeTrack();
    void TimerTick();
    QString timeText(qint64 bytes) const;
    static void startupFailure(const QString& text);

    IAudioEngine& engine;
    TNotifyEvent FonComplete;
    TNotifyEvent FonTimer;
    qint64 FPositionMax = 0;
    QString FTimeTotal;
    bool FValid = false;
    quintptr sHandle = 0;
    std::unique_ptr<QTimer> timer;
    QString trackFilename;
    quint32 track_stream = 0;
};
