#pragma once

#include <QObject>

class QAction;
class QMenuBar;

// Every item, shortcut and check mark of the main window's menu bar, built in
// one place with their object names. The window connects to the items; the
// few rules of the marks themselves live here.
class Actions : public QObject
{
    Q_OBJECT
public:
    static constexpr int TextSizes[4] = {8, 10, 12, 14};

    // Fills the bar (named "MainMenu1"); the object belongs to the bar.
    explicit Actions(QMenuBar *bar);

    // File
    QAction *startGame = nullptr;
    // Joins anew after a join reached no host; enabled only then.
    QAction *tryAgain = nullptr;
    QAction *exit = nullptr;
    // Options
    QAction *playSounds = nullptr;
    QAction *playChatter = nullptr;
    QAction *classic = nullptr;
    QAction *turnNew = nullptr;
    QAction *clicking = nullptr;
    QAction *typing = nullptr;
    QAction *textColour = nullptr;
    QAction *actionColour = nullptr;
    QAction *sizeItems[4] = {};
    QAction *resetLocation = nullptr;
    QAction *scrollChatOff = nullptr;
    QAction *clearChat = nullptr;
    QAction *justWatch = nullptr;
    // Options: the board's aids, and undo and redo.
    QAction *highlight = nullptr;
    QAction *conflicts = nullptr;
    QAction *pencilCleanup = nullptr;
    QAction *undoRedo = nullptr;
    QAction *undo = nullptr;
    QAction *redo = nullptr;
    // A hosted game asks the home router to forward the game port; on in the form.
    QAction *openRouterPort = nullptr;
    // View
    QAction *viewTally = nullptr;
    QAction *spyList = nullptr;
    QAction *phraseList = nullptr;
    // Help
    QAction *helpContent = nullptr;
    QAction *about = nullptr;

    // Marks the loaded text size (choosing one in the menu moves no mark).
    void markTextSize(int size);
    void markTurnSound(int turnSound);
    void markSelectMode(int selectMode);

signals:
    // A Text Size item was chosen.
    void textSizeChosen(int size);
};
