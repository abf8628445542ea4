#pragma once
// A track that costs to decode what music costs (two moving tones and noise; a pure tone decodes several
// times faster than music), 44.1 kHz stereo at 128 kbit/s. Header only, for the benches that link
// libmp3lame.
#include <QFile>
#include <QString>
#include <algorithm>
#include <cmath>
#include <lame/lame.h>
#include <random>
#include <vector>

namespace sbbench {

// Writes `seconds` of it to `path` (through a temporary name), with or without the LAME header that gives
// the exact length. Returns false on failure.
inline bool writeMusicLikeMp3(const QString& path, int seconds, bool lameTag) {
    constexpr int rate = 44100;
    lame_global_flags* gf = lame_init();
    if (!gf)
        return false;
    lame_set_in_samplerate(gf, rate);
    lame_set_num_channels(gf, 2);
    lame_set_brate(gf, 128);
    lame_set_quality(gf, 7);
    lame_set_bWriteVbrTag(gf, lameTag ? 1 : 0);
    if (lame_init_params(gf) < 0) {
        lame_close(gf);
        return false;
    }
    const QString part = path + QStringLiteral(".part");
    QFile out(part);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        lame_close(gf);
        return false;
    }
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    constexpr int chunk = 1152 * 16;
    std::vector<short> pcm(2 * chunk);
    std::vector<unsigned char> mp3(chunk * 5 / 4 + 7200);
    long frame = 0;
    bool ok = true;
    for (long left = long(rate) * seconds; left > 0 && ok; left -= chunk) {
        const int n = int(std::min<long>(chunk, left));
        for (int i = 0; i < n; ++i, ++frame) {
            const double t = double(frame) / rate;
            const double v = 0.25 * std::sin(2 * M_PI * (220 + 40 * std::sin(t * 0.5)) * t) +
                             0.15 * std::sin(2 * M_PI * 1375 * t) + 0.1 * noise(rng);
            pcm[2 * size_t(i)] = short(v * 32767);
            pcm[2 * size_t(i) + 1] = short((0.8 * v + 0.05 * noise(rng)) * 32767);
        }
        const int bytes = lame_encode_buffer_interleaved(gf, pcm.data(), n, mp3.data(), int(mp3.size()));
        ok = bytes >= 0 && out.write(reinterpret_cast<const char*>(mp3.data()), bytes) == bytes;
    }
    const int bytes = lame_encode_flush(gf, mp3.data(), int(mp3.size()));
    ok = ok && bytes >= 0 && out.write(reinterpret_cast<const char*>(mp3.data()), bytes) == bytes;
    if (ok && lameTag) {
        unsigned char tag[2880];
        const size_t len = lame_get_lametag_frame(gf, tag, sizeof tag);
        ok = len > 0 && out.seek(0) &&
             out.write(reinterpret_cast<const char*>(tag), qint64(len)) == qint64(len);
    }
    lame_close(gf);
    out.close();
    QFile::remove(path);
    ok = ok && QFile::rename(part, path);
    if (!ok)
        QFile::remove(part);
    return ok;
}

} // namespace sbbench
