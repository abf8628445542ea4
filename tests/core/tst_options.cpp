#include "dorOptions.h"
#include "dorTools.h"
#include "sbtest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

// Literal bytes, NULs included.
template <qsizetype N> QByteArray raw(const char (&bytes)[N]) {
    return QByteArray(bytes, N - 1);
}

class TstOptions : public QObject {
    Q_OBJECT

    QString iniPath(const QString& name) {
        return sbtest::makeTempDir(name) + QStringLiteral("/sonabin.ini");
    }

private slots:
    void readRules() {
        const QString path = iniPath(QStringLiteral("read"));
        sbtest::writeFile(path, "before=dropped\r\n"
                                "; a comment\r\n"
                                "  [ Common ]  \r\n"
                                "\r\n"
                                "  folder_lib   =  /home/me/Sonabin  \r\n"
                                "Counter=7\r\n"
                                "counter=8\r\n"
                                "empty=\r\n"
                                "a = b = c\n"
                                "spaced key = v\r"
                                "bad_int=12abc\r\n"
                                "word=true\r\n"
                                "big=99999999999\r\n"
                                "neg=-3\r\n"
                                "flag=0\r\n"
                                "flag2=5\r\n"
                                "[FormMain]\r\n"
                                "left=-20\r\n");
        TOptionsBase o(path);
        const QString c = QStringLiteral("common");
        QCOMPARE(o.sections(), (QStringList{"Common", "FormMain"}));
        QCOMPARE(o.ReadString(QStringLiteral("COMMON"), QStringLiteral("FOLDER_LIB"), QString()),
                 QStringLiteral("/home/me/Sonabin"));
        QCOMPARE(o.ReadInteger(c, QStringLiteral("counter"), 0), 7); // the first line wins
        QCOMPARE(o.ReadString(c, QStringLiteral("empty"), QStringLiteral("def")), QString(""));
        QCOMPARE(o.ReadString(c, QStringLiteral("missing"), QStringLiteral("def")), QStringLiteral("def"));
        QCOMPARE(o.ReadString(c, QStringLiteral("a"), QString()), QStringLiteral("b = c"));
        QCOMPARE(o.ReadString(c, QStringLiteral("spaced key"), QString()), QStringLiteral("v"));
        QCOMPARE(o.ReadString(c, QStringLiteral("before"), QStringLiteral("def")), QStringLiteral("def"));
        QCOMPARE(o.ReadInteger(c, QStringLiteral("bad_int"), 42), 42);
        QCOMPARE(o.ReadInteger(c, QStringLiteral("big"), 42), 42);
        QCOMPARE(o.ReadInteger(c, QStringLiteral("neg"), 42), -3);
        QCOMPARE(o.ReadInteger(c, QStringLiteral("empty"), 42), 42);
        QCOMPARE(o.ReadBool(c, QStringLiteral("word"), false), false);
        QCOMPARE(o.ReadBool(c, QStringLiteral("word"), true), true);
        QCOMPARE(o.ReadBool(c, QStringLiteral("flag"), true), false);
        QCOMPARE(o.ReadBool(c, QStringLiteral("flag2"), false), true);
        QCOMPARE(o.ReadInteger(QStringLiteral("formmain"), QStringLiteral("left"), 0), -20);
        QCOMPARE(o.ReadInteger(QStringLiteral("nosection"), QStringLiteral("left"), 9), 9);
    }

    void writeOrderAndFormat() {
        const QString path = iniPath(QStringLiteral("write"));
        sbtest::writeFile(path, "; comment\n"
                                "[Unknown]\n"
                                "x=1\n"
                                "no equals sign\n"
                                "\n"
                                "[common]\n"
                                "language=English.lng\n"
                                "dup=first\n"
                                "dup=second\n"
                                "[unknown]\n"
                                "y=2\n");
        {
            TOptionsBase o(path);
            o.WriteInteger(QStringLiteral("pnlPlayer"), QStringLiteral("width"), 400);
            o.WriteInteger(QStringLiteral("COMMON"), QStringLiteral("counter"), 3);
            o.WriteBool(QStringLiteral("common"), QStringLiteral("auto_offset"), true);
            o.WriteString(QStringLiteral("common"), QStringLiteral("LANGUAGE"),
                          QStringLiteral("Deutsch.lng"));
            o.WriteString(QStringLiteral("common"), QStringLiteral("Dup"), QStringLiteral("changed"));
            o.WriteBool(QStringLiteral("FormMain"), QStringLiteral("b"), false);
            // Memory only until Save.
            QCOMPARE(sbtest::readFile(path).left(9), QByteArray("; comment"));
            o.Save();
        }
        QCOMPARE(sbtest::readFile(path), QByteArray("[Unknown]\r\n"
                                                    "x=1\r\n"
                                                    "no equals sign\r\n"
                                                    "y=2\r\n"
                                                    "\r\n"
                                                    "[common]\r\n"
                                                    "language=Deutsch.lng\r\n"
                                                    "dup=changed\r\n"
                                                    "dup=second\r\n"
                                                    "counter=3\r\n"
                                                    "auto_offset=1\r\n"
                                                    "\r\n"
                                                    "[pnlPlayer]\r\n"
                                                    "width=400\r\n"
                                                    "\r\n"
                                                    "[FormMain]\r\n"
                                                    "b=0\r\n"
                                                    "\r\n"));
        TOptionsBase again(path);
        QCOMPARE(again.keys(QStringLiteral("common")),
                 (QStringList{"language", "dup", "dup", "counter", "auto_offset"}));
        QCOMPARE(again.ReadString(QStringLiteral("Unknown"), QStringLiteral("no equals sign"), "def"), "def");
    }

