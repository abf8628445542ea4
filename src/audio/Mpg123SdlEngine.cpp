// The audio engine: a decoder per stream (AudioDecoder.h: libmpg123 for MP3, FFmpeg for the other
// formats, picked by content) and SDL2 for output.
//
// Threads:
// - the user-interface thread makes every IAudioEngine call. openFile opens and measures the file
//   (format, exact length; for MP3 at most a frame-header scan) before the stream is published;
//   after that the UI thread only changes flags and counters.
// - the decoder thread (one per engine, from init to release) alone touches a published stream's
//   decoder and its SDL_AudioStream converter: from a stream's first play on, it decodes,
//   converts to the device format (a stream already in that format is decoded straight into its
//   blocks) and queues the result as blocks, keeping the stream 1 to 2 s ahead of the device, and
//   carries out seeks.
// - SDL's audio thread runs the device callback: it hands queued blocks to the device, mixing the
//   playing streams, and advances each stream's position by what it handed over.
// One mutex guards the stream table and every stream's queue, state and counters. It is held only for
// memory work, never across file I/O, decoding or conversion, so the callback never waits on the disk
// and the UI thread never waits on the decoder.
//
// Buffers: the decoder thread allocates the blocks and frees the ones the callback has used; the
// callback only reads blocks and marks them used. A stream (decoder handle, converter, blocks) is
// destroyed by whichever of the UI and decoder threads drops the last reference, outside the mutex;
// the callback never holds a reference.
#include "AudioEngine.h"

#include "AudioDecoder.h"
#include "fsPath.h"

#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr quint32 kEngineVersion = 0x02040001;
constexpr int kDeviceChannels = 2;
constexpr Uint16 kDeviceSamples = 2048;      // frames per device callback: about 46 ms at 44.1 kHz
constexpr double kAheadSeconds = 2.0;        // how far the decoder keeps each stream ahead of the device; it
                                             // wakes when a stream falls below half of that and fills it up:
                                             // a wake-up a second, each with a second's worth of decoding
constexpr size_t kChunkBytes = 8 * 1152 * 4; // one decode step: eight MPEG frames of 16-bit stereo, or
                                             // about 0.2 s of any format
constexpr int kMaxEmptyReads = 64;           // reads without output before a stream counts as ended

// Decoded audio in the device's format, with the stretch of the source it came from.
struct Block {
    std::vector<qint16> pcm;
    qint64 srcStart = 0; // source byte position of the first sample
    qint64 srcBytes = 0; // source bytes it stands for
    size_t used = 0;     // samples already handed to the device
};

struct Stream {
    // `converter` is null when the file is already in the device's format.
    Stream(std::unique_ptr<IAudioDecoder> decoder, SDL_AudioStream* converter)
        : dec(std::move(decoder)), conv(converter) {}
    ~Stream() { SDL_FreeAudioStream(conv); } // the decoder closes its file
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Fixed at open.
    const std::unique_ptr<IAudioDecoder> dec;
    SDL_AudioStream* const conv;
    long rate = 0;
    int channels = 0;
    int frameBytes = 0;
    int deviceRate = 44100;

    // Guarded by the engine's mutex.
    int state = AudioActivity::Stopped;
    qint64 position = 0;
    qint64 length = 0;
    std::deque<Block> queue;
    size_t usedBlocks = 0;    // blocks at the front of the queue that the device has had in full
    size_t queuedSamples = 0; // samples in the queue not yet handed to the device
    bool eofQueued = false;   // the queue ends with the end of the stream
    bool started = false;     // play has been called once: only then is it worth decoding
    bool filling = false;     // below half of the lead and not yet topped up
    qint64 endPos = 0;        // source byte position of that end
    bool seekPending = false;
    qint64 seekFrame = 0;
    quint64 generation = 0; // bumped by each seek: blocks decoded before it are dropped
    bool freed = false;

    // Decoder thread only.
    qint64 decodePos = 0;  // source bytes decoded so far
    qint64 blockStart = 0; // source position where the next block starts
    int emptyReads = 0;
    qint64 srcFrames = 0; // source frames fed to the converter since the last seek
    qint64 outFrames = 0; // device frames taken from it since then

    qint64 expectedOutFrames() const { return srcFrames * deviceRate / rate; }
    qint64 snap(qint64 bytes) const { return bytes - bytes % frameBytes; }
};

