#include "dorBass.h"

#include "AudioEngine.h"
#include "const_sb.h"
#include "diagnosticLog.h"
#include "dorTools.h"
#include "fsPath.h"

#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kTimerPeriodMs = 250;
constexpr quint32 kExpectedVersion = 0x0204;
constexpr int kDefaultDevice = -1;
constexpr quint32 kDeviceFrequency = 44100;

TBassPlayer::TExitHook& exitHook() {
    static TBassPlayer::TExitHook hook = [](int code) { std::exit(code); };
    return hook;
}

TBassPlayer::TStartupReporter& startupReporter() {
    static TBassPlayer::TStartupReporter reporter;
    return reporter;
}

} // namespace

TBassPlayer::TBassPlayer(IAudioEngine& audioEngine, quintptr appHandle)
    : engine(audioEngine), FTimeTotal(QStringLiteral("00:00")), sHandle(appHandle) {
    timer = std::make_unique<QTimer>();
    timer->setInterval(kTimerPeriodMs);
    timer->stop();
    QObject::connect(timer.get(), &QTimer::timeout, this, [this] { TimerTick(); });

    if ((engine.version() >> 16) != kExpectedVersion) {
        startupFailure(sb::audioVersionError);
        return;
    }
    if (!engine.init(kDefaultDevice, kDeviceFrequency, 0, sHandle)) {
        startupFailure(sb::audioInitError);
        return;
    }
    FValid = true;
}

TBassPlayer::~TBassPlayer() {
    Stop();
    FreeTrack();
    timer.reset();
    engine.release();
}

TBassPlayer::TExitHook TBassPlayer::setExitHook(TExitHook hook) {
    TExitHook previous = std::move(exitHook());
    exitHook() = std::move(hook);
    return previous;
}

TBassPlayer::TStartupReporter TBassPlayer::setStartupReporter(TStartupReporter reporter) {
    TStartupReporter previous = std::move(startupReporter());
    startupReporter() = std::move(reporter);
    return previous;
}

void TBassPlayer::startupFailure(const QString& text) {
    addLogValue(QStringLiteral("> Audio"), text);
    if (startupReporter())
        startupReporter()(text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    // A program that cannot play is a failed start: scripts and session managers must see it.
    if (exitHook())
        exitHook()(1);
}

void TBassPlayer::FreeTrack() {
    trackFilename.clear();
    FPositionMax = 0;
    if (track_stream != 0) {
        Stop();
        engine.freeStream(track_stream);
    }
}

void TBassPlayer::PlayTrack(const QString& sTrack) {
    FreeTrack();
    trackFilename = sTrack;
    // Only a regular file reaches the engine: opening a pipe or a device named like a track would block
    // this thread for good. Anything else is a file that does not open, passed over at the next tick.
    track_stream = isRegularFile(sTrack) ? engine.openFile(sTrack) : 0;
    if (FValid) {
        FPositionMax = engine.length(track_stream);
        FTimeTotal = timeText(FPositionMax);
    }
    Play();
}

void TBassPlayer::Play() {
    engine.play(track_stream, false);
    timer->start();
}

void TBassPlayer::Pause() {
    timer->stop();
    engine.pause(track_stream);
}

void TBassPlayer::Stop() {
    timer->stop();
    engine.stop(track_stream);
}

void TBassPlayer::Forward(int sSeconds) {
    setPosition(Position() + SecondsToPosition(sSeconds));
}

void TBassPlayer::Backward(int sSeconds) {
    setPosition(Position() - SecondsToPosition(sSeconds));
}

qint64 TBassPlayer::Position() const {
    return engine.position(track_stream);
}

void TBassPlayer::setPosition(qint64 value) {
    // Ten bytes, not ten seconds: a step past the end lands just before it and the track ends at the
    // next tick.
    engine.setPosition(track_stream, value > FPositionMax ? FPositionMax - 10 : value);
}

qint64 TBassPlayer::SecondsToPosition(int sSeconds) const {
    return engine.secondsToBytes(track_stream, static_cast<double>(sSeconds));
}

int TBassPlayer::PositionToSeconds(qint64 sPosition) const {
    return static_cast<int>(roundHalfEven(engine.bytesToSeconds(track_stream, sPosition)));
}

QString TBassPlayer::TimeCurrent() const {
    return timeText(Position());
}

QString TBassPlayer::timeText(qint64 bytes) const {
    // A stream that did not open reports -1 bytes and -1 seconds; show the start rather than garbage.
    const int seconds = std::max(PositionToSeconds(bytes), 0);
    return QStringLiteral("%1:%2")
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

bool TBassPlayer::isPlaying() const {
    return engine.activity(track_stream) == AudioActivity::Playing;
}

bool TBassPlayer::isPaused() const {
    return engine.activity(track_stream) == AudioActivity::Paused;
}

int TBassPlayer::getErrorCode() const {
    return engine.lastError();
}

bool TBassPlayer::timerActive() const {
    return timer && timer->isActive();
}

void TBassPlayer::TimerTick() {
    const qint64 position = engine.position(track_stream);
    const qint64 length = engine.length(track_stream);
    if (position == length) {
        Stop();
        if (FonComplete)
            FonComplete(this);
        return;
    }
    if (FonTimer)
        FonTimer(this);
}
