#include "dialogs/tphrases.h"

Tphrases::Tphrases(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tphrases"));
    setWindowTitle(QStringLiteral("Sudoku - Phrase Buttons "));
}
