#include "app/appfolders.h"
#include "app/singleinstance.h"
#include "app/soundplayer.h"
#include "windows/tchat.h"
#include "windows/tabout.h"
#include "windows/tdownload.h"
#include "windows/tgamestart.h"
#include "windows/thelp.h"
#include "windows/tphrases.h"
#include "windows/tspylist.h"
#include "host/puzzlestore.h"
#include "host/tserver.h"
#include "net/tsock.h"
#include "windows/ttallylist.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP close the main window as its close box does, so
// the tally and the settings are written as at any other exit.
void closeOnSignals(QWidget *window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        window->close();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sudoku"));
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(QStringLiteral("kivnerb"));
    if (!instance.claim())
        return 0;
    // Only now, with no other copy of the game saving into the same folder.
    removeLeftoverSaveFiles(settingsFolder());

    PuzzleStore puzzles;
    if (!puzzles.loadResource()) {
        std::fprintf(stderr, "sudoku: the puzzle lists are damaged: %s\n", qPrintable(puzzles.errorString()));
        return 1;
    }

    // The windows, in their order; only the main window is shown.
    Tchat chat;
    Ttallylist tally;
    Tabout about;
    Tdownload download;
    Tgamestart gamestart;
    Thelp help;
    Tphrases phrases;
    TServer server;
    Tspylist spylist;
    server.setPuzzleStore(&puzzles);
    server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
    help.setAboutBox(&about);

    SoundPlayer sounds;
    chat.setSoundOutput(&sounds);
    chat.setWindows({&tally, &about, &download, &gamestart, &help, &phrases, &server, &spylist});
    chat.setLaunchParameters(app.arguments().mid(1, 3));

    QObject::connect(&instance, &SingleInstance::raiseRequested, &chat, [&chat] {
        if (chat.isMinimized())
            chat.showNormal();
        chat.raise();
        chat.activateWindow();
    });
    closeOnSignals(&chat);
    // Closing the main window ends the program, whatever else is open.
    QObject::connect(&chat, &Tchat::closed, &app, &QApplication::quit, Qt::QueuedConnection);

    chat.show();
    return app.exec();
}
