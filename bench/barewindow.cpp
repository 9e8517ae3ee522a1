// The yardstick for the start-up benchmark: a bare Qt main window of the game
// window's size with a menu bar, and nothing else.

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare window"));
    window.menuBar()->addMenu(QStringLiteral("&Game"))->addAction(QStringLiteral("&Quit"), &app, &QApplication::quit);
    window.menuBar()->addMenu(QStringLiteral("&Help"));
    window.resize(736, 488);
    window.show();
    return app.exec();
}
