#pragma once
// The tests' one double of the audio seam, in two modes:
// - on its own, a fake engine that follows the engine contract (handle 0 and freed handles report -1 for
//   position and length) with positions that move only when a test moves them, so every timer tick sees
//   a known position. A regular file opens with the length `lengths` gives for its name, 90 s by default;
//   anything else does not open;
// - given a real engine, it passes every call on to it, so a test can look behind a player at the
//   engine's own view of its stream.
// Either way it keeps the calls that change something, in order, the names it was asked to open and the
// handle of the stream opened last.
#include "AudioEngine.h"
#include "fsPath.h"

#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <map>

namespace sbtest {

class EngineDouble : public IAudioEngine {
public:
    static constexpr int kRate = 44100;
    static constexpr int kFrameBytes = 4; // 16-bit stereo
    static constexpr qint64 kBytesPerSecond = qint64(kRate) * kFrameBytes;

    struct Stream {
        QString path;
        qint64 length = 0;
        qint64 position = 0;
        int state = AudioActivity::Stopped;
    };

    EngineDouble() = default;
    explicit EngineDouble(IAudioEngine& realEngine) : real(&realEngine) {}

    // What the fake answers.
    quint32 versionValue = 0x02040000;
    bool initResult = true;
    int errorCode = AudioError::Ok;
    QMap<QString, qint64> lengths; // by file name
    qint64 defaultLength = 90 * kBytesPerSecond;

    // What it was asked.
    std::map<quint32, Stream> streams; // the fake's open streams
    QStringList calls;                 // "open(path)", "play(1,0)", ... in order
    QStringList opened;                // file names, in order
    int setPositionCalls = 0;
    quint32 lastHandle = 0;

    Stream* stream(quint32 h) {
        const auto it = streams.find(h);
        return it == streams.end() ? nullptr : &it->second;
    }
    const Stream* stream(quint32 h) const {
        const auto it = streams.find(h);
        return it == streams.end() ? nullptr : &it->second;
    }
    // The stream opened last (the one a player holds).
    Stream* current() { return streams.empty() ? nullptr : &streams.rbegin()->second; }
    qint64 currentPosition() { return current() ? current()->position : -1; }
    int currentState() { return current() ? current()->state : -1; }

    quint32 version() const override { return real ? real->version() : versionValue; }
    bool init(int device, quint32 frequency, quint32 flags, quintptr window) override {
        calls << QStringLiteral("init(%1,%2,%3,%4)").arg(device).arg(frequency).arg(flags).arg(window);
        return real ? real->init(device, frequency, flags, window) : initResult;
    }
    void release() override {
        calls << QStringLiteral("release");
        if (real)
            real->release();
    }
    int lastError() const override { return real ? real->lastError() : errorCode; }
    quint32 openFile(const QString& path) override {
        calls << QStringLiteral("open(%1)").arg(path);
        const QString name = QFileInfo(path).fileName();
        opened << name;
        if (real)
            return lastHandle = real->openFile(path);
        if (!isRegularFile(path))
            return lastHandle = 0;
        lastHandle = nextHandle++;
        streams[lastHandle] = Stream{path, lengths.value(name, defaultLength), 0, AudioActivity::Stopped};
        return lastHandle;
    }
    bool freeStream(quint32 h) override {
        calls << QStringLiteral("free(%1)").arg(h);
        return real ? real->freeStream(h) : streams.erase(h) > 0;
    }
    bool play(quint32 h, bool restart) override {
        calls << QStringLiteral("play(%1,%2)").arg(h).arg(restart);
        if (real)
            return real->play(h, restart);
        Stream* s = stream(h);
        if (!s)
            return false;
        if (restart)
            s->position = 0;
        s->state = AudioActivity::Playing;
        return true;
    }
    bool pause(quint32 h) override {
        calls << QStringLiteral("pause(%1)").arg(h);
        if (real)
            return real->pause(h);
        Stream* s = stream(h);
        if (!s || s->state != AudioActivity::Playing)
            return false;
        s->state = AudioActivity::Paused;
        return true;
    }
    bool stop(quint32 h) override {
        calls << QStringLiteral("stop(%1)").arg(h);
        if (real)
            return real->stop(h);
        Stream* s = stream(h);
        if (!s)
            return false;
        s->state = AudioActivity::Stopped;
        return true;
    }
    int activity(quint32 h) const override {
        if (real)
            return real->activity(h);
        const Stream* s = stream(h);
        return s ? s->state : AudioActivity::Stopped;
    }
    qint64 position(quint32 h) const override {
        if (real)
            return real->position(h);
        const Stream* s = stream(h);
        return s ? s->position : -1;
    }
    bool setPosition(quint32 h, qint64 bytes) override {
        calls << QStringLiteral("setPosition(%1,%2)").arg(h).arg(bytes);
        ++setPositionCalls;
        if (real)
            return real->setPosition(h, bytes);
        Stream* s = stream(h);
        if (!s || bytes > s->length)
            return false;
        s->position = std::max<qint64>(bytes, 0) / kFrameBytes * kFrameBytes;
        return true;
    }
    qint64 length(quint32 h) const override {
        if (real)
            return real->length(h);
        const Stream* s = stream(h);
        return s ? s->length : -1;
    }
    qint64 secondsToBytes(quint32 h, double seconds) const override {
        if (real)
            return real->secondsToBytes(h, seconds);
        return stream(h) ? static_cast<qint64>(seconds * kRate) * kFrameBytes : -1;
    }
    double bytesToSeconds(quint32 h, qint64 bytes) const override {
        if (real)
            return real->bytesToSeconds(h, bytes);
        return stream(h) ? static_cast<double>(bytes) / kBytesPerSecond : -1.0;
    }

private:
    IAudioEngine* real = nullptr;
    quint32 nextHandle = 1;
};

} // namespace sbtest
