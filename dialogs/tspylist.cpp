#include "dialogs/tspylist.h"

Tspylist::Tspylist(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tspylist"));
    setWindowTitle(QStringLiteral("Sudoku - Spys"));
}
