#pragma once

#include <QByteArray>
#include <QList>

// Every message of the game protocol, built in one place. A message is its
// name, a "+", then its fields; the 0xFF terminator is added by the sender.
namespace Msg {

// Names a client sends to the host.
inline constexpr char logininfo[] = "CMD_logininfo";
inline constexpr char chat[] = "CMD_chat";
inline constexpr char action[] = "CMD_action";
inline constexpr char startgame[] = "CMD_startgame";
inline constexpr char justwatch[] = "CMD_justwatch";
inline constexpr char checkit[] = "CMD_checkit";
inline constexpr char playasound[] = "CMD_playasound";
inline constexpr char kickhim[] = "CMD_kickhim";

// Names the host sends to clients (chat, action, startgame and playasound too).
inline constexpr char sendlogininfo[] = "CMD_sendlogininfo";
inline constexpr char full[] = "CMD_full";
inline constexpr char newplayerinfo[] = "CMD_newplayerinfo";
inline constexpr char existingplayers[] = "CMD_existingplayers";
inline constexpr char havewrongversion[] = "CMD_havewrongversion";
inline constexpr char wrongversion[] = "CMD_wrongversion";
inline constexpr char loadstats[] = "CMD_loadstats";
inline constexpr char theboard[] = "CMD_theboard";
inline constexpr char correct[] = "CMD_correct";
inline constexpr char nextplayer[] = "CMD_nextplayer";
inline constexpr char checkresult[] = "CMD_checkresult";
inline constexpr char highliteit[] = "CMD_highliteit";
inline constexpr char hisscore[] = "CMD_hisscore";
inline constexpr char winner[] = "CMD_winner";
inline constexpr char playerdisconnected[] = "CMD_playerdisconnected";
inline constexpr char justwatching[] = "CMD_justwatching";
inline constexpr char generating[] = "CMD_generating";

// The names each side's dispatcher knows; anything else is dropped.
const QList<QByteArray> &hostNames();
const QList<QByteArray> &clientNames();

// One placed digit, as it travels in cell lists.
struct Cell
{
    int column = 0;
    int row = 0;
    int digit = 0;
};

// "+c+r+d" for each cell, one after another.
QByteArray cellList(const QList<Cell> &cells);

// ---- client to host ----
QByteArray loginInfo(int slot, const QByteArray &version, const QByteArray &name);
// text and colour are joined with "|"
QByteArray chatLine(int slot, const QByteArray &text, const QByteArray &colour);
QByteArray actionLine(int slot, const QByteArray &text, const QByteArray &colour);
QByteArray startGame(const QByteArray &name, int gameType, int puzzleType);
QByteArray justWatch(int slot, int mode);
QByteArray checkIt(int slot, const QList<Cell> &cells);
QByteArray playASound(int slot, int soundNumber);
QByteArray kickHim(int senderSlot, int targetSlot);

// ---- host to clients ----
QByteArray sendLoginInfo(int slot);
QByteArray fullHouse();
QByteArray newPlayerInfo(int slot, const QByteArray &name);
QByteArray existingPlayers(int slot, const QByteArray &name);
QByteArray haveWrongVersion(const QByteArray &name);
QByteArray wrongVersion();
QByteArray loadStats(int gameType, int puzzleType, const int (&seatScores)[4]);
// slot followed directly by a cell list (which brings its own "+")
QByteArray theBoard(int slot, const QByteArray &givensList);
QByteArray correctList(int slot, const QByteArray &groups);
QByteArray startGameRelay(const QByteArray &name, const QByteArray &gameTypeText, int puzzleType);
QByteArray nextPlayer(int slot);
QByteArray checkResult(int slot, int right, int wrong);
QByteArray highliteIt(int slot, const QList<int> &boxes);
QByteArray hisScore(int slot, int score, int bonus);
QByteArray winnerIs(const QByteArray &winnerText);
QByteArray playerDisconnected(int slot, const QByteArray &name);
QByteArray justWatching(int slot, int mode);
QByteArray chatRelay(const QByteArray &name, const QByteArray &rest);
QByteArray actionRelay(const QByteArray &name, const QByteArray &rest);
QByteArray playASoundRelay(int slot, const QByteArray &rest);
QByteArray generatingNotice();

} // namespace Msg
