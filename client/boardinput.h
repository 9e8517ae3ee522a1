#pragma once

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

    // The cell under a point of the board (0: none), and a strip's choice
    // under a point (-1: none; 0 the eraser).
    static int columnAt(int x);
    static int rowAt(int y);
    static int stripChoice(int x, int y, int rowHeight, int columnWidth);

private:
    // Closes the choosers for a strip's release; the selected cell when the
    // player may change it, else nullptr.
    BoardCell *stripCell();

    ClientSession &m_s;
};
