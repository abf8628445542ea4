#pragma once
// A test double for the audio seam: passes every call to a real engine and keeps the handle of the last
// opened stream, so that a test can look behind a player at the engine's own view of its stream.
#include "AudioEngine.h"

namespace sbtest {

class SpyEngine : public IAudioEngine {
public:
    explicit SpyEngine(IAudioEngine& real) : e(real) {}
    quint32 lastHandle = 0;

    quint32 version() const override { return e.version(); }
    bool init(int d, quint32 f, quint32 fl, quintptr w) override { return e.init(d, f, fl, w); }
    void release() override { e.release(); }
    int lastError() const override { return e.lastError(); }
    quint32 openFile(const QString& path) override { return lastHandle = e.openFile(path); }
    bool freeStream(quint32 h) override { return e.freeStream(h); }
    bool play(quint32 h, bool restart) override { return e.play(h, restart); }
    bool pause(quint32 h) override { return e.pause(h); }
    bool stop(quint32 h) override { return e.stop(h); }
    int activity(quint32 h) const override { return e.activity(h); }
    qint64 position(quint32 h) const override { return e.position(h); }
    bool setPosition(quint32 h, qint64 bytes) override { return e.setPosition(h, bytes); }
    qint64 length(quint32 h) const override { return e.length(h); }
    qint64 secondsToBytes(quint32 h, double s) const override { return e.secondsToBytes(h, s); }
    double bytesToSeconds(quint32 h, qint64 b) const override { return e.bytesToSeconds(h, b); }

private:
    IAudioEngine& e;
};

} // namespace sbtest
