#include "diskDriverRun.h"

#include "sbtest.h"

#include <QElapsedTimer>
#include <csignal>

namespace sbtest {

namespace {

const QString startLine = QStringLiteral("playTrack (start): ");

} // namespace

DiskDriverRun playOnDiskDriver(const QString& program, const QString& settingsFile, const QString& music,
                               int starts, int startTimeoutMs, int afterMs) {
    DiskDriverRun run;
    if (!writeFile(settingsFile, "[common]\r\nfolder_curr=" + music.toUtf8() + "\r\n"))
        return run;
    const QString written = makeTempDir(QStringLiteral("audio")) + QStringLiteral("/out.raw");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("sonabin.log.debug=true"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), written);
    p.setProcessEnvironment(env);
    p.start(program, {});
    run.launched = p.waitForStarted(10000);
    if (!run.launched)
        return run;

    QElapsedTimer t;
    t.start();
    while (run.log.count(startLine) < starts && t.elapsed() < startTimeoutMs) {
        p.waitForReadyRead(100);
        run.log += QString::fromLocal8Bit(p.readAllStandardError());
    }
    // A wait that gave up above has nothing to wait for here.
    t.restart();
    while (run.log.count(startLine) >= starts && t.elapsed() < afterMs) {
        p.waitForReadyRead(100);
        run.log += QString::fromLocal8Bit(p.readAllStandardError());
    }
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    run.ended = p.waitForFinished(20000);
    run.log += QString::fromLocal8Bit(p.readAllStandardError());
    run.exitStatus = p.exitStatus();
    run.exitCode = p.exitCode();

    for (const QString& line : run.log.split(QLatin1Char('\n')))
        if (line.startsWith(startLine))
            run.started << line.mid(startLine.size());
    run.device = readFile(written);
    return run;
}

} // namespace sbtest
