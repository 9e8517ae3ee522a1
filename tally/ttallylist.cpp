#include "tally/ttallylist.h"

Ttallylist::Ttallylist(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Ttallylist"));
    setWindowTitle(QStringLiteral("Sudoku  - Tally List"));
}

void Ttallylist::addgame(const QString &winner)
{
    Q_UNUSED(winner);
}

void Ttallylist::loadchecklist(const QStringList &names)
{
    Q_UNUSED(names);
}
