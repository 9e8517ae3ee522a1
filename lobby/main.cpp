#include "base/commandline.h"
#include "base/gamedefaults.h"
#include "lobby/lobbywindow.h"

#include <QApplication>
#include <QIcon>

namespace {

const char Usage[] =
    "Usage: sudoku-lobby\n"
    "       sudoku-lobby --help | --version\n"
    "\n"
    "The way into a multi-player Sudoku game: asks for your name, then hosts a\n"
    "game or joins one at an address by starting sudoku with its three launch\n"
    "parameters. A started game links back on 127.0.0.1 port 9001.\n"
    "\n"
    "Options, read only when the first argument begins with \"-\":\n"
    "  -h, --help     print this help and exit\n"
    "  -v, --version  print the version and exit\n"
    "Qt's own options (-platform, -display, -style, ...) are accepted too.\n";

} // namespace

int main(int argc, char *argv[])
{
    const int answered = CommandLine::answer(argc, argv, "sudoku-lobby", Game::VersionText, Usage);
    if (answered != CommandLine::Proceed)
        return answered;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sudoku"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.sudokugame.Sudoku.Lobby"));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/io.github.sudokugame.Sudoku.png").arg(size));
    QApplication::setWindowIcon(icon);
    LobbyWindow window;
    window.loadSettings();
    window.listen();
    window.show();
    return QApplication::exec();
}
