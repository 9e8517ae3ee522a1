#include "net/messages.h"

namespace Msg {

namespace {

QByteArray num(int n)
{
    return QByteArray::number(n);
}

QByteArray head(const char *name)
{
    return QByteArray(name) + '+';
}

} // namespace

const QList<QByteArray> &hostNames()
{
    static const QList<QByteArray> names = {logininfo, chat,     action,     startgame,
                                            justwatch, checkit,  playasound, kickhim};
    return names;
}

const QList<QByteArray> &clientNames()
{
    static const QList<QByteArray> names = {
        sendlogininfo, full,       newplayerinfo, existingplayers, havewrongversion,
        wrongversion,  loadstats,  theboard,      correct,         startgame,
        nextplayer,    checkresult, highliteit,   hisscore,        winner,
        playerdisconnected, justwatching, chat,   action,          playasound,
        generating};
    return names;
}

QByteArray cellList(const QList<Cell> &cells)
{
    QByteArray out;
    for (const Cell &c : cells)
        out += '+' + num(c.column) + '+' + num(c.row) + '+' + num(c.digit);
    return out;
}

QByteArray loginInfo(int slot, const QByteArray &version, const QByteArray &name)
{
    return head(logininfo) + num(slot) + '+' + version + '+' + name;
}

QByteArray chatLine(int slot, const QByteArray &text, const QByteArray &colour)
{
    return head(chat) + num(slot) + '+' + text + '|' + colour;
}

QByteArray actionLine(int slot, const QByteArray &text, const QByteArray &colour)
{
    return head(action) + num(slot) + '+' + text + '|' + colour;
}

QByteArray startGame(const QByteArray &name, int gameType, int puzzleType)
{
    return startGameRelay(name, num(gameType), puzzleType);
}

QByteArray justWatch(int slot, int mode)
{
    return head(justwatch) + num(slot) + '+' + num(mode);
}

QByteArray checkIt(int slot, const QList<Cell> &cells)
{
    return head(checkit) + num(slot) + cellList(cells);
}

QByteArray playASound(int slot, int soundNumber)
{
    return head(playasound) + num(slot) + "+wave" + num(soundNumber) + '+';
}

QByteArray kickHim(int senderSlot, int targetSlot)
{
    return head(kickhim) + num(senderSlot) + '+' + num(targetSlot) + '+';
}

QByteArray sendLoginInfo(int slot)
{
    return head(sendlogininfo) + num(slot);
}

QByteArray fullHouse()
{
    return head(full);
}

QByteArray newPlayerInfo(int slot, const QByteArray &name)
{
    return head(newplayerinfo) + num(slot) + '+' + name;
}

QByteArray existingPlayers(int slot, const QByteArray &name)
{
    return head(existingplayers) + num(slot) + '+' + name;
}

QByteArray haveWrongVersion(const QByteArray &name)
{
    return head(havewrongversion) + name;
}

QByteArray wrongVersion()
{
    return head(wrongversion);
}

QByteArray loadStats(int gameType, int puzzleType, const int (&seatScores)[4])
{
    QByteArray out = head(loadstats) + num(gameType) + '+' + num(puzzleType) + "++";
    for (int score : seatScores)
        out += num(score) + '+';
    return out;
}

QByteArray theBoard(int slot, const QByteArray &givensList)
{
    return head(theboard) + num(slot) + givensList;
}

QByteArray correctList(int slot, const QByteArray &groups)
{
    return head(correct) + num(slot) + groups;
}

QByteArray startGameRelay(const QByteArray &name, const QByteArray &gameTypeText, int puzzleType)
{
    return head(startgame) + name + '+' + gameTypeText + '+' + num(puzzleType) + '+';
}

QByteArray nextPlayer(int slot)
{
    return head(nextplayer) + num(slot) + '+';
}

QByteArray checkResult(int slot, int right, int wrong)
{
    return head(checkresult) + num(slot) + '+' + num(right) + '+' + num(wrong) + '+';
}

QByteArray highliteIt(int slot, const QList<int> &boxes)
{
    QByteArray out = head(highliteit) + num(slot);
    for (int b : boxes)
        out += '+' + num(b);
    return out;
}

QByteArray hisScore(int slot, int score, int bonus)
{
    return head(hisscore) + num(slot) + '+' + num(score) + '+' + num(bonus) + '+';
}

QByteArray winnerIs(const QByteArray &winnerText)
{
    return head(winner) + winnerText + '+';
}

QByteArray playerDisconnected(int slot, const QByteArray &name)
{
    return head(playerdisconnected) + num(slot) + '+' + name;
}

QByteArray justWatching(int slot, int mode)
{
    return head(justwatching) + num(slot) + '+' + num(mode);
}

QByteArray chatRelay(const QByteArray &name, const QByteArray &rest)
{
    return head(chat) + name + " chats: " + rest;
}

QByteArray actionRelay(const QByteArray &name, const QByteArray &rest)
{
    return head(action) + name + ' ' + rest;
}

QByteArray playASoundRelay(int slot, const QByteArray &rest)
{
    return head(playasound) + num(slot) + '+' + rest;
}

QByteArray generatingNotice()
{
    return head(generating);
}

} // namespace Msg
