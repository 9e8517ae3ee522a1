#pragma once

#include <QDialog>
#include <QStringList>

class QLineEdit;

// The phrase editor: the nine phrase buttons' texts, edited and stored.
class Tphrases : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MaxPhraseLength = 50;

    explicit Tphrases(QWidget *parent = nullptr);

    // Shows the editor with the buttons' current phrases.
    void showPhrases(const QStringList &phrases);
    QStringList phrases() const;
    QString settingsPath;

    void button_doneClick();

signals:
    // "Done": the buttons take these phrases at once.
    void phrasesApplied(const QStringList &phrases);

private:
    QLineEdit *m_edits[9] = {};
};
