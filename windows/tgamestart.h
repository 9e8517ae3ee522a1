#pragma once

#include <QDialog>

class QLabel;

// The game options: the hosting player picks the game type and the puzzle's
// difficulty and starts the game.
class Tgamestart : public QDialog
{
    Q_OBJECT
public:
    explicit Tgamestart(QWidget *parent = nullptr);

    // Marks a game type 1-3; anything else leaves none marked.
    void checkit(int code);
    // Marks a puzzle type 1-3; anything else unmarks all and keeps the type.
    void checkpuzzletype(int n);

    // "1" when Score and Show is marked, "3" for First To Complete, else 2.
    int gameTypeCode() const;
    int puzzleType() const { return m_puzzleType; }
    // The game type mark, or 0 when none is marked.
    int markedGameType() const;
    bool puzzleTypeMarked() const;

    void image_1Click(int code);
    void image_puzzletype1Click(int n);
    void button_startClick();

signals:
    // The player pressed start: send the start request with these codes.
    void startRequested(int gameType, int puzzleType);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void redraw();

    QLabel *m_gameMarks[4] = {};
    QLabel *m_puzzleMarks[4] = {};
    int m_gameTag[4] = {};
    char m_puzzleHint[4] = {0, 'n', 'n', 'n'};
    int m_puzzleType = 1;
};
