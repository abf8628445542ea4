#pragma once
// Shared test fixtures: MP3 files made at test time with libmp3lame, the other formats with the ffmpeg
// tool, and small file helpers.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace sbtest {

struct ToneSpec {
    double seconds = 1.0;
    double frequency = 440.0; // Hz; 0 gives silence
    int sampleRate = 44100;
    int channels = 2;
    int bitrate = 128;      // kbit/s
    bool lameTag = true;    // write the Xing/LAME header that carries the exact length
    double amplitude = 0.5; // of full scale
};

// Encodes a sine tone as MP3 into `path`. Returns false (and leaves no file) on failure.
bool writeToneMp3(const QString& path, const ToneSpec& spec);
// The encoded bytes of a tone, for tests that damage them.
QByteArray toneMp3(const ToneSpec& spec);

// Encodes a sine tone of exactly `frames` sample frames with the ffmpeg command-line tool. `format` is
// one of "flac", "vorbis" (.ogg), "opus", "aac" (.m4a), "wav", "mp3"; `extra` adds output options (for
// example {"-metadata", "title=x"} or {"-movflags", "+faststart"}). Returns false when it fails.
bool writeToneFfmpeg(const QString& path, const QString& format, qint64 frames, double frequency = 440.0,
                     int sampleRate = 44100, int channels = 2, const QStringList& extra = {});
// The encoded bytes of such a tone (written through a temporary file), empty on failure.
QByteArray toneFfmpeg(const QString& format, qint64 frames, double frequency = 440.0, int sampleRate = 44100,
                      int channels = 2, const QStringList& extra = {});

bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// A fresh folder below the per-test temporary folder (SONABIN_TEST_TMP, else the system's).
QString makeTempDir(const QString& name);

} // namespace sbtest
