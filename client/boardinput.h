#pragma once

#include "client/boardaids.h"

#include <Qt>

struct BoardCell;
class ClientSession;
class QString;

// The board input rules of a session: clicks on the grid open the number
// strip, the pencil strip or the typing box at the cell; a release on a strip
// or a digit typed fills or marks the selected cell; the arrows move the
// selection; Clear and Check. While the penalty picture hides the grid, none
// of it takes effect, and a watcher changes nothing.
class BoardInput
{
public:
    explicit BoardInput(ClientSession &session);

    void boardMouseUp(Qt::MouseButton button, int x, int y);
    void image_selectMouseUp(int x, int y);
    void image_pencilMouseUp(int x, int y);
    void edit_fillChange(const QString &text);
    void button_clearClick();
    void button_checkClick();
    // 0 Clicking, 1 Typing.
    void setSelectMode(int mode);
    // Keyboard play on the selected cell: a digit (0 erases) or the arrows.
    void typeDigit(int digit);
    void moveSelection(int dColumn, int dRow);
    // Toggles pencil mark 1-9 of the selected empty cell.
    void togglePencil(int mark);
    // Opens the chooser of the mode at the selected cell, as a click there.
    void openChooser();
    // Closes an open strip or typing box; false when none was open.
    bool closeChoosers();
    // Return on the board: the Check button, when it is shown.
    void checkKey();
    // A key on the board; false when it is not the board's. The digit is
    // the one the key carries (-1 none), whatever the layout's shift does.
    bool keyPress(int key, Qt::KeyboardModifiers modifiers, int digit, const QString &text);
    // The digit 0-9 of a key, also for a shifted digit key (-1 none).
    // scanCode is the key's X key code, 0 when unknown.
    static int digitOfKey(int key, quint32 scanCode);

    // The aids, each switched in the Options menu.
    struct Aids
    {
        bool highlight = true;
        bool conflicts = true;
        bool pencilCleanup = true;
        bool undo = true;
    };
    Aids aids;
    // Undo and redo of unchecked entries and pencil marks since the last check.
    void undo();
    void redo();
    const BoardHistory &history() const { return m_history; }
    // A new game: nothing from the last one can be undone.
    void forgetHistory() { m_history.clear(); }

    // The cell under a point of the board (0: none), and a strip's choice
    // under a point (-1: none; 0 the eraser).
    static int columnAt(int x);
    static int rowAt(int y);
    static int stripChoice(int x, int y, int rowHeight, int columnWidth);

private:
    // Closes the choosers for a strip's release; the selected cell when the
    // player may change it, else nullptr.
    BoardCell *stripCell();
    // Puts a digit (0 erases) into the selected cell, with the pencil clean-up.
    void enterDigit(BoardCell &cell, int digit);
    bool mayPlay() const;

    ClientSession &m_s;
    BoardHistory m_history;
    int m_lastColumn = 1;
    int m_lastRow = 1;
};
