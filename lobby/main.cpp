#include "lobby/lobbywindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sudoku"));
    LobbyWindow window;
    window.loadSettings();
    window.listen();
    window.show();
    return QApplication::exec();
}
