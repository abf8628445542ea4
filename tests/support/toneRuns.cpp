#include "toneRuns.h"

#include <QStringList>
#include <QtEndian>
#include <cmath>

namespace sbtest {

QList<ToneRun> toneRuns(const QByteArray& pcm, const QList<double>& tones) {
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype frames = pcm.size() / 4;
    QList<ToneRun> runs;
    for (qsizetype start = 0; start + kToneWindowFrames <= frames; start += kToneWindowFrames) {
        double energy = 0;
        int crossings = 0;
        qint16 previous = qFromLittleEndian(samples[start * 2]);
        for (qsizetype i = start; i < start + kToneWindowFrames; ++i) {
            const qint16 left = qFromLittleEndian(samples[i * 2]);
            energy += double(left) * left;
            if ((previous < 0) != (left < 0))
                ++crossings;
            previous = left;
        }
        double name = -1;
        if (std::sqrt(energy / kToneWindowFrames) < 500) {
            name = 0;
        } else {
            const double frequency = crossings / 2.0 / kToneWindowSeconds;
            for (double tone : tones)
                if (std::abs(frequency - tone) < tone * 0.05)
                    name = tone;
        }
        if (!runs.isEmpty() && runs.last().frequency == name)
            ++runs.last().windows;
        else
            runs.append(ToneRun{name, 1});
    }
    return runs;
}

QList<ToneRun> withoutSeams(const QList<ToneRun>& runs, const std::function<bool(const ToneRun&)>& isSeam) {
    QList<ToneRun> merged;
    for (const ToneRun& r : runs) {
        if (isSeam(r))
            continue;
        if (!merged.isEmpty() && merged.last().frequency == r.frequency)
            merged.last().windows += r.windows;
        else
            merged << r;
    }
    return merged;
}

QList<ToneRun> heardTones(const QList<ToneRun>& runs) {
    QList<ToneRun> heard;
    for (const ToneRun& r : runs)
        if (r.frequency != 0)
            heard << r;
    return heard;
}

QString describe(const QList<ToneRun>& runs) {
    QStringList parts;
    for (const ToneRun& r : runs)
        parts << QStringLiteral("%1 Hz x %2 s").arg(r.frequency).arg(r.seconds(), 0, 'f', 2);
    return parts.join(QStringLiteral(", "));
}

} // namespace sbtest
