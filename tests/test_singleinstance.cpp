// One game per user and display: a second start gives way and calls the
// first forward.
#include "app/singleinstance.h"

#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

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

    // The key names the numeric user id, so neither a missing nor a changed
    // USER lets the same user start a second copy.
    void keyNamesUserIdAndDisplay()
    {
        qputenv("DISPLAY", ":0.0");
        const QString expected = QStringLiteral("kivnerb-%1-_0.0").arg(qulonglong(::getuid()));
        const char *const users[] = {"ann/../x", "", nullptr};
        for (const char *user : users) {
            if (user)
                qputenv("USER", user);
            else
                qunsetenv("USER");
            QCOMPARE(SingleInstance::keyFor(QStringLiteral("kivnerb")), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
