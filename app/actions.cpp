#include "app/actions.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace {

QAction *item(QMenu *menu, const QString &text, const char *name, bool checkable = false)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    return action;
}

} // namespace

Actions::Actions(QMenuBar *bar) : QObject(bar)
{
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    startGame = item(file, QStringLiteral("Start Game"), "StartGame1");
    startGame->setEnabled(false);
    startGame->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    file->addSeparator();
    tryAgain = item(file, QStringLiteral("Try Again"), "TryAgain1");
    tryAgain->setEnabled(false);
    exit = item(file, QStringLiteral("Exit"), "Exit1");
    exit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));

    QMenu *options = bar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("Options1"));
    playSounds = item(options, QStringLiteral("Play Sounds"), "PlaySounds1", true);
    playSounds->setChecked(true);
    playChatter = item(options, QStringLiteral("Play Chatter Sounds"), "PlayChatterSounds1", true);
    playChatter->setChecked(false);

    QMenu *turn = options->addMenu(QStringLiteral("Turn Sound"));
    turn->setObjectName(QStringLiteral("TurnSound1"));
    auto *turnGroup = new QActionGroup(this);
    classic = item(turn, QStringLiteral("Classic"), "Classic1", true);
    turnNew = item(turn, QStringLiteral("New"), "New1", true);
    turnGroup->addAction(classic);
    turnGroup->addAction(turnNew);
    classic->setChecked(true);

    QMenu *select = options->addMenu(QStringLiteral("Select Numbers By"));
    select->setObjectName(QStringLiteral("checkbox_select"));
    auto *selectGroup = new QActionGroup(this);
    clicking = item(select, QStringLiteral("Clicking"), "Clicking1", true);
    typing = item(select, QStringLiteral("Typing"), "Typing1", true);
    selectGroup->addAction(clicking);
    selectGroup->addAction(typing);
    clicking->setChecked(true);

    options->addSeparator();
    textColour = item(options, QStringLiteral("Text Color"), "TextColor1");
    actionColour = item(options, QStringLiteral("Action Color"), "ActionColor1");
    QMenu *size = options->addMenu(QStringLiteral("Text Size"));
    for (int i = 0; i < 4; ++i) {
        sizeItems[i] = size->addAction(QString::number(TextSizes[i]));
        sizeItems[i]->setObjectName(QStringLiteral("N%1").arg(TextSizes[i]));
        sizeItems[i]->setCheckable(true);
        connect(sizeItems[i], &QAction::triggered, this, [this, i] {
            // Choosing a size does not move the check mark: only loading does.
            sizeItems[i]->setChecked(!sizeItems[i]->isChecked());
            emit textSizeChosen(TextSizes[i]);
        });
    }
    sizeItems[0]->setChecked(true);
    resetLocation = item(options, QStringLiteral("Reset Screen Location"), "ResetScreenLocation1");
    scrollChatOff = item(options, QStringLiteral("Scroll Chat Off"), "ScrollChatOff1", true);
    scrollChatOff->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    clearChat = item(options, QStringLiteral("Clear Main Chat"), "ClearMainChat1");
    options->addSeparator();
    justWatch = item(options, QStringLiteral("Just Watch"), "JustWatch1", true);
    openRouterPort = item(options, QStringLiteral("Open Port On Router"), "OpenPortOnRouter1", true);
    openRouterPort->setChecked(true);

    // The board's aids, each kept in the settings file, on at first.
    options->addSeparator();
    highlight = item(options, QStringLiteral("&Highlight Row, Column and Box"), "Highlight1", true);
    conflicts = item(options, QStringLiteral("Show &Conflicts"), "Conflicts1", true);
    pencilCleanup = item(options, QStringLiteral("&Remove Pencil Marks Automatically"), "PencilCleanup1", true);
    undoRedo = item(options, QStringLiteral("&Allow Undo"), "UndoRedo1", true);
    for (QAction *aid : {highlight, conflicts, pencilCleanup, undoRedo})
        aid->setChecked(true);
    undo = item(options, QStringLiteral("&Undo"), "Undo1");
    undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    redo = item(options, QStringLiteral("R&edo"), "Redo1");
    redo->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
    connect(undoRedo, &QAction::toggled, undo, &QAction::setEnabled);
    connect(undoRedo, &QAction::toggled, redo, &QAction::setEnabled);

    QMenu *view = bar->addMenu(QStringLiteral("&View"));
    viewTally = item(view, QStringLiteral("View Tally"), "ViewTally1");
    spyList = item(view, QStringLiteral("Spy List"), "SpyList1");
    phraseList = item(view, QStringLiteral("Phrase List"), "PrhaseList1");

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    helpContent = item(help, QStringLiteral("Content"), "Help2");
    helpContent->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    about = item(help, QStringLiteral("About"), "About1");

    // F10 opens the menu bar at its first menu.
    if (QWidget *window = bar->parentWidget()) {
        auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
        connect(f10, &QShortcut::activated, bar, [bar] {
            if (!bar->actions().isEmpty())
                bar->setActiveAction(bar->actions().constFirst());
        });
    }
}

void Actions::markTextSize(int size)
{
    for (QAction *action : sizeItems)
        action->setChecked(action->text().toInt() == size);
}

void Actions::markTurnSound(int turnSound)
{
    classic->setChecked(turnSound == 0);
    turnNew->setChecked(turnSound == 1);
}

void Actions::markSelectMode(int selectMode)
{
    clicking->setChecked(selectMode == 0);
    typing->setChecked(selectMode == 1);
}
