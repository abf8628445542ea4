#pragma once
// The real program playing a folder with SDL's disk driver, which writes what the program hands to the
// audio device into a file: an end-to-end test reads that back with toneRuns.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace sbtest {

struct DiskDriverRun {
    bool launched = false; // the program started
    bool ended = false;    // and ended within 20 s of being asked to
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QString log;         // its log lines, as printed on stderr
    QStringList started; // full paths of the tracks it started, in order
    QByteArray device;   // what the audio device was given: 16-bit stereo at 44.1 kHz
};

// Writes the settings file `settingsFile` with `music` as the start folder, starts `program` with SDL's
// disk driver and its log on stderr, waits up to `startTimeoutMs` for `starts` track starts, then
// `afterMs` more (in which nothing else may start), and ends it with SIGTERM, as a session manager would.
DiskDriverRun playOnDiskDriver(const QString& program, const QString& settingsFile, const QString& music,
                               int starts, int startTimeoutMs, int afterMs);

} // namespace sbtest
