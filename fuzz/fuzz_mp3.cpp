// The engine with its decoders: any bytes as an audio file (the engine picks the decoder by content),
// opened by the real engine and played to the end on SDL's disk driver writing to /dev/null with no
// delay, so that no device and no real time is involved. A file either fails to open with a file or format
// error, or opens with a length and plays to an end where the position equals the length. A stream that never
// ends is a hang (-timeout).
#include "AudioEngine.h"
#include "fuzz_common.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

IAudioEngine* engine = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    // Lives as long as the process: the device is opened once for every input.
    engine = createDefaultAudioEngine().release();
    fuzz::check(engine->init(-1, 44100, 0, 0), "the engine starts on the disk driver");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const quint32 h = engine->openFile(fuzz::writeInput("track.mp3", data, size));
    if (h == 0) {
        const int err = engine->lastError();
        fuzz::check(err == AudioError::FileOpen || err == AudioError::Format, "a failed open says why");
        return 0;
    }
    const qint64 length = engine->length(h);
    fuzz::check(length > 0 && length % 2 == 0, "an open stream has a length in whole samples");
    fuzz::check(engine->bytesToSeconds(h, length) > 0, "the length converts to seconds");

    // Half-way first, as a seek on a damaged file must work too; then from the start to the end.
    fuzz::check(engine->setPosition(h, length / 2), "a position inside the stream can be set");
    fuzz::check(engine->play(h, false), "a stream plays");
    while (engine->activity(h) == AudioActivity::Playing)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    fuzz::check(engine->play(h, true), "a stream plays again from the start");
    while (engine->activity(h) == AudioActivity::Playing)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    fuzz::check(engine->position(h) == engine->length(h), "a stream that has ended is at its length");
    fuzz::check(engine->freeStream(h), "a stream can be freed");
    return 0;
}
