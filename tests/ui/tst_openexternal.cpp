#include "openExternal.h"
#include "sbtest.h"

#include <QDesktopServices>
#include <QDir>
#include <QTest>
#include <QUrl>

// Catches what runFile hands to the desktop instead of starting a browser or a file manager.
class TestOpenExternal : public QObject {
    Q_OBJECT
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }

private slots:
    void initTestCase() {
        for (const char* scheme : {"https", "mailto", "file", "odd"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }

    void runFile_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QUrl>("expected");
        const QString dir = sbtest::makeTempDir(QStringLiteral("shell"));
        sbtest::writeFile(dir + QStringLiteral("/odd:name.txt"), "x");
        QTest::newRow("web address") << "https://sonabin.example/a?b=1"
                                     << QUrl("https://sonabin.example/a?b=1");
        QTest::newRow("mail") << "mailto:me@example.org" << QUrl("mailto:me@example.org");
        QTest::newRow("local file") << dir + QStringLiteral("/a b#1.txt")
                                    << QUrl::fromLocalFile(dir + QStringLiteral("/a b#1.txt"));
        QDir::setCurrent(dir);
        QTest::newRow("existing file that looks like a url")
            << "odd:name.txt" << QUrl::fromLocalFile(dir + QStringLiteral("/odd:name.txt"));
    }
    void runFile() {
        QFETCH(QString, target);
        QFETCH(QUrl, expected);
        opened.clear();
        ::runFile(target);
        QCOMPARE(opened, QList<QUrl>{expected});
    }

    void emptyTargetOpensNothing() {
        opened.clear();
        ::runFile(QString());
        QVERIFY(opened.isEmpty());
    }

    void cleanupTestCase() {
        for (const char* scheme : {"https", "mailto", "file", "odd"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
};

QTEST_MAIN(TestOpenExternal)
#include "tst_openexternal.moc"
