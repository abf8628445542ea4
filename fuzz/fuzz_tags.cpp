// The tag reader: any bytes as a track file. It gives tags or none, and each text comes from the file's
// own bytes, so none is longer than the file.
#include "AudioDecoder.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const AudioTags tags = readAudioTags(fuzz::writeInput("tags.mp3", data, size));
    const auto n = static_cast<qsizetype>(size);
    fuzz::check(tags.title.size() <= n && tags.artist.size() <= n && tags.album.size() <= n,
                "no tag text is longer than the file");
    return 0;
}
