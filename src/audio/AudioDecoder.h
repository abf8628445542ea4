#pragma once
// The decoder seam under the audio engine: one small interface, two implementations (libmpg123 for MP3,
// FFmpeg for FLAC, Ogg Vorbis, Opus, M4A/AAC and WAV), picked by the file's content, not its name.
//
// A decoder turns one open file into 16-bit interleaved PCM at a fixed rate and channel count (1 or 2)
// and knows the stream's exact length in sample frames. It is not thread-safe: the engine opens it on
// the user-interface thread and, once the stream is published, only its decoder thread calls it.
#include <QString>
#include <QtGlobal>
#include <memory>

// Title, artist and album as the file's own tags give them (ID3, Vorbis comments, MP4 atoms); empty
// when absent.
struct AudioTags {
    QString title;
    QString artist;
    QString album;
};

class IAudioDecoder {
public:
    virtual ~IAudioDecoder() = default;

    // Fixed at open: sample rate in Hz, channels (1 or 2), and the length in frames, exact where the
    // format records it (FLAC's sample count, Ogg's last granule, MP4's edit list, MP3's LAME header or
    // a frame-header scan). A damaged file may end earlier. The FFmpeg decoder never goes past this
    // length; libmpg123 may, when an MP3's header understates it (the engine then takes the real end).
    long rate() const { return rate_; }
    int channels() const { return channels_; }
    qint64 frames() const { return frames_; }
    int frameBytes() const { return 2 * channels_; }

    // Decodes up to `maxBytes` (a multiple of frameBytes) into `out`; `got` is what was written, in
    // whole frames, possibly 0. Returns false at the end of the stream or at damage it cannot get past
    // (`got` is still valid then), true while more may follow.
    virtual bool read(unsigned char* out, size_t maxBytes, size_t& got) = 0;

    // Moves to `frame` (0 <= frame <= frames()); returns the frame the next read starts at, or -1 when
    // the file cannot be moved in, which ends the stream.
    virtual qint64 seek(qint64 frame) = 0;

    virtual AudioTags tags() const = 0;

protected:
    long rate_ = 0;
    int channels_ = 0;
    qint64 frames_ = 0;
};

enum class DecoderOpen {
    Play, // the exact length is worked out (may scan the MP3 frame headers)
    Tags  // only the tags are wanted: no scan
};

// Opens a decoder on `fd` (a regular file open for reading, at any offset). The decoder owns the
// descriptor from here on, also when the open fails: it is closed either way. Returns null with `error`
// set to an AudioError code (Format: nothing decodable; Memory).
std::unique_ptr<IAudioDecoder> openAudioDecoder(int fd, int& error, DecoderOpen mode = DecoderOpen::Play);
// The two implementations, for tests and fuzz targets that aim at one of them.
std::unique_ptr<IAudioDecoder> openMpg123Decoder(int fd, int& error, DecoderOpen mode = DecoderOpen::Play);
std::unique_ptr<IAudioDecoder> openFfmpegDecoder(int fd, int& error, DecoderOpen mode = DecoderOpen::Play);

// True when the first bytes of a file (after any ID3v2 tags) name a FLAC, Ogg, RIFF/WAVE or MP4
// container, which FFmpeg decodes; anything else goes to libmpg123.
bool isFfmpegContainer(const unsigned char* head, size_t size);

// The tags of the file at `path` (opened as a regular file, never blocking); empty ones for a file that
// does not open. Costs one open of the file, no decoding; any thread.
AudioTags readAudioTags(const QString& path);
