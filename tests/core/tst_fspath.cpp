#include "fsPath.h"
#include "sbtest.h"

#include <QTest>

#include <cerrno>
#include <cstdio>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class TstFsPath : public QObject {
    Q_OBJECT

    static bool writeRaw(const QByteArray& name, const QByteArray& bytes) {
        FILE* f = ::fopen(name.constData(), "wb");
        const bool ok = f && ::fwrite(bytes.constData(), 1, size_t(bytes.size()), f) == size_t(bytes.size());
        return f && ::fclose(f) == 0 && ok;
    }

private slots:
    void bytesSurviveTheRoundTrip_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ascii") << QByteArray("Track 01.mp3") << QStringLiteral("Track 01.mp3");
        QTest::newRow("utf-8") << QByteArray("M\xc3\xbcller.mp3") << QStringLiteral("Müller.mp3");
        QTest::newRow("latin-1") << QByteArray("M\xfcller.mp3") << QStringLiteral("M\uFFFDller.mp3");
        QTest::newRow("cp1251") << QByteArray("\xcf\xe5\xf1\xed\xff.mp3")
                                << QStringLiteral("\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD.mp3");
        QTest::newRow("cut sequence at end") << QByteArray("a\xc3") << QStringLiteral("a\uFFFD");
        QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf") << QStringLiteral("a\uFFFD\uFFFD");
        QTest::newRow("encoded surrogate")
            << QByteArray("\xed\xb2\x80") << QStringLiteral("\uFFFD\uFFFD\uFFFD");
        QTest::newRow("leading byte-order mark") << QByteArray("\xef\xbb\xbfx") << QStringLiteral("\uFEFFx");
        QTest::newRow("valid after invalid") << QByteArray("\xff\xd0\x96") << QStringLiteral("\uFFFDЖ");
    }
    void bytesSurviveTheRoundTrip() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString path = pathFromBytes(bytes);
        QCOMPARE(pathBytes(path), bytes);
        QCOMPARE(displayPath(path), shown);
    }

    void onlyRegularFilesOpen_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("opens");
        QTest::newRow("regular") << "regular" << true;
        QTest::newRow("link to regular") << "link" << true;
        QTest::newRow("latin-1 name") << "latin1" << true;
        QTest::newRow("named pipe") << "fifo" << false;
        QTest::newRow("socket") << "socket" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("link to /dev/zero") << "devzero" << false;
        QTest::newRow("dangling link") << "dangling" << false;
        QTest::newRow("missing") << "missing" << false;
    }
    // A pipe nobody writes to would block a plain open for good; the test would hang instead of failing.
    void onlyRegularFilesOpen() {
        QFETCH(QString, kind);
        QFETCH(bool, opens);
        const QString dir = sbtest::makeTempDir(QStringLiteral("kinds"));
        const QByteArray base = pathBytes(dir) + "/";
        QByteArray name = base + "x.mp3";
        QVERIFY(sbtest::writeFile(dir + QStringLiteral("/real.mp3"), "ID3"));
        if (kind == QLatin1String("regular")) {
            QVERIFY(writeRaw(name, "ID3"));
        } else if (kind == QLatin1String("link")) {
            QCOMPARE(::symlink((base + "real.mp3").constData(), name.constData()), 0);
        } else if (kind == QLatin1String("latin1")) {
            name = base + "M\xfcller.mp3";
            QVERIFY(writeRaw(name, "ID3"));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (kind == QLatin1String("socket")) {
            const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            QVERIFY(size_t(name.size()) < sizeof(addr.sun_path));
            qstrcpy(addr.sun_path, name.constData());
            QCOMPARE(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
            ::close(s);
        } else if (kind == QLatin1String("folder")) {
            QCOMPARE(::mkdir(name.constData(), 0700), 0);
        } else if (kind == QLatin1String("devzero")) {
            QCOMPARE(::symlink("/dev/zero", name.constData()), 0);
        } else if (kind == QLatin1String("dangling")) {
            QCOMPARE(::symlink((base + "gone").constData(), name.constData()), 0);
        }
        const QString path = pathFromBytes(name);
        QCOMPARE(isRegularFile(path), opens);
        const int fd = openRegularFile(path);
        QCOMPARE(fd >= 0, opens);
        if (fd >= 0) {
            char buf[3] = {};
            QCOMPARE(::read(fd, buf, 3), ssize_t(3));
            QCOMPARE(QByteArray(buf, 3), QByteArray("ID3"));
            ::close(fd);
        } else {
            QVERIFY(errno != 0);
        }
    }
};

QTEST_GUILESS_MAIN(TstFsPath)
#include "tst_fspath.moc"
