// libmpg123 behind the decoder interface, without the audio device (fuzz_decode.h).
#include "fuzz_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::decodeInput(&openMpg123Decoder, data, size, false);
    return 0;
}