    void newFile() {
        const QString path = iniPath(QStringLiteral("new"));
        TOptionsBase o(path);
        QVERIFY(o.sections().isEmpty());
        QCOMPARE(o.ReadInteger(QStringLiteral("common"), QStringLiteral("counter"), 0), 0);
        o.WriteString(QStringLiteral("common"), QStringLiteral("folder_curr"),
                      QStringLiteral("/müsik/日本/"));
        o.Save();
        QCOMPARE(sbtest::readFile(path),
                 QByteArray("[common]\r\nfolder_curr=/m\xC3\xBCsik/\xE6\x97\xA5\xE6\x9C\xAC/\r\n\r\n"));
    }

    // A line break in a value must not split the line and forge keys when the file is read again.
    void valueWithLineBreak() {
        const QString path = iniPath(QStringLiteral("newline"));
        TOptionsBase o(path);
        o.WriteString(QStringLiteral("common"), QStringLiteral("folder_curr"),
                      QStringLiteral("/a\n[x]\r\nk=v/"));
        o.Save();
        TOptionsBase again(path);
        QCOMPARE(again.sections(), QStringList{"common"});
        QCOMPARE(again.keys(QStringLiteral("common")), QStringList{"folder_curr"});
        QCOMPARE(again.ReadString(QStringLiteral("common"), QStringLiteral("folder_curr"), QString()),
                 QStringLiteral("/a [x]  k=v/"));
    }

    void encodings_data() {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QByteArray>("bom");
        QTest::newRow("utf-8 with mark") << int(QStringConverter::Utf8) << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("utf-16 le") << int(QStringConverter::Utf16LE) << QByteArray("\xFF\xFE");
        QTest::newRow("utf-16 be") << int(QStringConverter::Utf16BE) << QByteArray("\xFE\xFF");
        QTest::newRow("no mark") << int(QStringConverter::Utf8) << QByteArray();
    }
    void encodings() {
        QFETCH(int, encoding);
        QFETCH(QByteArray, bom);
        const auto enc = QStringConverter::Encoding(encoding);
        const QString path = iniPath(QStringLiteral("enc"));
        QStringEncoder encoder(enc);
        const QByteArray body = encoder.encode(QStringLiteral("[common]\r\nlanguage=Français.lng\r\n"));
        sbtest::writeFile(path, bom + body);
        {
            TOptionsBase o(path);
            QCOMPARE(o.ReadString(QStringLiteral("common"), QStringLiteral("language"), QString()),
                     QStringLiteral("Français.lng"));
            o.WriteString(QStringLiteral("common"), QStringLiteral("folder_curr"), QStringLiteral("/Ωmega/"));
            o.Save();
        }
        QStringEncoder encoder2(enc);
        const QByteArray expected =
            bom + encoder2.encode(
                      QStringLiteral("[common]\r\nlanguage=Français.lng\r\nfolder_curr=/Ωmega/\r\n\r\n"));
        QCOMPARE(sbtest::readFile(path), expected);
    }

