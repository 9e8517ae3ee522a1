#include "dialogs/tabout.h"

#include <QLabel>
#include <QVBoxLayout>

Tabout::Tabout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tabout"));
    setWindowTitle(QStringLiteral("Sudoku - About"));
    auto *layout = new QVBoxLayout(this);
    m_version = new QLabel(QStringLiteral("1.0.2"), this);
    m_version->setObjectName(QStringLiteral("label_version"));
    layout->addWidget(m_version);
}

QString Tabout::versionText() const
{
    return m_version->text();
}
