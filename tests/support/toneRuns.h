#pragma once
// Reads back what the SDL disk driver wrote (16-bit stereo at 44.1 kHz): which tone plays when, so that
// an end-to-end run can check each track played whole, at its pitch, in order.
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace sbtest {

constexpr int kDeviceRate = 44100;
constexpr int kToneWindowFrames = 2048;
constexpr double kToneWindowSeconds = double(kToneWindowFrames) / kDeviceRate;

struct ToneRun {
    double frequency = 0; // 0: silence; -1: a window that matches none of the tones
    int windows = 0;
    double seconds() const { return windows * kToneWindowSeconds; }
};

// Cuts the written audio into windows, names each by the tone it holds (0 for silence, -1 for a window
// that matches none, such as the seam between two tones) and merges neighbours of the same name.
QList<ToneRun> toneRuns(const QByteArray& pcm, const QList<double>& tones);
// Drops the runs `isSeam` picks (a window or two where two sounds meet) and merges the neighbours of
// the same name that then meet.
QList<ToneRun> withoutSeams(const QList<ToneRun>& runs, const std::function<bool(const ToneRun&)>& isSeam);
// The runs that hold a tone, silence left out.
QList<ToneRun> heardTones(const QList<ToneRun>& runs);
// "440 Hz x 1.50 s, 0 Hz x 0.20 s, ..." for a failure message.
QString describe(const QList<ToneRun>& runs);

} // namespace sbtest
