// The decoder for FLAC, Ogg Vorbis, Opus, M4A/AAC and WAV: FFmpeg's libavformat (containers), libavcodec
// (codecs) and libswresample (to 16-bit interleaved at one fixed rate and layout), reading the
// descriptor it is given through an AVIOContext. Only the containers and codecs the program supports are
// allowed, so that a hostile file cannot reach the rest of FFmpeg's parsers.
//
// Sample positions: FFmpeg gives each decoded frame a timestamp with the encoder's priming already cut
// (Opus pre-skip, the MP4 edit list), so timestamp 0 is the first sample heard. A seek lands on an
// earlier packet and decodes forward, dropping what lies before the target; the end is cut at the
// length, which drops the padding of the last AAC frame.
#include "AudioDecoder.h"

#include "AudioEngine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr int kIoBufferBytes = 64 * 1024;
constexpr qint64 kMaxFrames = qint64(1) << 40; // a header's claim beyond this (years of audio) is a lie
constexpr int kMaxBadPackets = 256; // packets in a row that do not decode before the stream counts as ended
constexpr char kFormats[] = "flac,ogg,wav,mov,mp4,m4a";
constexpr char kCodecs[] = "flac,vorbis,opus,aac,alac,mp3float,mp3,pcm_s16le,pcm_s24le,pcm_s32le,pcm_u8,"
                           "pcm_f32le,pcm_f64le,pcm_s16be,pcm_s24be,pcm_alaw,pcm_mulaw";

// The open runs on the user-interface thread. Some demuxers walk the whole file while opening (WAV reads
// chunk headers to its end, eight bytes at a time through a hole of zeros): past this many reads and
// seeks the file reads as ended, so the open finishes with what was found.
constexpr int kOpenIoCalls = 20000;

struct Io {
    int fd = -1;
    int budget = -1; // reads and seeks left while opening; -1 once open
};

