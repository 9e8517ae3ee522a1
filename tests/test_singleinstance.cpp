// One game per user and display: a second start gives way and calls the
// first forward.
#include "app/singleinstance.h"

#include <QSignalSpy>
#include <QtTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void secondStartGivesWay()
    {
        const QString name = QStringLiteral("kivnerb-test-%1").arg(QCoreApplication::applicationPid());
        SingleInstance first(name);
        QVERIFY(first.claim());
        QSignalSpy raise(&first, &SingleInstance::raiseRequested);
        {
            SingleInstance second(name);
            QVERIFY(!second.claim());
        }
        QVERIFY(raise.wait(3000));

        // Another display is another desktop: its own instance runs.
        qputenv("DISPLAY", ":4711");
        SingleInstance elsewhere(name);
        QVERIFY(elsewhere.claim());
    }

    void keyNamesUserAndDisplay()
    {
        qputenv("DISPLAY", ":0.0");
        qputenv("USER", "ann/../x");
        const QString key = SingleInstance::keyFor(QStringLiteral("kivnerb"));
        QCOMPARE(key, QStringLiteral("kivnerb-ann_.._x-_0.0"));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