// Adds `n` samples into `dst`, saturating.
void mixInto(qint16* dst, const qint16* src, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const int v = int(dst[i]) + int(src[i]);
        dst[i] = static_cast<qint16>(std::clamp(v, -32768, 32767));
    }
}

class Mpg123SdlEngine final : public IAudioEngine {
public:
    Mpg123SdlEngine() = default;
    ~Mpg123SdlEngine() override { release(); }

    quint32 version() const override {
        lastErr = AudioError::Ok;
        return kEngineVersion;
    }

    bool init(int device, quint32 frequency, quint32 /*flags*/, quintptr /*window*/) override {
        if (deviceId != 0)
            return fail(AudioError::AlreadyInit);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return fail(AudioError::Driver);
        const char* name = nullptr;
        if (device >= 0) {
            name = SDL_GetAudioDeviceName(device, 0);
            if (!name) {
                SDL_QuitSubSystem(SDL_INIT_AUDIO);
                return fail(AudioError::Driver);
            }
        }
        SDL_AudioSpec want{};
        want.freq = frequency > 0 ? static_cast<int>(frequency) : 44100;
        want.format = AUDIO_S16SYS;
        want.channels = kDeviceChannels;
        want.samples = kDeviceSamples;
        want.callback = &Mpg123SdlEngine::audioCallback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No allowed changes: SDL adapts to the hardware itself, so our side is always S16 stereo.
        const SDL_AudioDeviceID id = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
        if (id == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return fail(AudioError::Driver);
        }
        deviceRate = have.freq;
        aheadSamples = static_cast<size_t>(kAheadSeconds * deviceRate) * kDeviceChannels;
        {
            std::lock_guard lock(mutex);
            quit = false;
        }
        decoder = std::thread([this] { decoderLoop(); });
        deviceId = id;
        SDL_PauseAudioDevice(id, 0);
        lastErr = AudioError::Ok;
        return true;
    }

    void release() override {
        if (deviceId == 0) {
            lastErr = AudioError::NotInit;
            return;
        }
        SDL_CloseAudioDevice(deviceId); // returns once the callback has finished for good
        deviceId = 0;
        {
            std::lock_guard lock(mutex);
            quit = true;
        }
        wake.notify_all();
        decoder.join();
        std::map<quint32, std::shared_ptr<Stream>> gone;
        {
            std::lock_guard lock(mutex);
            gone.swap(streams);
        }
        gone.clear();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        lastErr = AudioError::Ok;
    }

    int lastError() const override { return lastErr; }

    quint32 openFile(const QString& path) override {
        if (deviceId == 0)
            return failHandle(AudioError::NotInit);
        // Only a regular file, opened without blocking: a pipe named like a track does not open.
        const int fd = openRegularFile(path);
        if (fd < 0)
            return failHandle(errno == ENOMEM ? AudioError::Memory : AudioError::FileOpen);
        int err = AudioError::Ok;
        std::unique_ptr<IAudioDecoder> dec = openAudioDecoder(fd, err); // owns fd from here on
        if (!dec)
            return failHandle(err);
        const long rate = dec->rate();
        const int channels = dec->channels();
        const qint64 frames = dec->frames();

        // Most files are already 44.1 kHz stereo: they skip the converter and its two copies.
        const bool direct = channels == kDeviceChannels && rate == deviceRate;
        SDL_AudioStream* conv =
            direct ? nullptr
                   : SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(channels), static_cast<int>(rate),
                                        AUDIO_S16SYS, kDeviceChannels, deviceRate);
        if (!direct && !conv)
            return failHandle(AudioError::Format); // a rate or layout SDL cannot convert
        auto s = std::make_shared<Stream>(std::move(dec), conv);
        s->rate = rate;
        s->channels = channels;
        s->frameBytes = 2 * channels;
        s->length = static_cast<qint64>(frames) * s->frameBytes;
        s->deviceRate = deviceRate;

