// Picks the decoder for a file by its first bytes, and reads tags through it.
#include "AudioDecoder.h"

#include "AudioEngine.h"
#include "fsPath.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Reads up to `size` bytes at `offset` without moving the descriptor's own offset.
size_t readAt(int fd, qint64 offset, unsigned char* buf, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buf + done, size - done, static_cast<off_t>(offset + qint64(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool startsWith(const unsigned char* head, size_t size, size_t at, const char* magic) {
    const size_t n = std::strlen(magic);
    return size >= at + n && std::memcmp(head + at, magic, n) == 0;
}

} // namespace

bool isFfmpegContainer(const unsigned char* head, size_t size) {
    if (startsWith(head, size, 0, "fLaC") || startsWith(head, size, 0, "OggS"))
        return true;
    if ((startsWith(head, size, 0, "RIFF") || startsWith(head, size, 0, "RF64")) &&
        startsWith(head, size, 8, "WAVE"))
        return true;
    // MP4 and QuickTime: the first atom's type. Files from music stores start with "ftyp"; older
    // QuickTime files may start with any of the others.
    for (const char* atom : {"ftyp", "moov", "mdat", "wide", "free", "skip"})
        if (startsWith(head, size, 4, atom))
            return true;
    return false;
}

std::unique_ptr<IAudioDecoder> openAudioDecoder(int fd, int& error, DecoderOpen mode) {
    // Skip ID3v2 tags (a tagged FLAC exists in the wild) to the container's own magic.
    unsigned char head[16];
    qint64 at = 0;
    size_t got = readAt(fd, at, head, sizeof head);
    for (int tags = 0; tags < 8 && got >= 10 && startsWith(head, got, 0, "ID3") &&
                       (head[6] | head[7] | head[8] | head[9]) < 0x80;
         ++tags) {
        const qint64 body =
            (qint64(head[6]) << 21) | (qint64(head[7]) << 14) | (qint64(head[8]) << 7) | head[9];
        at += 10 + body + ((head[5] & 0x10) ? 10 : 0);
        got = readAt(fd, at, head, sizeof head);
    }
    if (isFfmpegContainer(head, got))
        return openFfmpegDecoder(fd, error, mode);
    return openMpg123Decoder(fd, error, mode);
}

AudioTags readAudioTags(const QString& path) {
    const int fd = openRegularFile(path);
    if (fd < 0)
        return {};
    int error = AudioError::Ok;
    const auto decoder = openAudioDecoder(fd, error, DecoderOpen::Tags);
    return decoder ? decoder->tags() : AudioTags{};
}
