// The FFmpeg decoder against a bare program decoding with the same libraries, as ratios in one run:
//   decode_*   CPU time of decoding 30 s of FLAC and of Opus through the decoder interface (what the
//              engine's decoder thread does: demux, decode, convert to 16-bit interleaved) against
//              libavformat + libavcodec + libswresample doing the same in a plain loop;
//   open_flac  wall time of the engine opening a 10-minute FLAC (regular-file check, content sniff,
//              open, exact length) against the bare open that a player needs to know format and length.
// The files (a tone with noise, so that decoding costs what music costs) are made once with the ffmpeg
// tool and kept in the cache folder.
#include "AudioDecoder.h"
#include "AudioEngine.h"
#include "benchReporter.h"
#include "benchSupport.h"
#include "fsPath.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <benchmark/benchmark.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr int kDecodeSeconds = 30;

using sbbench::now;
using sbbench::processCpu;

// A cached file of `seconds` of tone and noise in `codec`; empty when the ffmpeg tool cannot make it.
QString cachedFile(const QString& name, const QStringList& codec, int rate, int seconds) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                        QStringLiteral("/sonabin-bench");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name;
    if (QFile::exists(path))
        return path;
    const QString d = QString::number(seconds);
    QStringList args = {
        "-nostdin",
        "-v",
        "error",
        "-y",
        "-f",
        "lavfi",
        "-i",
        QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(d),
        "-f",
        "lavfi",
        "-i",
        QStringLiteral("anoisesrc=color=pink:amplitude=0.2:sample_rate=%1:duration=%2").arg(rate).arg(d),
        "-filter_complex",
        "amix=inputs=2:duration=shortest",
        "-ac",
        "2"};
    args += codec;
    args << path + QStringLiteral(".part");
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), args);
    if (!p.waitForFinished(600000) || p.exitCode() != 0 ||
        !QFile::rename(path + QStringLiteral(".part"), path))
        return {};
    return path;
}

QString flacFile(int seconds) {
    return cachedFile(QStringLiteral("music-%1s.flac").arg(seconds), {"-c:a", "flac", "-f", "flac"}, 44100,
                      seconds);
}
QString opusFile() {
    return cachedFile(QStringLiteral("music-%1s.opus").arg(kDecodeSeconds),
                      {"-c:a", "libopus", "-b:a", "128k", "-f", "ogg"}, 48000, kDecodeSeconds);
}

