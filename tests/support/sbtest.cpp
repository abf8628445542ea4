#include "sbtest.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSaveFile>
#include <QUuid>
#include <cmath>
#include <lame/lame.h>
#include <vector>

namespace sbtest {

QByteArray toneMp3(const ToneSpec& spec) {
    lame_global_flags* gf = lame_init();
    if (!gf)
        return {};
    lame_set_in_samplerate(gf, spec.sampleRate);
    lame_set_out_samplerate(gf, spec.sampleRate);
    lame_set_num_channels(gf, spec.channels);
    lame_set_mode(gf, spec.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(gf, spec.bitrate);
    lame_set_bWriteVbrTag(gf, spec.lameTag ? 1 : 0);
    lame_set_quality(gf, 7);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        return {};
    }
    const long frames = std::lround(spec.seconds * spec.sampleRate);
    std::vector<short> pcm(static_cast<size_t>(frames) * spec.channels);
    const double step = 2.0 * M_PI * spec.frequency / spec.sampleRate;
    for (long i = 0; i < frames; ++i) {
        const auto v = static_cast<short>(std::lround(spec.amplitude * 32767.0 * std::sin(step * i)));
        for (int c = 0; c < spec.channels; ++c)
            pcm[static_cast<size_t>(i) * spec.channels + c] = v;
    }
    QByteArray out;
    std::vector<unsigned char> buf(static_cast<size_t>(1.25 * frames + 7200 + 16384));
    int n = spec.channels == 1 ? lame_encode_buffer(gf, pcm.data(), nullptr, static_cast<int>(frames),
                                                    buf.data(), static_cast<int>(buf.size()))
                               : lame_encode_buffer_interleaved(gf, pcm.data(), static_cast<int>(frames),
                                                                buf.data(), static_cast<int>(buf.size()));
    if (n >= 0)
        out.append(reinterpret_cast<const char*>(buf.data()), n);
    n = lame_encode_flush(gf, buf.data(), static_cast<int>(buf.size()));
    if (n >= 0)
        out.append(reinterpret_cast<const char*>(buf.data()), n);
    if (spec.lameTag) {
        // The encoder reserved the first frame for the header; fill it in now that the length is known.
        unsigned char tag[2880];
        const size_t len = lame_get_lametag_frame(gf, tag, sizeof tag);
        if (len > 0 && len <= static_cast<size_t>(out.size()))
            out.replace(0, static_cast<qsizetype>(len),
                        QByteArray(reinterpret_cast<const char*>(tag), static_cast<qsizetype>(len)));
    }
    lame_close(gf);
    return out;
}

bool writeToneMp3(const QString& path, const ToneSpec& spec) {
    const QByteArray bytes = toneMp3(spec);
    return !bytes.isEmpty() && writeFile(path, bytes);
}

bool writeToneFfmpeg(const QString& path, const QString& format, qint64 frames, double frequency,
                     int sampleRate, int channels, const QStringList& extra) {
    static const QMap<QString, QStringList> codec = {
        {"flac", {"-c:a", "flac", "-f", "flac"}},    {"vorbis", {"-c:a", "libvorbis", "-f", "ogg"}},
        {"opus", {"-c:a", "libopus", "-f", "ogg"}},  {"aac", {"-c:a", "aac", "-f", "ipod"}},
        {"wav", {"-c:a", "pcm_s16le", "-f", "wav"}}, {"mp3", {"-c:a", "libmp3lame", "-f", "mp3"}}};
    if (!codec.contains(format))
        return false;
    // A source longer than wanted, cut at the exact sample.
    const double seconds = double(frames) / sampleRate + 1.0;
    QStringList args = {"-nostdin",
                        "-v",
                        "error",
                        "-y",
                        "-f",
                        "lavfi",
                        "-i",
                        QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=%3")
                            .arg(frequency)
                            .arg(sampleRate)
                            .arg(seconds, 0, 'f', 3),
                        "-af",
                        QStringLiteral("volume=4,atrim=end_sample=%1").arg(frames),
                        "-ac",
                        QString::number(channels)};
    args += codec.value(format);
    // The MP4 edit list counts in the movie's time scale, by default milliseconds: at the sample rate
    // the file records its length to the sample, as music-store files do.
    if (format == QLatin1String("aac"))
        args << "-movie_timescale" << QString::number(sampleRate);
    args += extra;
    args << path;
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), args);
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok) {
        qWarning("ffmpeg failed: %s", p.readAllStandardError().constData());
        QFile::remove(path);
    }
    return ok;
}

QByteArray toneFfmpeg(const QString& format, qint64 frames, double frequency, int sampleRate, int channels,
                      const QStringList& extra) {
    const QString path = makeTempDir(QStringLiteral("ffmpeg-tone")) + QStringLiteral("/tone");
    QByteArray bytes;
    if (writeToneFfmpeg(path, format, frames, frequency, sampleRate, channels, extra))
        bytes = readFile(path);
    QDir(path.left(path.lastIndexOf('/'))).removeRecursively();
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = f.write(bytes) == bytes.size();
    f.close();
    if (!ok)
        QFile::remove(path);
    return ok;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString makeTempDir(const QString& name) {
    QString base = qEnvironmentVariable("SONABIN_TEST_TMP");
    if (base.isEmpty())
        base = QDir::tempPath();
    const QString dir = base + QStringLiteral("/") + name + QStringLiteral("-") +
                        QUuid::createUuid().toString(QUuid::Id128).left(8);
    QDir().mkpath(dir);
    return dir;
}

} // namespace sbtest