        quint32 handle = 0;
        {
            std::lock_guard lock(mutex);
            handle = nextHandle++;
            if (nextHandle == 0)
                nextHandle = 1;
            streams.emplace(handle, std::move(s));
        }
        lastErr = AudioError::Ok;
        return handle;
    }

    bool freeStream(quint32 handle) override {
        std::shared_ptr<Stream> s;
        {
            std::lock_guard lock(mutex);
            const auto it = streams.find(handle);
            if (it == streams.end())
                return fail(AudioError::Handle);
            s = std::move(it->second);
            streams.erase(it);
            s->freed = true;
            s->state = AudioActivity::Stopped;
        }
        s.reset(); // closes the file here unless the decoder is busy with it
        lastErr = AudioError::Ok;
        return true;
    }

    bool play(quint32 handle, bool restart) override {
        std::deque<Block> dropped;
        {
            std::lock_guard lock(mutex);
            Stream* s = find(handle);
            if (!s)
                return fail(AudioError::Handle);
            if (restart)
                requestSeek(*s, 0, dropped);
            s->state = AudioActivity::Playing;
            if (!s->started)
                s->started = s->filling = true;
        }
        wake.notify_all();
        lastErr = AudioError::Ok;
        return true;
    }

    bool pause(quint32 handle) override {
        std::lock_guard lock(mutex);
        Stream* s = find(handle);
        if (!s)
            return fail(AudioError::Handle);
        if (s->state != AudioActivity::Playing)
            return fail(AudioError::NotPlaying);
        s->state = AudioActivity::Paused;
        lastErr = AudioError::Ok;
        return true;
    }

    bool stop(quint32 handle) override {
        std::lock_guard lock(mutex);
        Stream* s = find(handle);
        if (!s)
            return fail(AudioError::Handle);
        s->state = AudioActivity::Stopped;
        lastErr = AudioError::Ok;
        return true;
    }

    int activity(quint32 handle) const override {
        std::lock_guard lock(mutex);
        const Stream* s = find(handle);
        if (!s) {
            lastErr = AudioError::Handle;
            return AudioActivity::Stopped;
        }
        lastErr = AudioError::Ok;
        return s->state;
    }

    qint64 position(quint32 handle) const override {
        std::lock_guard lock(mutex);
        const Stream* s = find(handle);
        if (!s) {
            lastErr = AudioError::Handle;
            return -1;
        }
        lastErr = AudioError::Ok;
        return s->position;
    }

    bool setPosition(quint32 handle, qint64 bytes) override {
        std::deque<Block> dropped;
        {
            std::lock_guard lock(mutex);
            Stream* s = find(handle);
            if (!s)
                return fail(AudioError::Handle);
            const qint64 target = s->snap(std::max<qint64>(bytes, 0));
            if (target > s->length)
                return fail(AudioError::Position);
            requestSeek(*s, target, dropped);
        }
        wake.notify_all();
        lastErr = AudioError::Ok;
        return true;
    }

    qint64 length(quint32 handle) const override {
        std::lock_guard lock(mutex);
        const Stream* s = find(handle);
        if (!s) {
            lastErr = AudioError::Handle;
            return -1;
        }
        lastErr = AudioError::Ok;
        return s->length;
    }

    qint64 secondsToBytes(quint32 handle, double seconds) const override {
        std::lock_guard lock(mutex);
        const Stream* s = find(handle);
        if (!s) {
            lastErr = AudioError::Handle;
            return -1;
        }
        lastErr = AudioError::Ok;
        // The epsilon keeps a whole number of seconds from landing one frame short.
        const double frames = std::floor(seconds * static_cast<double>(s->rate) + 1e-6);
        return static_cast<qint64>(frames) * s->frameBytes;
    }

    double bytesToSeconds(quint32 handle, qint64 bytes) const override {
        std::lock_guard lock(mutex);
        const Stream* s = find(handle);
        if (!s) {
            lastErr = AudioError::Handle;
            return -1.0;
        }
        lastErr = AudioError::Ok;
        return static_cast<double>(bytes) / (static_cast<double>(s->rate) * s->frameBytes);
    }

