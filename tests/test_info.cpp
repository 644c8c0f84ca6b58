#include "window/info.h"
#include "window/seams.h"

#include <QTest>

class TestInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { seams::setShellExecuteHandler({}); }

    // A gesture is a control to click or else a key sequence; keys close the window, clicks on
    // Aide and the links leave it open. A right click, or a release off the control, is no click.
    void gestures_closeOrOpenLinks_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("Esc") << QString();
        QTest::newRow("Return") << QString(); // presses Fermer, which holds the focus
        QTest::newRow("Cmd_Help") << QString();
        QTest::newRow("Lbl_email") << "Open|mailto: signetor@example.org||";
        QTest::newRow("Lbl_Web") << "Open|https://signetor.example.org/||";
    }
    void gestures_closeOrOpenLinks()
    {
        QFETCH(QString, call);
        const QLatin1String gesture(QTest::currentDataTag());
        Info info;
        QStringList calls;
        seams::setShellExecuteHandler([&](const seams::ShellExecuteCall &c) {
            QVERIFY(c.owner == &info && c.showCommand == 3); // maximised
            calls << QStringList{c.operation, c.file, c.parameters, c.directory}.join(u'|');
        });
        info.show();
        QVERIFY(QTest::qWaitForWindowActive(&info));
        QWidget *target = info.findChild<QWidget *>(gesture);
        if (!target)
            QTest::keySequence(info.windowHandle(), QKeySequence(gesture));
        else {
            QTest::mouseClick(target, Qt::RightButton);
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(-5, -5));
            QTest::mouseClick(target, Qt::LeftButton);
        }
        QCOMPARE(info.isVisible(), target != nullptr);
        QCOMPARE(calls.join(u'\n'), call);
    }
};

QTEST_MAIN(TestInfo)
#include "test_info.moc"
