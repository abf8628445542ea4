// FFmpeg (FLAC, Ogg Vorbis, Opus, M4A/AAC, WAV) behind the decoder interface, without the audio device
// (fuzz_decode.h).
#include "fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::decodeInput(&openFfmpegDecoder, data, size, true);
    return 0;
}
