#include "app/appfolders.h"
#include "app/modules.h"
#include "app/singleinstance.h"
#include "app/soundplayer.h"
#include "base/commandline.h"
#include "base/gamedefaults.h"
#include "client/hostlink.h"
#include "host/hostthread.h"
#include "host/puzzlestore.h"
#include "host/tserver.h"
#include "net/tsock.h"
#include "portmap/portmapper.h"
#include "windows/tchat.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char Usage[] =
    "Usage: sudoku [NAME ADDRESS ROLE]\n"
    "       sudoku --help | --version\n"
    "\n"
    "A Sudoku for up to four players at once. Without parameters it starts a\n"
    "solo game. The lobby (sudoku-lobby) starts it with three parameters:\n"
    "  NAME     the player's name\n"
    "  ADDRESS  the host's address, used when joining\n"
    "  ROLE     \"true\": host the game on TCP port 7772; anything else: join\n"
    "           the host at ADDRESS\n"
    "\n"
    "Options, read only when the first argument begins with \"-\":\n"
    "  -h, --help     print this help and exit\n"
    "  -v, --version  print the version and exit\n"
    "Qt's own options (-platform, -display, -style, ...) are accepted too.\n";

// Plays through the sound module, loaded with the first sound asked for, so
// that Qt Multimedia and the sound server's libraries are not loaded at start.
// Without the module the game is silent.
class DeferredSound : public SoundOutput
{
public:
    void play(const QString &clipName) override
    {
        if (!std::exchange(m_tried, true))
            m_player.reset(load());
        if (m_player)
            m_player->play(clipName);
    }

private:
    static SoundOutput *load()
    {
        using Create = SoundOutput *(*)();
        const ModuleEntry entry =
            findModuleEntry(QStringLiteral("sudoku-sound"), "sudoku_create_sound_player");
        if (entry.function)
            return reinterpret_cast<Create>(entry.function)();
        std::fprintf(stderr, "sudoku: no sound: %s\n", qPrintable(entry.error));
        return nullptr;
    }

    bool m_tried = false;
    std::unique_ptr<SoundOutput> m_player;
};

// Runs a function once, just after the window is first drawn on screen.
class OnFirstExpose : public QObject
{
public:
    OnFirstExpose(QWindow *window, std::function<void()> run) : QObject(window), m_run(std::move(run))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, watched, std::move(m_run));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> m_run;
};

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP close the main window as its close box does, so
// the tally and the settings are written as at any other exit; a host is not
// asked whether to end the game for the others.
void closeOnSignals(Tchat *window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char byte;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        window->closeWithoutAsking();
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
    const int answered = CommandLine::answer(argc, argv, "sudoku", Game::VersionText, Usage);
    if (answered != CommandLine::Proceed)
        return answered;

    // Qt's own event loop rather than GLib's, in every thread: nothing in the
    // game needs GLib's, and Qt's polls and wakes for less (a busy chat costs
    // about a seventh less). A QT_NO_GLIB already set is left as it is.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sudoku"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.sudokugame.Sudoku"));
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance(QStringLiteral("kivnerb"));
    if (!instance.claim())
        return 0;
    // Only now, with no other copy of the game saving into the same folder.
    removeLeftoverSaveFiles(settingsFolder());
    if (tallyFolder() != settingsFolder())
        removeLeftoverSaveFiles(tallyFolder());

    PuzzleStore puzzles;
    if (!puzzles.loadResource()) {
        std::fprintf(stderr, "sudoku: the puzzle lists are damaged: %s\n", qPrintable(puzzles.errorString()));
        return 1;
    }

    // Only the main window is shown at start; the others are built on first use.
    Tchat chat;
    // The host runs in a thread of its own, so the window's work never delays a check.
    HostThread host;
    TServer &server = host.server();
    server.setPuzzleStore(&puzzles);
    server.setListenerFactory([](QObject *parent) { return new TSockListener(parent); });
    host.start();

    DeferredSound sounds;
    chat.setSoundOutput(&sounds);
    Tchat::Windows windows;
    windows.server = &server;
    chat.setWindows(windows, Tchat::Missing::BuildOnFirstUse);
    chat.setLaunchParameters(app.arguments().mid(1, 3));
    // A hosted game asks the home router to forward the game port (Options >
    // Open Port On Router); a solo game never does.
    chat.link().portMapperFactory = [](QObject *parent) { return new PortMapper(parent); };

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
    // The window icon follows the window onto the screen: reading its eight
    // sizes (and the image format plugins Qt asks about each file) took
    // longer than building the whole main window, and a window manager takes
    // an icon set after mapping as readily as one set before. A timer started
    // here would still run before the window is mapped, as Qt sends its
    // requests to the X server only when the event loop next waits.
    new OnFirstExpose(chat.windowHandle(), [] {
        QIcon icon;
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            icon.addFile(QStringLiteral(":/icons/%1x%1/io.github.sudokugame.Sudoku.png").arg(size));
        QApplication::setWindowIcon(icon);
    });
    return app.exec();
}
