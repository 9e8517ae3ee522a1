#include "dialogs/thelp.h"

Thelp::Thelp(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Thelp"));
    setWindowTitle(QStringLiteral("Sudoku - Help File"));
}
