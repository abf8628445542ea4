// The MP3 decoder: libmpg123, gapless, reading the descriptor it is given.
#include "AudioDecoder.h"

#include "AudioEngine.h"

#include <mpg123.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString fromId3(const mpg123_string* s) {
    return s && s->p && s->fill > 0 ? QString::fromUtf8(s->p, qsizetype(qstrnlen(s->p, s->fill))).trimmed()
                                    : QString();
}

// ID3v1 fields: fixed width, Latin-1, padded with zeros or blanks.
QString fromId3v1(const char* field, size_t width) {
    return QString::fromLatin1(field, qsizetype(qstrnlen(field, width))).trimmed();
}

class Mpg123Decoder final : public IAudioDecoder {
public:
    Mpg123Decoder(mpg123_handle* handle, int descriptor) : mh(handle), fd(descriptor) {}
    ~Mpg123Decoder() override {
        mpg123_delete(mh);
        ::close(fd);
    }
    Mpg123Decoder(const Mpg123Decoder&) = delete;
    Mpg123Decoder& operator=(const Mpg123Decoder&) = delete;

    // Returns an AudioError code.
    int open(DecoderOpen mode) {
        if (mpg123_open_fd(mh, fd) != MPG123_OK)
            return AudioError::Format;
        int encoding = 0;
        if (mpg123_getformat(mh, &rate_, &channels_, &encoding) != MPG123_OK || rate_ <= 0 ||
            (channels_ != 1 && channels_ != 2))
            return AudioError::Format;
        // Keep that format for the whole file: a stray frame of another rate is resampled by the
        // decoder instead of changing what a byte position means.
        mpg123_format_none(mh);
        mpg123_format(mh, rate_, channels_, MPG123_ENC_SIGNED_16);
        if (mode == DecoderOpen::Tags)
            return AudioError::Ok;

        // The LAME header's count is exact (gapless); otherwise count the frames.
        long accurate = 0;
        long encDelay = -1;
        double unused = 0;
        mpg123_getstate(mh, MPG123_ACCURATE, &accurate, &unused);
        mpg123_getstate(mh, MPG123_ENC_DELAY, &encDelay, &unused);
        if (!accurate || encDelay < 0 || !plausible(mpg123_length(mh)))
            mpg123_scan(mh);
        frames_ = mpg123_length(mh);
        return frames_ > 0 ? AudioError::Ok : AudioError::Format;
    }

    // A header's frame count that the file's size cannot hold is a lie: no MP3 carries more than 24
    // samples per byte (32 kbit/s at 48 kHz is 12). Trusted, it sends a seek on a search of minutes
    // through a file of a few kilobytes.
    bool plausible(off_t samples) const {
        struct stat st {};
        return samples > 0 && ::fstat(fd, &st) == 0 && samples <= off_t(st.st_size) * 32;
    }

    bool read(unsigned char* out, size_t maxBytes, size_t& got) override {
        got = 0;
        const int rc = mpg123_read(mh, out, maxBytes, &got);
        got -= got % static_cast<size_t>(frameBytes());
        // MPG123_DONE, or damage the decoder cannot get past.
        return rc == MPG123_OK || rc == MPG123_NEW_FORMAT;
    }

    qint64 seek(qint64 frame) override {
        const off_t reached = mpg123_seek(mh, static_cast<off_t>(frame), SEEK_SET);
        return reached >= 0 ? static_cast<qint64>(reached) : -1;
    }

    AudioTags tags() const override {
        AudioTags t;
        mpg123_id3v1* v1 = nullptr;
        mpg123_id3v2* v2 = nullptr;
        if (mpg123_id3(mh, &v1, &v2) != MPG123_OK)
            return t;
        if (v2) {
            t.title = fromId3(v2->title);
            t.artist = fromId3(v2->artist);
            t.album = fromId3(v2->album);
        }
        if (v1) {
            if (t.title.isEmpty())
                t.title = fromId3v1(v1->title, sizeof v1->title);
            if (t.artist.isEmpty())
                t.artist = fromId3v1(v1->artist, sizeof v1->artist);
            if (t.album.isEmpty())
                t.album = fromId3v1(v1->album, sizeof v1->album);
        }
        return t;
    }

private:
    mpg123_handle* const mh;
    const int fd;
};

} // namespace

std::unique_ptr<IAudioDecoder> openMpg123Decoder(int fd, int& error, DecoderOpen mode) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh) {
        ::close(fd);
        error = AudioError::Memory;
        return nullptr;
    }
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_FUZZY, 0);
    // 16-bit at the file's own rate and channel count: byte positions count exactly that.
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    auto decoder = std::make_unique<Mpg123Decoder>(mh, fd);
    error = decoder->open(mode);
    if (error != AudioError::Ok)
        return nullptr;
    return decoder;
}
