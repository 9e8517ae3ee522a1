// PortMapper against a fake router on loopback. Runs through
// tests/netns_run.sh: a network namespace with only loopback, so SSDP
// multicast and the fixed NAT-PMP port 5351 stay inside the test.

#include "portmap/portmapper.h"
#include "tests/fakerouter.h"

#include <QNetworkInterface>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

using Args = FakeRouter::Args;
using Nat = FakeRouter::NatpmpRequest;

// Short waits, so that silent routers are given up on quickly.
PortMapConfig quickConfig()
{
    PortMapConfig c;
    c.discoveryMs = 300;
    c.natpmpMs = 600;
    c.answerTimeoutMs = 6000;
    c.leaseSeconds = 2;
    c.renewRetryMs = 300;
    c.minissdpdSocket = QStringLiteral("/nonexistent/minissdpd.sock");
    c.natpmpGateway = QStringLiteral("127.0.0.1");
    return c;
}

Args addRequest(const QString &lease)
{
    return {{"NewRemoteHost", ""},
            {"NewExternalPort", "7772"},
            {"NewProtocol", "TCP"},
            {"NewInternalPort", "7772"},
            {"NewInternalClient", "127.0.0.1"},
            {"NewEnabled", "1"},
            {"NewPortMappingDescription", "Sudoku game"},
            {"NewLeaseDuration", lease}};
}

const Args DeleteRequest{{"NewRemoteHost", ""}, {"NewExternalPort", "7772"}, {"NewProtocol", "TCP"}};

enum class Ending { Stop, StopNow, Destroy };

// Ends the mapper the given way; the router must have dropped the forward
// by the time stop() reports, stopNow() returns or the destructor ends.
void endMapper(std::unique_ptr<PortMapper> &mapper, Ending ending, const FakeRouter &router)
{
    switch (ending) {
    case Ending::Stop: {
        QSignalSpy unmapped(mapper.get(), &PortMapper::unmapped);
        mapper->stop();
        QVERIFY(unmapped.wait(10000));
        QCOMPARE(unmapped.first().at(0).toBool(), true);
        break;
    }
    case Ending::StopNow:
        QVERIFY(mapper->stopNow(5000));
        break;
    case Ending::Destroy:
        mapper.reset();
        break;
    }
    QCOMPARE(router.mappings(), QStringList{});
    mapper.reset();
}

} // namespace

Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(FakeRouter::Setup)

class TestPortMap : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void upnpAddsRenewsAndDeletes_data();
    void upnpAddsRenewsAndDeletes();
    void natpmpMapsRenewsAndDeletes_data();
    void natpmpMapsRenewsAndDeletes();
    void routerAnswers_data();
    void routerAnswers();
    void renewalRefusedUntilLeaseEnds();
    void silentRoutersFail_data();
    void silentRoutersFail();
};

void TestPortMap::initTestCase()
{
    // SSDP goes to a multicast group: anywhere but an isolated namespace it
    // would reach the real network.
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        if (!(i.flags() & QNetworkInterface::IsLoopBack))
            QSKIP("needs a network namespace with only loopback: run through tests/netns_run.sh");
    }
}

void TestPortMap::upnpAddsRenewsAndDeletes_data()
{
    QTest::addColumn<bool>("ssdp");
    QTest::addColumn<Ending>("ending");
    QTest::newRow("found by SSDP, stop") << true << Ending::Stop;
    QTest::newRow("root description given, stopNow") << false << Ending::StopNow;
    QTest::newRow("found by SSDP, destroyed") << true << Ending::Destroy;
}

void TestPortMap::upnpAddsRenewsAndDeletes()
{
    QFETCH(bool, ssdp);
    QFETCH(Ending, ending);
    FakeRouter::Setup setup;
    setup.ssdp = ssdp;
    setup.natpmp = true; // present, but an IGD that answers comes first
    FakeRouter router(setup);
    PortMapConfig config = quickConfig();
    if (!ssdp)
        config.rootDescUrl = router.rootUrl();

    auto mapper = std::make_unique<PortMapper>(config);
    QSignalSpy mapped(mapper.get(), &PortMapper::mapped);
    QSignalSpy failed(mapper.get(), &PortMapper::failed);
    mapper->start(7772);
    QVERIFY(mapped.wait(10000));
    QCOMPARE(mapped.first(), (QVariantList{"203.0.113.7", quint16(7772), "UPnP"}));
    QCOMPARE(router.searches() > 0, ssdp);
    QCOMPARE(router.calls("AddPortMapping"), QList<Args>{addRequest("2")});
    QCOMPARE(router.mappings(), QStringList{"7772/TCP"});

    // Renewed at half the lease, with the same request.
    QTRY_COMPARE_WITH_TIMEOUT(router.calls("AddPortMapping").size(), 2, 10000);
    QCOMPARE(router.calls("AddPortMapping").at(1), addRequest("2"));

    endMapper(mapper, ending, router);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(router.calls("DeletePortMapping"), QList<Args>{DeleteRequest});
    QVERIFY(router.natpmpRequests().isEmpty());
    QCOMPARE(failed.size(), 0);
}

