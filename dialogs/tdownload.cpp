#include "dialogs/tdownload.h"

Tdownload::Tdownload(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tdownload"));
    setWindowTitle(QStringLiteral("Download The Brenvik Lobby"));
}