    void invalidBytes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("bad utf-8") << QByteArray("[common]\r\nbad=\xC3\x28\xFF\r\ncounter=4\r\n");
        QTest::newRow("truncated utf-8 at end") << QByteArray("[common]\r\ncounter=4\r\nbad=\xE6\x97");
        QTest::newRow("odd utf-16 length")
            << raw("\xFF\xFE[\0c\0o\0m\0m\0o\0n\0]\0\n\0c\0o\0u\0n\0t\0e\0r\0=\0004\0\n\0\x01");
        QTest::newRow("nul bytes") << raw("[common]\0\r\ncounter=4\r\nx=\0\0\r\n");
    }
    void invalidBytes() {
        QFETCH(QByteArray, bytes);
        const QString path = iniPath(QStringLiteral("invalid"));
        sbtest::writeFile(path, bytes);
        TOptionsBase o(path);
        QCOMPARE(o.ReadInteger(QStringLiteral("common"), QStringLiteral("counter"), 0), 4);
        o.Save();
        QCOMPARE(TOptionsBase(path).ReadInteger(QStringLiteral("common"), QStringLiteral("counter"), 0), 4);
    }

    void unreadableFile() {
        const QString dir = sbtest::makeTempDir(QStringLiteral("unreadable"));
        const QString folder = dir + QStringLiteral("/sonabin.ini");
        QDir(dir).mkdir(QStringLiteral("sonabin.ini"));
        try {
            TOptionsBase o(folder);
            QFAIL("a folder was read as a settings file");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(folder), qPrintable(e.text()));
        }
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        const QString locked = dir + QStringLiteral("/locked.ini");
        sbtest::writeFile(locked, "[common]\r\n");
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        QVERIFY_THROWS_EXCEPTION(SbError, TOptionsBase{locked});
    }

    // A settings file that cannot be read is said in the chosen language, and its store keeps its values
    // in memory only, so that the file is never replaced by defaults.
    void openOrDefaultsSaysWhy() {
        const QString dir = sbtest::makeTempDir(QStringLiteral("defaults"));
        QVERIFY(QDir(dir).mkdir(QStringLiteral("sonabin.ini")));
        SbText problem;
        std::unique_ptr<TOptionsBase> store(TOptionsBase::openOrDefaults(dir + "/sonabin.ini", &problem));
        const QString german = problem.toString([](const QString& key, const QString& english) {
            return key == QLatin1String(sbmsg::settingsDefaults.key) ? QStringLiteral("Standardwerte.")
                                                                     : english;
        });
        QVERIFY2(german.startsWith(QStringLiteral("Cannot read settings file \"%1/sonabin.ini\"").arg(dir)),
                 qPrintable(german));
        QVERIFY2(german.endsWith(QStringLiteral("\n\nStandardwerte.")), qPrintable(german));
        store->WriteInteger(QStringLiteral("common"), QStringLiteral("counter"), 3);
        store->Save();
        QVERIFY(QFileInfo(dir + "/sonabin.ini").isDir());

        store.reset(TOptionsBase::openOrDefaults(dir + "/fine.ini", &problem));
        QVERIFY(problem.english().isEmpty());
    }

    // A save that cannot complete reports it and leaves the old file as it was, and memory unchanged.
    void failedSaveKeepsOldFile() {
        const QByteArray old = "[common]\r\ncounter=5\r\n\r\n";

        const QString replaced = iniPath(QStringLiteral("replaced"));
        sbtest::writeFile(replaced, old);
        TOptionsBase o(replaced);
        o.WriteInteger(QStringLiteral("common"), QStringLiteral("counter"), 6);
        QFile::remove(replaced);
        QVERIFY(QDir().mkdir(replaced));
        sbtest::writeFile(replaced + QStringLiteral("/inside"), "keep");
        try {
            o.Save();
            QFAIL("saving over a folder succeeded");
        } catch (const SbError& e) {
            QVERIFY2(e.text().contains(replaced), qPrintable(e.text()));
        }
        QCOMPARE(sbtest::readFile(replaced + QStringLiteral("/inside")), QByteArray("keep"));
        QCOMPARE(o.ReadInteger(QStringLiteral("common"), QStringLiteral("counter"), 0), 6);
        QCOMPARE(QDir(QFileInfo(replaced).path()).entryList(QDir::Files | QDir::Hidden), QStringList{});

        // A full disk: the file size limit makes every write past 16 bytes fail, for root as well.
        const QString full = iniPath(QStringLiteral("full"));
        sbtest::writeFile(full, old);
        TOptionsBase f(full);
        f.WriteString(QStringLiteral("common"), QStringLiteral("folder_curr"), QString(64, QLatin1Char('x')));
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 16;
        ::setrlimit(RLIMIT_FSIZE, &small);
        bool failed = false;
        try {
            f.Save();
        } catch (const SbError&) {
            failed = true;
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(failed);
        QCOMPARE(sbtest::readFile(full), old);
        QCOMPARE(QDir(QFileInfo(full).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"sonabin.ini"});

        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        const QString path = iniPath(QStringLiteral("readonly"));
        sbtest::writeFile(path, old);
        TOptionsBase r(path);
        r.WriteInteger(QStringLiteral("common"), QStringLiteral("counter"), 6);
        const QString folder = QFileInfo(path).path();
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY_THROWS_EXCEPTION(SbError, r.Save());
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(sbtest::readFile(path), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"sonabin.ini"});
    }
};

QTEST_GUILESS_MAIN(TstOptions)
#include "tst_options.moc"
