#pragma once
// The decoder-level fuzz targets: any bytes as a file, opened by one decoder and decoded without an audio
// device, so that thousands of inputs a second reach the parsers. The input lives in a memory file, read
// through a descriptor as a real file would be.
#include "AudioDecoder.h"
#include "AudioEngine.h"
#include "fuzz_common.h"

#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace fuzz {

inline int memoryFile(const uint8_t* data, size_t size) {
    const int fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    check(fd >= 0, "a memory file can be made");
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        check(n > 0, "the input is written");
        done += static_cast<size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

using OpenDecoder = std::unique_ptr<IAudioDecoder> (*)(int, int&, DecoderOpen);

// Opens, decodes, seeks half-way and back to the start, decoding a little each time. An opened stream
// has a format and a length and lands where it seeks; with `strictLength` it never decodes past that
// length (libmpg123 may, when a header understates it: the engine then takes the real end).
inline void decodeInput(OpenDecoder open, const uint8_t* data, size_t size, bool strictLength) {
    int error = AudioError::Ok;
    const auto d = open(memoryFile(data, size), error, DecoderOpen::Play);
    if (!d) {
        check(error == AudioError::Format || error == AudioError::Memory, "a failed open says why");
        return;
    }
    check(d->rate() > 0 && (d->channels() == 1 || d->channels() == 2), "an open stream has a format");
    check(d->frames() > 0, "an open stream has a length");
    std::vector<unsigned char> buf(static_cast<size_t>(d->frameBytes()) * 4096);
    // Reads up to about `frames` frames (whole buffers); a bound on the work per input, so that thousands
    // of inputs a second reach the parsers: an input may claim hours, and decoding them explores nothing.
    const auto readUpTo = [&](qint64 frames) {
        qint64 total = 0;
        for (int steps = 0; steps < 2000 && total < frames; ++steps) {
            size_t got = 0;
            const bool more = d->read(buf.data(), buf.size(), got);
            check(got % static_cast<size_t>(d->frameBytes()) == 0, "reads give whole frames");
            total += static_cast<qint64>(got) / d->frameBytes();
            if (!more)
                break;
        }
        return total;
    };
    const qint64 all = readUpTo(std::min<qint64>(d->frames(), 16384));
    check(!strictLength || all <= d->frames(), "a stream never decodes past its length");
    const qint64 reached = d->seek(d->frames() / 2);
    check(reached == -1 || (reached >= 0 && (reached <= d->frames() || !strictLength)),
          "a seek lands in the stream");
    if (reached >= 0 && reached <= d->frames()) {
        const qint64 rest = readUpTo(std::min<qint64>(d->frames() - reached, 8192));
        check(!strictLength || rest <= d->frames() - reached, "after a seek, no more than is left");
    }
    const qint64 start = d->seek(0);
    check(start >= -1 && (start <= d->frames() || !strictLength), "a seek to the start lands in the stream");
    if (start >= 0)
        readUpTo(std::min<qint64>(d->frames(), 4096));
    d->tags();
}

} // namespace fuzz
