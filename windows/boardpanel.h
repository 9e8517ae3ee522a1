#pragma once

#include "client/boardstate.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class BoardView;
class ClientSession;
class StripView;

// The board panel ("panel_board"): the grid with its number and pencil
// strips and typing box, the generating, winner and penalty panels over it,
// the four seats with their scores, bonuses and eyes, the game labels and the
// Start, Check and Clear buttons, and the seat menu. It shows the session's
// state and passes clicks on to it.
class BoardPanel : public QWidget
{
    Q_OBJECT
public:
    BoardPanel(ClientSession &session, QWidget *parent);

    // Shows the session's seats, labels, buttons and panels.
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildGrid();
    void buildSeats();
    void buildLabelsAndButtons();
    void buildOverlays();
    // Decodes the penalty's picture the first time a penalty shows.
    void showPenaltyPicture();
    void seatContextMenu(int seat, const QPoint &globalPos);

    ClientSession &m_session;
    QWidget *m_panelGrid = nullptr;
    BoardView *m_board = nullptr;
    StripView *m_imageSelect = nullptr;
    StripView *m_imagePencil = nullptr;
    QLineEdit *m_editFill = nullptr;
    QLabel *m_playerName[5] = {};
    QLabel *m_score[5] = {};
    QLabel *m_bonus[5] = {};
    QLabel *m_eyes[5] = {};
    QLabel *m_labelStatus = nullptr;
    QLabel *m_labelLeft = nullptr;
    QLabel *m_labelTimer = nullptr;
    QLabel *m_labelGametype = nullptr;
    QLabel *m_labelPuzzletype = nullptr;
    QLabel *m_labelTeamgame = nullptr;
    QLabel *m_labelScore = nullptr;
    QWidget *m_buttonStart = nullptr;
    QWidget *m_buttonCheck = nullptr;
    QWidget *m_buttonClear = nullptr;
    QWidget *m_panelGenerating = nullptr;
    QLabel *m_labelGenerating[2] = {};
    QWidget *m_panelWinner = nullptr;
    QLabel *m_labelWinner[2] = {};
    QWidget *m_panelPenalty = nullptr;
    QLabel *m_imagePenalty = nullptr;
    bool m_penaltyPictureRead = false;
    // The board as last painted: a refresh that leaves it as it was (a chat
    // line, a clock tick) does not paint the board again.
    BoardState m_shownBoard;
    bool m_boardShown = false;
    int m_shownAids = 0;
    QMenu *m_popupKick = nullptr;
    QAction *m_kickRemove = nullptr;
    QAction *m_kickSet = nullptr;
    QAction *m_kickUnset = nullptr;
    int m_kickTarget = 0;
    bool m_wasInGame = false;
};
