// A process killed (SIGKILL) while it saves the settings never leaves a damaged file: the file always
// reads back whole, holding either the values of the save before or those of the save under way.
// The test starts itself as the saving process (--save-loop), which alternates two sets of values.
#include "dorOptions.h"
#include "sbtest.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

struct ValueSet {
    QString name;
    QList<std::pair<QString, QString>> common; // key, value in section "common"
    QString geometry;                          // "left" in section "FormMain"
};

// Two sets that differ in every value and in length; the long value makes each save write many
// blocks, so that kills also land in the middle of writing.
const ValueSet& valueSet(int which) {
    static const ValueSet a{QStringLiteral("A"),
                            {{QStringLiteral("counter"), QStringLiteral("111")},
                             {QStringLiteral("folder_curr"), QStringLiteral("/music/first/")},
                             {QStringLiteral("language"), QStringLiteral("English.lng")},
                             {QStringLiteral("notes"), QString(200 * 1024, QLatin1Char('a'))}},
                            QStringLiteral("10")};
    static const ValueSet b{QStringLiteral("B"),
                            {{QStringLiteral("counter"), QStringLiteral("2222")},
                             {QStringLiteral("folder_curr"), QStringLiteral("/music/second/and/deeper/")},
                             {QStringLiteral("language"), QStringLiteral("Deutsch.lng")},
                             {QStringLiteral("notes"), QString(120 * 1024, QLatin1Char('b'))}},
                            QStringLiteral("2020")};
    return which == 0 ? a : b;
}

void store(TOptionsBase& options, const ValueSet& set) {
    for (const auto& [key, value] : set.common)
        options.WriteString(QStringLiteral("common"), key, value);
    options.WriteString(QStringLiteral("FormMain"), QStringLiteral("left"), set.geometry);
}

// Which set the file holds, completely: "A", "B", or a description of what is wrong.
QString whichSet(const QString& path) {
    TOptionsBase options(path);
    for (int which = 0; which < 2; ++which) {
        const ValueSet& set = valueSet(which);
        bool all =
            options.ReadString(QStringLiteral("FormMain"), QStringLiteral("left"), QString()) == set.geometry;
        for (const auto& [key, value] : set.common)
            all = all && options.ReadString(QStringLiteral("common"), key, QString()) == value;
        if (all)
            return set.name;
    }
    return QStringLiteral("neither set: counter=%1, %2 bytes")
        .arg(options.ReadString(QStringLiteral("common"), QStringLiteral("counter"), QStringLiteral("-")))
        .arg(QFileInfo(path).size());
}

// The saving process: B, A, B, A... for ever, saying "ready" after the first save.
int saveLoop(const QString& path) {
    TOptionsBase options(path);
    for (int i = 0;; ++i) {
        store(options, valueSet((i + 1) % 2));
        options.Save();
        if (i == 0) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}

} // namespace

class TstKillSave : public QObject {
    Q_OBJECT

private slots:
    void killedSaveLeavesOldOrNewFile() {
        const QString dir = sbtest::makeTempDir(QStringLiteral("killsave"));
        const QString path = dir + QStringLiteral("/sonabin.ini");
        {
            TOptionsBase options(path);
            store(options, valueSet(0));
            options.Save();
        }
        QCOMPARE(whichSet(path), QStringLiteral("A"));

        QRandomGenerator rng(20240611);
        QMap<QString, int> seen;
        const int kills = 150;
        for (int i = 0; i < kills; ++i) {
            QProcess saver;
            saver.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-loop"), path});
            QVERIFY(saver.waitForStarted(10000));
            QElapsedTimer t;
            t.start();
            while (!saver.canReadLine() && saver.state() == QProcess::Running && t.elapsed() < 20000)
                saver.waitForReadyRead(100);
            QVERIFY2(saver.canReadLine(), qPrintable(saver.readAllStandardError()));
            // A random moment in the following saves: the first microseconds to a few saves later.
            QThread::usleep(rng.bounded(30000));
            ::kill(static_cast<pid_t>(saver.processId()), SIGKILL);
            QVERIFY(saver.waitForFinished(10000));
            QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

            const QString found = whichSet(path);
            QVERIFY2(found == QStringLiteral("A") || found == QStringLiteral("B"),
                     qPrintable(QStringLiteral("after kill %1: %2").arg(i).arg(found)));
            ++seen[found];
        }
        // Kills landed at different points of the loop; otherwise the test proved little.
        QVERIFY2(seen.value(QStringLiteral("A")) > 0 && seen.value(QStringLiteral("B")) > 0,
                 qPrintable(QStringLiteral("A %1 times, B %2 times")
                                .arg(seen.value(QStringLiteral("A")))
                                .arg(seen.value(QStringLiteral("B")))));
        qInfo("%d kills: %d left A, %d left B; files in the folder: %s", kills,
              seen.value(QStringLiteral("A")), seen.value(QStringLiteral("B")),
              qPrintable(QDir(dir).entryList(QDir::Files | QDir::Hidden).join(u' ')));
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--save-loop") == 0)
        return saveLoop(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TstKillSave test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_killsave.moc"