int ioRead(void* opaque, uint8_t* buf, int size) {
    Io* io = static_cast<Io*>(opaque);
    if (io->budget == 0)
        return AVERROR_EOF;
    if (io->budget > 0)
        --io->budget;
    const int fd = io->fd;
    for (;;) {
        const ssize_t n = ::read(fd, buf, static_cast<size_t>(size));
        if (n > 0)
            return static_cast<int>(n);
        if (n == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int64_t ioSeek(void* opaque, int64_t offset, int whence) {
    Io* io = static_cast<Io*>(opaque);
    if (io->budget > 0)
        --io->budget;
    const int fd = io->fd;
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
}

QString tag(const AVDictionary* a, const AVDictionary* b, const char* key) {
    for (const AVDictionary* d : {a, b}) {
        const AVDictionaryEntry* e = av_dict_get(d, key, nullptr, 0);
        if (e && e->value && *e->value)
            return QString::fromUtf8(e->value).trimmed();
    }
    return {};
}

class FfmpegDecoder final : public IAudioDecoder {
public:
    explicit FfmpegDecoder(int descriptor) {
        io.fd = descriptor;
        io.budget = kOpenIoCalls;
    }
    ~FfmpegDecoder() override {
        swr_free(&swr);
        av_channel_layout_uninit(&swrLayout);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
        if (avio) {
            av_freep(&avio->buffer);
            avio_context_free(&avio);
        }
        ::close(io.fd);
    }
    FfmpegDecoder(const FfmpegDecoder&) = delete;
    FfmpegDecoder& operator=(const FfmpegDecoder&) = delete;

    // Returns an AudioError code.
    int open(DecoderOpen mode) {
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
        if (!buffer)
            return AudioError::Memory;
        avio = avio_alloc_context(buffer, kIoBufferBytes, 0, &io, &ioRead, nullptr, &ioSeek);
        format = avformat_alloc_context();
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (!avio || !format || !packet || !frame) {
            if (!avio)
                av_free(buffer);
            return AudioError::Memory;
        }
        format->pb = avio;
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "format_whitelist", kFormats, 0);
        av_dict_set(&options, "codec_whitelist", kCodecs, 0);
        const int opened = avformat_open_input(&format, nullptr, nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            return AudioError::Format; // frees `format` and sets it null
        // Where a WAV file's samples start (the demuxer leaves the file there after the header).
        const qint64 dataStart = avio_tell(avio);
        if (avformat_find_stream_info(format, nullptr) < 0)
            return AudioError::Format;
        io.budget = -1;
        streamIndex = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (streamIndex < 0)
            return AudioError::Format;
        stream = format->streams[streamIndex];
        const AVCodecParameters* par = stream->codecpar;
        for (unsigned i = 0; i < format->nb_streams; ++i)
            if (static_cast<int>(i) != streamIndex)
                format->streams[i]->discard = AVDISCARD_ALL;
        if (mode == DecoderOpen::Tags)
            return AudioError::Ok;

        const AVCodec* dec = avcodec_find_decoder(par->codec_id);
        if (!dec || par->sample_rate <= 0 || par->sample_rate > 768000 || par->ch_layout.nb_channels <= 0)
            return AudioError::Format;
        codec = avcodec_alloc_context3(dec);
        if (!codec)
            return AudioError::Memory;
        if (avcodec_parameters_to_context(codec, par) < 0)
            return AudioError::Format;
        // With the stream's time base the codec cuts the priming and shifts the timestamps to match.
        codec->pkt_timebase = stream->time_base;
        AVDictionary* codecOptions = nullptr;
        av_dict_set(&codecOptions, "codec_whitelist", kCodecs, 0);
        const int codecOpened = avcodec_open2(codec, dec, &codecOptions);
        av_dict_free(&codecOptions);
        if (codecOpened < 0)
            return AudioError::Format;

        rate_ = par->sample_rate;
        channels_ = par->ch_layout.nb_channels == 1 ? 1 : 2; // more channels are mixed down to stereo
        frames_ = measure(par, dataStart);
        if (frames_ <= 0)
            return AudioError::Format;
        // FFmpeg's Vorbis decoder may begin a stream past timestamp 0 (it drops the first packet's half
        // window): its first frame, decoded now, says where, and the length counts from there.
        if (par->codec_id == AV_CODEC_ID_VORBIS) {
            originKnown = false;
            if (!decodeFrame() && pending.empty())
                return AudioError::Format;
        }
        // Codecs whose first output after a jump is not yet the real sound get a run-up.
        switch (par->codec_id) {
        case AV_CODEC_ID_OPUS:
        case AV_CODEC_ID_VORBIS:
        case AV_CODEC_ID_AAC:
        case AV_CODEC_ID_MP3:
            preroll = rate_ / 10;
            break;
        default:
            preroll = 0;
        }
        // In an Ogg file the timestamps of the last page's packets are counted back from its granule, which
        // the end trimming shortens: a seek lands at least a page earlier, where they are right.
        if (std::strcmp(format->iformat->name, "ogg") == 0)
            preroll = std::max<qint64>(preroll, rate_);
        return AudioError::Ok;
    }

    bool read(unsigned char* out, size_t maxBytes, size_t& got) override {
        got = 0;
        const size_t fb = static_cast<size_t>(frameBytes());
        maxBytes -= maxBytes % fb;
        while (got < maxBytes) {
            if (pendingAt < pending.size()) {
                const size_t n = std::min(maxBytes - got, (pending.size() - pendingAt) * sizeof(qint16));
                std::memcpy(out + got, pending.data() + pendingAt, n);
                pendingAt += n / sizeof(qint16);
                got += n;
                continue;
            }
            if (ended || !decodeFrame())
                return false;
        }
        return true;
    }

    qint64 seek(qint64 target) override {
        target = std::clamp<qint64>(target, 0, frames_);
        pending.clear();
        pendingAt = 0;
        badPackets = 0;
        ended = target >= frames_;
        nextFrame = target;
        skipTo = target;
        if (ended)
            return target;
        // The run-up may reach before the first sample: the packets of the priming are decoded then too,
        // which the first frame needs, and dropped by their timestamps.
        const int64_t ts = av_rescale_q(target - preroll + origin, AVRational{1, static_cast<int>(rate_)},
                                        stream->time_base) +
                           (stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0);
        if (av_seek_frame(format, streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
            av_seek_frame(format, streamIndex, 0, AVSEEK_FLAG_BYTE) < 0) {
            ended = true;
            return -1;
        }
        avcodec_flush_buffers(codec);
        draining = false;
        // The first frame's timestamp says where the decoder landed; until then, at the target.
        placed = false;
        return target;
    }

    AudioTags tags() const override {
        const AVDictionary* fmt = format ? format->metadata : nullptr;
        const AVDictionary* st = stream ? stream->metadata : nullptr;
        return AudioTags{tag(fmt, st, "title"), tag(fmt, st, "artist"), tag(fmt, st, "album")};
    }

private:
    // The length in frames: the container's own count (FLAC's STREAMINFO, Ogg's last granule less the
    // Opus pre-skip, MP4's edit list), and for WAV no more than the file holds.
    qint64 measure(const AVCodecParameters* par, qint64 dataStart) const {
        qint64 frames = 0;
        const AVRational perSample{1, static_cast<int>(rate_)};
        if (stream->duration > 0 && stream->duration != AV_NOPTS_VALUE)
            frames = av_rescale_q(stream->duration, stream->time_base, perSample);
        else if (format->duration > 0 && format->duration != AV_NOPTS_VALUE)
            frames = av_rescale_q(format->duration, AV_TIME_BASE_Q, perSample);
        if (std::strcmp(format->iformat->name, "ogg") == 0 && par->initial_padding > 0)
            frames -= par->initial_padding;
        if (std::strcmp(format->iformat->name, "wav") == 0 && par->block_align > 0 && dataStart > 0) {
            const int64_t size = avio_size(avio);
            if (size > dataStart)
                frames =
                    std::min<qint64>(frames > 0 ? frames : INT64_MAX, (size - dataStart) / par->block_align);
        }
        return std::min<qint64>(frames, kMaxFrames);
    }

    // Decodes the next frame into `pending`; false at the end.
    bool decodeFrame() {
        for (;;) {
            const int rc = avcodec_receive_frame(codec, frame);
            if (rc == 0) {
                const bool ok = takeFrame();
                av_frame_unref(frame);
                if (!ok)
                    return false;
                if (pendingAt < pending.size())
                    return true;
                continue;
            }
            if (rc == AVERROR_EOF)
                return finish();
            if (rc != AVERROR(EAGAIN)) {
                if (++badPackets > kMaxBadPackets)
                    return finish();
                continue;
            }
            if (draining)
                return finish();
            const int got = av_read_frame(format, packet);
            if (got < 0) {
                // The end of the file, or damage the demuxer cannot get past: play out what the codec holds.
                draining = true;
                avcodec_send_packet(codec, nullptr);
                continue;
            }
            if (packet->stream_index == streamIndex) {
                if (avcodec_send_packet(codec, packet) < 0 && ++badPackets > kMaxBadPackets) {
                    av_packet_unref(packet);
                    return finish();
                }
            }
            av_packet_unref(packet);
        }
    }

    bool finish() {
        ended = true;
        return false;
    }

    // Converts the decoded frame, cutting what lies before the seek target and beyond the length.
    bool takeFrame() {
        badPackets = 0;
        // Only the first frame after the open or a seek is placed by its timestamp; from there the samples
        // are counted, as the timestamps inside an Ogg page are derived and may be off at the end.
        const int64_t pts = frame->best_effort_timestamp;
        if (!placed) {
            placed = true;
            qint64 at = 0;
            if (pts != AV_NOPTS_VALUE) {
                const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
                at = av_rescale_q(pts - start, stream->time_base, AVRational{1, static_cast<int>(rate_)});
            }
            if (!originKnown) {
                // Where the first sample of the file lies: not every codec starts at 0 (see open).
                originKnown = true;
                origin = at;
                frames_ = std::max<qint64>(frames_ - origin, 0);
            }
            nextFrame = at - origin;
        }
        if (!convert())
            return finish();
        const qint64 have = qint64(pending.size()) / channels_;
        qint64 first = 0;
        if (nextFrame < skipTo)
            first = std::min(skipTo - nextFrame, have);
        qint64 last = have;
        if (nextFrame + last > frames_)
            last = std::max<qint64>(frames_ - nextFrame, first);
        pendingAt = static_cast<size_t>(first * channels_);
        pending.resize(static_cast<size_t>(last * channels_));
        nextFrame += have;
        if (nextFrame >= frames_) {
            ended = true; // the rest is padding
            return pendingAt < pending.size();
        }
        return true;
    }

    // The frame as 16-bit interleaved at the stream's rate and channel count, in `pending`.
    bool convert() {
        if (frame->sample_rate <= 0 || frame->nb_samples <= 0 || frame->ch_layout.nb_channels <= 0) {
            pending.clear();
            pendingAt = 0;
            return true;
        }
        if (!swr || frame->format != swrFormat || frame->sample_rate != swrRate ||
            av_channel_layout_compare(&frame->ch_layout, &swrLayout) != 0) {
            swr_free(&swr);
            AVChannelLayout outLayout{};
            av_channel_layout_default(&outLayout, channels_);
            if (swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(rate_),
                                    &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                    frame->sample_rate, 0, nullptr) < 0 ||
                swr_init(swr) < 0) {
                av_channel_layout_uninit(&outLayout);
                swr_free(&swr);
                return false;
            }
            av_channel_layout_uninit(&outLayout);
            swrFormat = frame->format;
            swrRate = frame->sample_rate;
            av_channel_layout_uninit(&swrLayout);
            av_channel_layout_copy(&swrLayout, &frame->ch_layout);
        }
        const int room = swr_get_out_samples(swr, frame->nb_samples);
        if (room <= 0)
            return false;
        pending.resize(static_cast<size_t>(room) * channels_);
        auto* outPtr = reinterpret_cast<uint8_t*>(pending.data());
        const int n = swr_convert(swr, &outPtr, room, const_cast<const uint8_t**>(frame->extended_data),
                                  frame->nb_samples);
        if (n < 0)
            return false;
        pending.resize(static_cast<size_t>(n) * channels_);
        pendingAt = 0;
        return true;
    }

    Io io;
    AVIOContext* avio = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* swr = nullptr;
    int swrFormat = -1;
    int swrRate = 0;
    AVChannelLayout swrLayout{};
    int streamIndex = -1;
    qint64 preroll = 0;

    std::vector<qint16> pending; // converted samples not yet read
    size_t pendingAt = 0;
    qint64 nextFrame = 0; // the stream frame the next decoded frame starts at
    qint64 skipTo = 0;    // frames before this one are dropped (after a seek)
    qint64 origin = 0;    // the timestamp, in frames, of the first sample decoded
    bool originKnown = true;
    bool placed = false; // the decoder's position is known from a frame's timestamp
    int badPackets = 0;
    bool draining = false;
    bool ended = false;
};

} // namespace

std::unique_ptr<IAudioDecoder> openFfmpegDecoder(int fd, int& error, DecoderOpen mode) {
    // A damaged file is an ordinary event here, not something to print. No single allocation of an audio
    // file's needs comes near 128 MiB; a header claiming more (a WAV's INFO chunk of 1.7 GB, say) would
    // otherwise have it allocated and zeroed before the read fails.
    static std::once_flag setUp;
    std::call_once(setUp, [] {
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(size_t(128) << 20);
    });
    auto decoder = std::make_unique<FfmpegDecoder>(fd);
    error = decoder->open(mode);
    if (error != AudioError::Ok)
        return nullptr;
    return decoder;
}

#ifdef SONABIN_FFMPEG_MODULE
// Which build of the decoder interface this module was made with; the program loads only its own.
extern "C" __attribute__((visibility("default"))) const char sonabinFfmpegModuleBuild[] =
    SONABIN_DECODER_BUILD;

// The module's one entry: the program loads FFmpeg only when the first file that needs it comes along.
extern "C" __attribute__((visibility("default"))) IAudioDecoder* sonabinOpenFfmpegDecoder(int fd, int* error,
                                                                                          int mode) {
    return openFfmpegDecoder(fd, *error, static_cast<DecoderOpen>(mode)).release();
}
#endif
