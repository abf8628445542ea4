#pragma once
// The audio engine: a small channel interface the player object talks to. One real implementation
// (createDefaultAudioEngine: a decoder per stream, libmpg123 for MP3 and FFmpeg for FLAC, Ogg Vorbis,
// Opus, M4A/AAC and WAV, and SDL2 for output) and, in tests, fakes.
//
// Units: positions and lengths are signed 64-bit byte offsets into the decoded 16-bit PCM at the
// stream's own sample rate and channel count (a 90 s 44.1 kHz stereo file is 15,876,000 bytes). Byte
// positions given to the engine snap down to a whole sample frame (2 bytes per channel).
//
// Threads: every operation is called from the user-interface thread (the thread that called init).
// None of them waits for audio to be decoded or played; the engine does that on threads of its own.
//
// Handles: a stream is named by a non-zero quint32; 0 is never a stream. A freed handle is never reused
// by the same engine. Operations on handle 0 or a freed handle fail (false or -1) and set
// AudioError::Handle; position and length report -1 alike, so "position == length" also holds for
// them.
#include <QString>
#include <QtGlobal>
#include <memory>

namespace AudioError {
// The code lastError() reports after each operation (Ok when it succeeded).
enum : int {
    Ok = 0,
    Memory = 1,      // out of memory
    FileOpen = 2,    // the file is missing or cannot be read
    Driver = 3,      // no usable audio driver or output device
    Handle = 4,      // handle 0 or a handle that was freed
    Format = 5,      // the file holds no audio in a supported format
    Position = 6,    // the requested position lies beyond the stream's end
    NotInit = 7,     // init has not succeeded (or release was called)
    AlreadyInit = 8, // init called twice
    NotPlaying = 9,  // pause on a stream that is not playing
    Unknown = -1
};
} // namespace AudioError

namespace AudioActivity {
// What activity() reports for a valid handle.
enum : int { Stopped = 0, Playing = 1, Paused = 3 };
} // namespace AudioActivity

class IAudioEngine {
public:
    virtual ~IAudioEngine() = default;

    // The interface revision this engine implements: high 16 bits 0x0204, low 16 bits the engine's
    // own revision. Never fails.
    virtual quint32 version() const = 0;

    // Opens the output device: `device` -1 is the default device, `frequency` the device rate in Hz
    // (the player asks for 44100; the device is stereo 16-bit), `flags` must be 0, `window` is the
    // owner window's native handle or 0 (kept for the record; SDL needs none). Returns false on
    // failure (Driver, AlreadyInit).
    virtual bool init(int device, quint32 frequency, quint32 flags, quintptr window) = 0;

    // Stops and frees every stream and closes the device. Safe to call when not initialised.
    virtual void release() = 0;

    // The code of the most recent operation (an AudioError value).
    virtual int lastError() const = 0;

    // Opens an audio file (MP3, FLAC, Ogg Vorbis, Opus, M4A/AAC, WAV; the decoder is picked by the
    // content, not the name) as a stopped stream at position 0 and works out its exact length; costs
    // at most a scan of an MP3's frame headers, never a decode of the whole file. Only a regular file
    // opens (a pipe or device named like a track is FileOpen, found without blocking). Returns the new
    // handle, or 0 on failure (NotInit, FileOpen, Format, Memory).
    virtual quint32 openFile(const QString& path) = 0;

    // Stops and frees a stream; its handle becomes invalid. False for an invalid handle.
    virtual bool freeStream(quint32 handle) = 0;

    // Starts or resumes playing. With `restart` false it continues from the current position (also
    // after stop and pause); with `restart` true it starts from 0. False for an invalid handle.
    virtual bool play(quint32 handle, bool restart) = 0;

    // Pauses a playing stream, keeping its position. False for an invalid handle or a stream that is
    // not playing (NotPlaying).
    virtual bool pause(quint32 handle) = 0;

    // Stops a stream, keeping its position. False for an invalid handle.
    virtual bool stop(quint32 handle) = 0;

    // AudioActivity::Stopped, Playing or Paused; Stopped (with Handle set) for an invalid handle. A
    // stream that has played to its end is Stopped.
    virtual int activity(quint32 handle) const = 0;

    // The byte position of the audio handed to the output device (a multiple of the frame size);
    // equals length() once the stream has played to its end. -1 for an invalid handle.
    virtual qint64 position(quint32 handle) const = 0;

    // Moves the stream to `bytes`, snapped down to a whole frame; a negative value goes to 0. A
    // position equal to the length is the end. False for an invalid handle or a position beyond the
    // end (Position), which leaves the position as it was.
    virtual bool setPosition(quint32 handle, qint64 bytes) = 0;

    // The stream's length in bytes: exact from the start; should the file's real end differ, the
    // real one once the end has been played. -1 for an invalid handle.
    virtual qint64 length(quint32 handle) const = 0;

    // Seconds to bytes at the stream's format, snapped down to a whole frame. -1 for an invalid handle.
    virtual qint64 secondsToBytes(quint32 handle, double seconds) const = 0;

    // Bytes to seconds at the stream's format. -1 for an invalid handle.
    virtual double bytesToSeconds(quint32 handle, qint64 bytes) const = 0;
};

// The real engine (libmpg123 and FFmpeg decoders, SDL2 output), not yet initialised.
std::unique_ptr<IAudioEngine> createDefaultAudioEngine();
