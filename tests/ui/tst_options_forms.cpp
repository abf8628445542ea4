#include "dorOptions.h"
#include "formGeometry.h"
#include "sbtest.h"

#include <QSplitter>
#include <QTest>
#include <QWidget>

class TstOptionsForms : public QObject {
    Q_OBJECT

    QString iniPath() {
        return sbtest::makeTempDir(QStringLiteral("forms")) + QStringLiteral("/sonabin.ini");
    }

private slots:
    void formRoundTrip() {
        const QString path = iniPath();
        {
            TOptionsBase o(path);
            QWidget form;
            form.setObjectName(QStringLiteral("FormHelp"));
            form.move(-40, 5000); // off the screen: kept as it is
            form.resize(321, 234);
            saveForm(o, &form);
            QCOMPARE(o.keys(QStringLiteral("FormHelp")), (QStringList{"left", "top", "width", "height"}));
            o.Save();
        }
        TOptionsBase o(path);
        QWidget form;
        form.setObjectName(QStringLiteral("FormHelp"));
        form.resize(100, 100);
        loadForm(o, &form);
        QCOMPARE(form.pos(), QPoint(-40, 5000));
        QCOMPARE(form.size(), QSize(321, 234));
        QVERIFY(form.testAttribute(Qt::WA_Moved));
    }

    // Missing keys read as the window's own values; a missing section still pins the window where it is.
    void formDefaults() {
        TOptionsBase o(iniPath());
        o.WriteInteger(QStringLiteral("FormMain"), QStringLiteral("width"), 500);
        QWidget form;
        form.setObjectName(QStringLiteral("FormMain"));
        form.setGeometry(7, 8, 200, 150);
        loadForm(o, &form);
        QCOMPARE(form.geometry(), QRect(7, 8, 500, 150));

        QWidget other;
        other.setObjectName(QStringLiteral("FormNone"));
        other.resize(120, 90);
        QVERIFY(!other.testAttribute(Qt::WA_Moved));
        loadForm(o, &other);
        QCOMPARE(other.geometry(), QRect(0, 0, 120, 90));
        QVERIFY(other.testAttribute(Qt::WA_Moved));
    }

    void widthOfPlainControl() {
        TOptionsBase o(iniPath());
        QWidget parent;
        auto* panel = new QWidget(&parent);
        panel->setObjectName(QStringLiteral("pnlPlayer"));
        panel->resize(345, 50);
        saveWidth(o, panel);
        QCOMPARE(o.ReadInteger(QStringLiteral("pnlPlayer"), QStringLiteral("width"), 0), 345);
        panel->resize(200, 50);
        loadWidth(o, panel);
        QCOMPARE(panel->size(), QSize(345, 50));
        // No key: the control keeps its width.
        panel->setObjectName(QStringLiteral("LayoutNone"));
        loadWidth(o, panel);
        QCOMPARE(panel->width(), 345);
    }

    // In a splitter the control gets its width and the other panes share the rest by their widths.
    void widthInSplitter() {
        TOptionsBase o(iniPath());
        QSplitter splitter(Qt::Horizontal);
        splitter.setHandleWidth(4);
        QWidget* panes[3];
        for (QWidget*& pane : panes) {
            pane = new QWidget;
            pane->setMinimumWidth(1);
            splitter.addWidget(pane);
        }
        panes[0]->setObjectName(QStringLiteral("LayoutLeft"));
        splitter.resize(908, 300);
        splitter.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splitter));
        splitter.setSizes({300, 200, 400});
        const QList<int> before = splitter.sizes();
        const int total = before[0] + before[1] + before[2];

        o.WriteInteger(QStringLiteral("LayoutLeft"), QStringLiteral("width"), 180);
        loadWidth(o, panes[0]);
        const QList<int> after = splitter.sizes();
        QCOMPARE(after[0], 180);
        QCOMPARE(after[0] + after[1] + after[2], total);
        QVERIFY2(qAbs(after[2] - 2 * after[1]) <= 1,
                 qPrintable(QStringLiteral("%1 %2").arg(after[1]).arg(after[2])));
        QCOMPARE(panes[0]->width(), 180);
    }
};

QTEST_MAIN(TstOptionsForms)
#include "tst_options_forms.moc"
