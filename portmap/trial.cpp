// Drives PortMapper against a real router by hand (scripts/router-trial.sh):
// asks for the port, prints the answer, waits for a line on standard input,
// then removes the forward with stopNow() and prints whether the router
// confirmed. Usage: portmap_trial [--natpmp-only] [--upnp-only] [PORT]
#include "portmap/portmapper.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    PortMapConfig config;
    quint16 port = 7772;
    const QStringList args = app.arguments().mid(1);
    for (const QString &a : args) {
        if (a == QLatin1String("--natpmp-only"))
            config.tryUpnp = false;
        else if (a == QLatin1String("--upnp-only"))
            config.tryNatpmp = false;
        else
            port = quint16(a.toUInt());
    }
    PortMapper mapper(config);
    int status = 1;
    QObject::connect(&mapper, &PortMapper::mapped, &app,
                     [&](const QString &address, quint16 external, const QString &method) {
                         std::printf("MAPPED %s %u %s\n", qPrintable(address), unsigned(external), qPrintable(method));
                         status = 0;
                         app.quit();
                     });
    QObject::connect(&mapper, &PortMapper::failed, &app, [&](const QString &reason) {
        std::printf("FAILED %s\n", qPrintable(reason));
        app.quit();
    });
    mapper.start(port);
    app.exec();
    std::fflush(stdout);
    if (status != 0)
        return status;
    std::string line;
    std::getline(std::cin, line);
    const bool removed = mapper.stopNow(3000);
    std::printf("STOPPED %s\n", removed ? "removed" : "not confirmed");
    return removed ? 0 : 2;
}