// The bare program: what any player does with FFmpeg to open a file and know its format and length.
struct Bare {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    int stream = -1;
    bool open(const QByteArray& path) {
        if (avformat_open_input(&format, path.constData(), nullptr, nullptr) < 0 ||
            avformat_find_stream_info(format, nullptr) < 0)
            return false;
        stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (stream < 0)
            return false;
        const AVCodecParameters* par = format->streams[stream]->codecpar;
        const AVCodec* dec = avcodec_find_decoder(par->codec_id);
        codec = avcodec_alloc_context3(dec);
        avcodec_parameters_to_context(codec, par);
        codec->pkt_timebase = format->streams[stream]->time_base;
        benchmark::DoNotOptimize(format->streams[stream]->duration);
        return avcodec_open2(codec, dec, nullptr) == 0;
    }
    ~Bare() {
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

// The bare decode: packets to frames to 16-bit interleaved stereo, `frames` of them.
qint64 bareDecode(const QByteArray& path, qint64 frames) {
    Bare b;
    if (!b.open(path))
        return 0;
    SwrContext* swr = nullptr;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, b.codec->sample_rate, &b.codec->ch_layout,
                        b.codec->sample_fmt, b.codec->sample_rate, 0, nullptr);
    swr_init(swr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<qint16> out;
    qint64 done = 0;
    while (done < frames && av_read_frame(b.format, pkt) >= 0) {
        if (pkt->stream_index == b.stream && avcodec_send_packet(b.codec, pkt) == 0) {
            while (avcodec_receive_frame(b.codec, frame) == 0) {
                out.resize(size_t(frame->nb_samples) * 2 + 64);
                auto* o = reinterpret_cast<uint8_t*>(out.data());
                done += swr_convert(swr, &o, frame->nb_samples + 32,
                                    const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
            }
        }
        av_packet_unref(pkt);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    swr_free(&swr);
    return done;
}

qint64 ourDecode(const QString& path, qint64 frames) {
    int error = 0;
    auto d = openAudioDecoder(openRegularFile(path), error);
    if (!d)
        return 0;
    std::vector<unsigned char> buf(8 * 1152 * 4); // the engine's step
    qint64 done = 0;
    while (done < frames) {
        size_t got = 0;
        const bool more = d->read(buf.data(), buf.size(), got);
        done += qint64(got) / d->frameBytes();
        if (!more)
            break;
    }
    return done;
}

void decodeRatio(benchmark::State& state, const QString& path, int rate) {
    if (path.isEmpty()) {
        state.SkipWithError("the ffmpeg tool could not make the file");
        return;
    }
    const qint64 frames = qint64(kDecodeSeconds) * rate;
    const QByteArray local = pathBytes(path);
    double oursTotal = 0;
    double bareTotal = 0;
    sbbench::AlternatingPair pair;
    for (auto _ : state) {
        qint64 got = 0;
        const auto times = pair.run(
            processCpu, [&] { got = ourDecode(path, frames); },
            [&] { benchmark::DoNotOptimize(bareDecode(local, frames)); });
        if (got < frames) {
            state.SkipWithError("the decoder gave less than 30 s");
            return;
        }
        oursTotal += times.ours;
        bareTotal += times.floor;
        state.SetIterationTime(times.ours);
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = oursTotal / n * 1e3;
    state.counters["bare_ms"] = bareTotal / n * 1e3;
}

void BM_DecodeFlac(benchmark::State& state) {
    decodeRatio(state, flacFile(kDecodeSeconds), 44100);
}
void BM_DecodeOpus(benchmark::State& state) {
    decodeRatio(state, opusFile(), 48000);
}

void BM_OpenFlac(benchmark::State& state) {
    const QString path = flacFile(600);
    qputenv("SDL_AUDIODRIVER", "dummy");
    auto engine = createDefaultAudioEngine();
    if (path.isEmpty() || !engine->init(-1, 44100, 0, 0)) {
        state.SkipWithError("no fixture or no audio device");
        return;
    }
    const QByteArray local = pathBytes(path);
    double oursTotal = 0;
    double bareTotal = 0;
    sbbench::AlternatingPair pair;
    for (auto _ : state) {
        quint32 h = 0;
        const auto times = pair.run(
            now, [&] { h = engine->openFile(path); },
            [&] {
                Bare b;
                benchmark::DoNotOptimize(b.open(local));
            });
        if (h == 0) {
            state.SkipWithError("the engine did not open the file");
            break;
        }
        engine->freeStream(h);
        oursTotal += times.ours;
        bareTotal += times.floor;
        state.SetIterationTime(times.ours);
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = oursTotal / n * 1e3;
    state.counters["bare_ms"] = bareTotal / n * 1e3;
}

} // namespace

BENCHMARK(BM_DecodeFlac)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_DecodeOpus)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_OpenFlac)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    sbbench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto row = [&](const char* name, const QString& text, double aim) {
        const double ours = reporter.counter(name, "ours_ms") / 1e3;
        const double bare = reporter.counter(name, "bare_ms") / 1e3;
        if (ours > 0 && bare > 0)
            sbbench::ratioRow(text, ours, bare, aim);
    };
    row("BM_DecodeFlac", "Decoder: decode 30 s of FLAC (CPU, vs bare FFmpeg)", 1.2);
    row("BM_DecodeOpus", "Decoder: decode 30 s of Opus (CPU, vs bare FFmpeg)", 1.2);
    row("BM_OpenFlac", "Engine: open a 10-minute FLAC (vs bare FFmpeg open)", 1.5);
    return 0;
}