void TestPortMap::natpmpMapsRenewsAndDeletes_data()
{
    QTest::addColumn<quint16>("grantedPort");
    QTest::addColumn<quint32>("grantedLease");
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<bool>("defaultWaits");
    // With the default waits, SSDP must leave NAT-PMP time (here for two
    // lost requests) before the whole attempt gives up.
    QTest::newRow("as asked, two requests lost, default waits, stop") << quint16(0) << quint32(0) << Ending::Stop << true;
    QTest::newRow("other port and shorter lease, stopNow")
        << quint16(17772) << quint32(2) << Ending::StopNow << false;
    QTest::newRow("as asked, destroyed") << quint16(0) << quint32(0) << Ending::Destroy << false;
}

void TestPortMap::natpmpMapsRenewsAndDeletes()
{
    QFETCH(quint16, grantedPort);
    QFETCH(quint32, grantedLease);
    QFETCH(Ending, ending);
    QFETCH(bool, defaultWaits);
    FakeRouter::Setup setup;
    setup.ssdp = false; // no IGD on this network
    setup.natpmp = true;
    setup.natpmpPort = grantedPort;
    setup.natpmpLifetime = grantedLease;
    setup.natpmpDrop = defaultWaits ? 2 : 0;
    FakeRouter router(setup);
    PortMapConfig config = quickConfig();
    if (defaultWaits) {
        const PortMapConfig defaults;
        config.discoveryMs = defaults.discoveryMs;
        config.natpmpMs = defaults.natpmpMs;
        config.answerTimeoutMs = defaults.answerTimeoutMs;
    }
    if (grantedLease)
        config.leaseSeconds = 3600;
    config.requireSamePort = false;
    const quint16 outside = grantedPort ? grantedPort : 7772;

    auto mapper = std::make_unique<PortMapper>(config);
    QSignalSpy mapped(mapper.get(), &PortMapper::mapped);
    QSignalSpy failed(mapper.get(), &PortMapper::failed);
    mapper->start(7772);
    QTRY_VERIFY_WITH_TIMEOUT(mapped.size() + failed.size() > 0, 20000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    QCOMPARE(mapped.first(), (QVariantList{"198.51.100.9", outside, "NAT-PMP"}));
    const quint32 asked = quint32(config.leaseSeconds);
    QCOMPARE(router.natpmpRequests(), (QList<Nat>{{0, 0, 0, 0}, {2, 7772, 7772, asked}}));

    // Renewed at half the lease granted, asking for the outside port granted.
    QTRY_COMPARE_WITH_TIMEOUT(router.natpmpRequests().size(), 3, 10000);
    QCOMPARE(router.natpmpRequests().at(2), (Nat{2, 7772, outside, asked}));

    endMapper(mapper, ending, router);
    if (QTest::currentTestFailed())
        return;
    // Removal: lease 0 and outside port 0.
    QCOMPARE(router.natpmpRequests().size(), 4);
    QCOMPARE(router.natpmpRequests().at(3), (Nat{2, 7772, 0, 0}));
}

void TestPortMap::routerAnswers_data()
{
    QTest::addColumn<FakeRouter::Setup>("setup");
    QTest::addColumn<QString>("outcome"); // "mapped" or a part of the failure reason
    QTest::addColumn<QList<Args>>("adds");
    QTest::addColumn<QStringList>("left");

    FakeRouter::Setup conflict;
    conflict.natpmp = true; // not asked: the IGD that refused is the router
    conflict.addErrors = {718};
    QTest::newRow("IGD refuses: port taken") << conflict << "718 ConflictInMappingEntry"
                                             << QList<Args>{addRequest("2")} << QStringList{};

    FakeRouter::Setup permanent;
    permanent.addErrors = {725};
    QTest::newRow("IGD keeps only leases without expiry")
        << permanent << "mapped" << QList<Args>{addRequest("2"), addRequest("0")} << QStringList{"7772/TCP"};

    FakeRouter::Setup noAddress;
    noAddress.externalAddressError = 501;
    QTest::newRow("IGD will not tell its address") << noAddress << "would not tell its internet address"
                                                   << QList<Args>{addRequest("2")} << QStringList{};

    // Behind a second router or the provider's NAT, the forward is no use.
    FakeRouter::Setup doubleNat;
    doubleNat.externalAddress = QStringLiteral("100.64.12.34");
    QTest::newRow("IGD's own internet address is private") << doubleNat << "is itself a private one"
                                                           << QList<Args>{addRequest("2")} << QStringList{};

    // Players who join always dial 7772: another outside port is no use.
    FakeRouter::Setup otherPort;
    otherPort.ssdp = false;
    otherPort.natpmp = true;
    otherPort.natpmpPort = 17772;
    QTest::newRow("NAT-PMP gateway offers another outside port")
        << otherPort << "only as outside port 17772" << QList<Args>{} << QStringList{};

    FakeRouter::Setup natRefuses;
    natRefuses.ssdp = false;
    natRefuses.natpmp = true;
    natRefuses.natpmpResult = 2;
    QTest::newRow("NAT-PMP gateway refuses") << natRefuses << "not authorized or refused" << QList<Args>{}
                                             << QStringList{};
}

void TestPortMap::routerAnswers()
{
    QFETCH(FakeRouter::Setup, setup);
    QFETCH(QString, outcome);
    QFETCH(QList<Args>, adds);
    QFETCH(QStringList, left);
    FakeRouter router(setup);
    auto mapper = std::make_unique<PortMapper>(quickConfig());
    QSignalSpy mapped(mapper.get(), &PortMapper::mapped);
    QSignalSpy failed(mapper.get(), &PortMapper::failed);
    mapper->start(7772);
    QTRY_VERIFY_WITH_TIMEOUT(mapped.size() + failed.size() > 0, 10000);
    if (outcome == QLatin1String("mapped")) {
        QCOMPARE(mapped.size(), 1);
        QCOMPARE(mapper->isMapped(), true);
    } else {
        QCOMPARE(failed.size(), 1);
        const QString reason = failed.first().at(0).toString();
        QVERIFY2(reason.contains(outcome), qPrintable(reason));
        QCOMPARE(mapper->isMapped(), false);
        if (setup.ssdp) // an IGD answered: NAT-PMP is not asked
            QVERIFY(router.natpmpRequests().isEmpty());
    }
    QCOMPARE(router.calls("AddPortMapping"), adds);
    QTRY_COMPARE_WITH_TIMEOUT(router.mappings(), left, 5000);
}

void TestPortMap::renewalRefusedUntilLeaseEnds()
{
    FakeRouter::Setup setup;
    setup.addErrors = {0, 501, 501, 501, 501, 501, 501, 501, 501};
    FakeRouter router(setup);
    auto mapper = std::make_unique<PortMapper>(quickConfig());
    QSignalSpy mapped(mapper.get(), &PortMapper::mapped);
    QSignalSpy failed(mapper.get(), &PortMapper::failed);
    mapper->start(7772);
    QVERIFY(mapped.wait(10000));
    // Refused renewals are tried again while the lease lasts, then the port
    // counts as lost: said once, and the forward is removed.
    QVERIFY(failed.wait(10000));
    QVERIFY2(failed.first().at(0).toString().contains("keep open"), qPrintable(failed.first().at(0).toString()));
    QVERIFY(router.calls("AddPortMapping").size() >= 3);
    QTRY_COMPARE_WITH_TIMEOUT(router.calls("DeletePortMapping").size(), 1, 5000);
    QCOMPARE(mapper->isMapped(), false);
    QCOMPARE(failed.size(), 1);
}

void TestPortMap::silentRoutersFail_data()
{
    QTest::addColumn<FakeRouter::Setup>("setup");
    QTest::addColumn<bool>("askRoot");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("answerTimeoutMs");

    FakeRouter::Setup nobody;
    nobody.ssdp = false;
    QTest::newRow("no router at all") << nobody << false << "tried UPnP and NAT-PMP" << 6000;
    FakeRouter::Setup silentGateway;
    silentGateway.ssdp = false;
    silentGateway.natpmpSilent = true;
    QTest::newRow("NAT-PMP gateway silent") << silentGateway << false << "tried UPnP and NAT-PMP" << 6000;
    FakeRouter::Setup stuck;
    stuck.httpSilent = true;
    QTest::newRow("IGD takes the request and never answers") << stuck << true << "did not answer within" << 1500;
}

void TestPortMap::silentRoutersFail()
{
    QFETCH(FakeRouter::Setup, setup);
    QFETCH(bool, askRoot);
    QFETCH(QString, reason);
    QFETCH(int, answerTimeoutMs);
    FakeRouter router(setup);
    PortMapConfig config = quickConfig();
    config.answerTimeoutMs = answerTimeoutMs;
    if (askRoot)
        config.rootDescUrl = router.rootUrl();
    auto mapper = std::make_unique<PortMapper>(config);
    QSignalSpy mapped(mapper.get(), &PortMapper::mapped);
    QSignalSpy failed(mapper.get(), &PortMapper::failed);
    mapper->start(7772);
    QVERIFY(mapper->isStarting());
    QVERIFY(failed.wait(10000));
    QVERIFY2(failed.first().at(0).toString().contains(reason), qPrintable(failed.first().at(0).toString()));
    QCOMPARE(mapped.size(), 0);
    QCOMPARE(mapper->isStarting(), false);
    QVERIFY(router.mappings().isEmpty());
}

QTEST_GUILESS_MAIN(TestPortMap)
#include "test_portmap.moc"