private:
    bool fail(int code) const {
        lastErr = code;
        return false;
    }
    quint32 failHandle(int code) {
        lastErr = code;
        return 0;
    }

    // Callers hold the mutex.
    Stream* find(quint32 handle) const {
        const auto it = streams.find(handle);
        return it == streams.end() ? nullptr : it->second.get();
    }

    // Drops what is queued and asks the decoder to continue at `target`; the position reads `target`
    // at once. The caller holds the mutex and frees `dropped` after letting go of it.
    static void requestSeek(Stream& s, qint64 target, std::deque<Block>& dropped) {
        dropped.swap(s.queue);
        s.usedBlocks = 0;
        s.queuedSamples = 0;
        s.eofQueued = false;
        s.seekPending = true;
        s.seekFrame = target / s.frameBytes;
        s.position = target;
        s.filling = true;
        ++s.generation;
    }

    static void audioCallback(void* userdata, Uint8* out, int len) {
        static_cast<Mpg123SdlEngine*>(userdata)->fillDevice(reinterpret_cast<qint16*>(out),
                                                            static_cast<size_t>(len) / sizeof(qint16));
    }

    // SDL's audio thread.
    void fillDevice(qint16* out, size_t total) {
        bool hungry = false;
        bool mixing = false; // a stream before this one has put samples into `out`
        {
            std::lock_guard lock(mutex);
            for (auto& entry : streams) {
                Stream& s = *entry.second;
                if (s.state != AudioActivity::Playing)
                    continue;
                size_t done = 0;
                while (done < total) {
                    if (s.usedBlocks < s.queue.size()) {
                        Block& b = s.queue[s.usedBlocks];
                        const size_t n = std::min(total - done, b.pcm.size() - b.used);
                        // Into silence, mixing is copying; one stream playing is the common case.
                        if (mixing)
                            mixInto(out + done, b.pcm.data() + b.used, n);
                        else
                            std::memcpy(out + done, b.pcm.data() + b.used, n * sizeof(qint16));
                        b.used += n;
                        done += n;
                        s.queuedSamples -= n;
                        if (b.used == b.pcm.size()) {
                            ++s.usedBlocks;
                            s.position = b.srcStart + b.srcBytes;
                        } else {
                            s.position = b.srcStart + s.snap(b.srcBytes * static_cast<qint64>(b.used) /
                                                             static_cast<qint64>(b.pcm.size()));
                        }
                    } else if (s.eofQueued) {
                        // Everything has been handed over: this is the real end, whatever the header said.
                        s.position = s.endPos;
                        s.length = s.endPos;
                        s.state = AudioActivity::Stopped;
                        break;
                    } else {
                        break; // the decoder is behind (just after a seek): silence for the rest
                    }
                }
                if (!mixing && done > 0) {
                    // The first stream heard: the rest of the buffer becomes silence to mix the others into.
                    std::memset(out + done, 0, (total - done) * sizeof(qint16));
                    mixing = true;
                }
                if (!s.eofQueued && !s.filling && s.queuedSamples < aheadSamples / 2)
                    hungry = s.filling = true;
            }
        }
        if (!mixing)
            std::memset(out, 0, total * sizeof(qint16));
        if (hungry)
            wake.notify_one();
    }

    bool needsWork(const Stream& s) const {
        return s.started && (s.seekPending || (!s.eofQueued && s.filling));
    }

    // The decoder thread.
    void decoderLoop() {
        std::vector<unsigned char> src(kChunkBytes);
        std::unique_lock lock(mutex);
        while (!quit) {
            std::shared_ptr<Stream> s;
            for (auto& entry : streams) {
                Stream& c = *entry.second;
                if (needsWork(c) && (!s || c.seekPending || c.queuedSamples < s->queuedSamples))
                    s = entry.second;
            }
            if (!s) {
                wake.wait(lock);
                continue;
            }
            std::deque<Block> spent;
            for (size_t i = 0; i < s->usedBlocks; ++i) {
                spent.push_back(std::move(s->queue.front()));
                s->queue.pop_front();
            }
            s->usedBlocks = 0;
            const bool seek = s->seekPending;
            const qint64 seekFrame = s->seekFrame;
            s->seekPending = false;
            const quint64 generation = s->generation;
            lock.unlock();

            spent.clear();
            Block block;
            bool eof = false;
            decodeStep(*s, seek, seekFrame, src, block, eof);

            lock.lock();
            if (s->generation == generation && !s->freed) {
                if (!block.pcm.empty()) {
                    s->queuedSamples += block.pcm.size();
                    s->queue.push_back(std::move(block));
                }
                if (s->queuedSamples >= aheadSamples)
                    s->filling = false;
                if (eof) {
                    s->eofQueued = true;
                    s->endPos = s->decodePos;
                }
            }
            // A freed stream is destroyed here, outside the mutex.
            lock.unlock();
            s.reset();
            block.pcm.clear();
            lock.lock();
        }
    }

    // SDL 2's resampler keeps back the last few hundred source frames even when flushed; feed it
    // silence until everything real has come out (the caller cuts the silence off again).
    static void pushOutTail(Stream& s) {
        const std::vector<qint16> silence(1024 * static_cast<size_t>(s.channels), 0);
        for (int i = 0; i < 16; ++i) {
            const qint64 ready = s.outFrames + SDL_AudioStreamAvailable(s.conv) / (2 * kDeviceChannels);
            if (ready >= s.expectedOutFrames())
                return;
            SDL_AudioStreamPut(s.conv, silence.data(), static_cast<int>(silence.size() * sizeof(qint16)));
        }
        SDL_AudioStreamFlush(s.conv);
    }

    // Decoder thread, without the mutex: one seek and/or one chunk of audio.
    static void decodeStep(Stream& s, bool seek, qint64 seekFrame, std::vector<unsigned char>& src,
                           Block& block, bool& eof) {
        if (seek) {
            const qint64 reached = s.dec->seek(seekFrame);
            if (s.conv)
                SDL_AudioStreamClear(s.conv);
            s.decodePos = (reached >= 0 ? reached : seekFrame) * s.frameBytes;
            s.blockStart = s.decodePos;
            s.emptyReads = 0;
            s.srcFrames = 0;
            s.outFrames = 0;
            if (reached < 0)
                eof = true;
        }
        if (!eof) {
            // In the device's format the decoder writes straight into the block.
            unsigned char* into = src.data();
            if (!s.conv) {
                block.pcm.resize(src.size() / sizeof(qint16));
                into = reinterpret_cast<unsigned char*>(block.pcm.data());
            }
            size_t got = 0;
            const bool more = s.dec->read(into, src.size(), got);
            if (!s.conv)
                block.pcm.resize(got / sizeof(qint16));
            if (got > 0) {
                if (s.conv)
                    SDL_AudioStreamPut(s.conv, src.data(), static_cast<int>(got));
                s.decodePos += static_cast<qint64>(got);
                s.srcFrames += static_cast<qint64>(got) / s.frameBytes;
                s.emptyReads = 0;
            } else if (more && ++s.emptyReads > kMaxEmptyReads) {
                eof = true;
            }
            if (!more)
                eof = true; // the end, or damage the decoder cannot get past
        }
        if (s.conv)
            takeConverted(s, block, eof);
        s.outFrames += static_cast<qint64>(block.pcm.size()) / kDeviceChannels;
        if (!block.pcm.empty()) {
            block.srcStart = s.blockStart;
            block.srcBytes = s.decodePos - s.blockStart;
            s.blockStart = s.decodePos;
        }
    }

    // Moves what the converter has ready into `block`; at the end, all of it and not a frame more.
    static void takeConverted(Stream& s, Block& block, bool eof) {
        if (eof)
            pushOutTail(s);
        const int available = SDL_AudioStreamAvailable(s.conv);
        if (available > 0) {
            block.pcm.resize(static_cast<size_t>(available) / sizeof(qint16));
            const int got = SDL_AudioStreamGet(s.conv, block.pcm.data(), available);
            block.pcm.resize(got > 0 ? static_cast<size_t>(got) / sizeof(qint16) : 0);
        }
        if (eof) {
            // Exactly as many device frames as the source holds since the last seek, no padding.
            const qint64 wanted = std::max<qint64>(s.expectedOutFrames() - s.outFrames, 0) * kDeviceChannels;
            if (static_cast<qint64>(block.pcm.size()) > wanted)
                block.pcm.resize(static_cast<size_t>(wanted));
            SDL_AudioStreamClear(s.conv);
        }
    }

    mutable std::mutex mutex;
    std::condition_variable wake;
    std::map<quint32, std::shared_ptr<Stream>> streams; // guarded
    quint32 nextHandle = 1;                             // guarded
    bool quit = false;                                  // guarded
    std::thread decoder;
    SDL_AudioDeviceID deviceId = 0;
    int deviceRate = 44100;
    size_t aheadSamples = 0;
    mutable std::atomic<int> lastErr{AudioError::Ok};
};

} // namespace

std::unique_ptr<IAudioEngine> createDefaultAudioEngine() {
    return std::make_unique<Mpg123SdlEngine>();
}
