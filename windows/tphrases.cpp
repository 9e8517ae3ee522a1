#include "windows/tphrases.h"

#include "app/settings.h"
#include "ui/widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdio>

Tphrases::Tphrases(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tphrases"));
    setWindowTitle(QStringLiteral("Sudoku - Phrase Buttons "));
    setFixedSize(368, 263);
    setFont(Widgets::arial(13));
    Widgets::applyTiledBackground(this);

    const int labelY[9] = {13, 37, 61, 85, 109, 132, 156, 180, 204};
    const int editY[9] = {12, 36, 60, 84, 108, 131, 155, 179, 203};
    for (int n = 1; n <= 9; ++n) {
        auto *label = new QLabel(QStringLiteral("Phrase Button %1:").arg(n), this);
        label->setFont(Widgets::arial(13));
        label->move(9, labelY[n - 1]);
        label->adjustSize();
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("phrase%1").arg(n));
        edit->setGeometry(112, editY[n - 1], 248, 21);
        edit->setMaxLength(MaxPhraseLength);
        label->setBuddy(edit); // the edit is named after its label
        m_edits[n - 1] = edit;
    }
    auto *note = new QLabel(QStringLiteral("Buttons can only be used once every 2 seconds"), this);
    note->setGeometry(25, 229, 137, 25);
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    note->setFont(Widgets::arial(10));
    auto *done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("button_done"));
    done->setGeometry(266, 230, 95, 20);
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &Tphrases::button_doneClick);
}

void Tphrases::showPhrases(const QStringList &phrases)
{
    for (int n = 0; n < 9; ++n)
        m_edits[n]->setText(phrases.value(n));
    show();
    raise();
    activateWindow();
}

QStringList Tphrases::phrases() const
{
    QStringList list;
    for (const QLineEdit *edit : m_edits)
        list.append(edit->text());
    return list;
}

void Tphrases::button_doneClick()
{
    const QStringList list = phrases();
    emit phrasesApplied(list);
    Settings::Phrases stored;
    for (int n = 0; n < 9; ++n)
        stored[size_t(n)] = list.at(n);
    if (!settingsPath.isEmpty() && !Settings::savePhrases(settingsPath, stored))
        std::fprintf(stderr, "sudoku: could not save the phrases to %s\n", qPrintable(settingsPath));
    hide();
}
