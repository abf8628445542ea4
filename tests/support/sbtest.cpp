#include "sbtest.h"

#include <QDir>
#include <QFile>
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
