#include "client/clientsession.h"

#include "client/colortext.h"
#include "net/fieldreader.h"
#include "net/messages.h"
#include "base/wiretext.h"

namespace {

constexpr int ClientTickMs = 1;
constexpr int PhraseLockMs = 2000;

QString seatText(int seat)
{
    return QString::number(seat);
}

} // namespace

ClientSession::ClientSession(QObject *parent) : QObject(parent), m_dispatcher(ClientTickMs, this)
{
    m_turntime.setInterval(1000);
    connect(&m_turntime, &QTimer::timeout, this, &ClientSession::turntimeTimer);
    m_phraseLock.setSingleShot(true);
    m_phraseLock.setInterval(PhraseLockMs);
    m_dispatcher.setErrorSink([this](const QString &text) {
        emit errorText(text);
        emit changed();
    });

    using Handler = void (ClientSession::*)(FieldReader &);
    // A chat line or an action changes nothing but the chat, so those leave
    // the window's labels and board as they are.
    enum Refresh { Window, ChatOnly };
    const auto add = [this](const char *name, Handler handler, Refresh refresh = Window) {
        m_dispatcher.setHandler(name, [this, handler, refresh](const QByteArray &args, int) {
            FieldReader fields(args);
            (this->*handler)(fields);
            if (refresh == Window)
                emit changed();
        });
    };
    add(Msg::sendlogininfo, &ClientSession::sendloginfo);
    add(Msg::chat, &ClientSession::chatrecieved, ChatOnly);
    add(Msg::action, &ClientSession::chatrecieved, ChatOnly);
    add(Msg::newplayerinfo, &ClientSession::newplayerinfo);
    add(Msg::havewrongversion, &ClientSession::havewrongversion);
    add(Msg::wrongversion, &ClientSession::wrongversion);
    add(Msg::existingplayers, &ClientSession::newplayerinfo);
    add(Msg::playerdisconnected, &ClientSession::playerdisconnected);
    add(Msg::startgame, &ClientSession::startthegame);
    add(Msg::nextplayer, &ClientSession::getnextplayer);
    add(Msg::winner, &ClientSession::winner);
    add(Msg::full, &ClientSession::full);
    add(Msg::justwatching, &ClientSession::justwatching);
    add(Msg::theboard, &ClientSession::theboard);
    add(Msg::generating, &ClientSession::generating);
    add(Msg::checkresult, &ClientSession::checkresult);
    add(Msg::highliteit, &ClientSession::highliteit);
    add(Msg::correct, &ClientSession::correct);
    add(Msg::hisscore, &ClientSession::hisscore);
    add(Msg::loadstats, &ClientSession::loadstats);
    add(Msg::playasound, &ClientSession::playasound);

    clearall();
}

// ---- plumbing ----

void ClientSession::received(const QByteArray &bytes)
{
    for (const QByteArray &entry : m_pending.append(bytes))
        m_dispatcher.enqueue(entry);
    // A host that never ends its message, or that sends far more than any
    // game needs, is not a host worth waiting for.
    if (m_pending.overflowed() || m_dispatcher.size() > MaxQueued)
        connectionClosed();
}

void ClientSession::connectionClosed()
{
    emit closeRequested();
}

void ClientSession::addLine(const QString &line, quint32 colour)
{
    emit lineAdded(line, colour);
}

void ClientSession::playsounds(const QString &name)
{
    if (playSounds)
        emit soundRequested(name);
}

void ClientSession::sendMessage(const QByteArray &text)
{
    emit send(text);
}

void ClientSession::startClock()
{
    m_turntime.start();
}

void ClientSession::stopClock()
{
    m_turntime.stop();
}

QString ClientSession::gameTypeText(const QByteArray &gameType) const
{
    if (gameType == "1")
        return QStringLiteral("Score and Show");
    if (gameType == "2")
        return QStringLiteral("Score and Hide");
    return QStringLiteral("First to Complete");
}

void ClientSession::setGameLabels(const QByteArray &gameType, const QByteArray &puzzleType,
                                  const QByteArray &teamFlag)
{
    if (puzzleType == "3")
        labelPuzzletype = QStringLiteral("Hard Puzzle");
    else if (puzzleType == "2")
        labelPuzzletype = QStringLiteral("Medium Puzzle");
    else
        labelPuzzletype = QStringLiteral("Easy Puzzle");
    labelGametype = gameTypeText(gameType);
    labelScore = (gameType == "1" || gameType == "2") ? QStringLiteral("Points")
                                                      : QStringLiteral("Squares Filled");
    labelTeamgame = teamFlag == "t" ? QStringLiteral("TEAM GAME: ON") : QStringLiteral("GOOD LUCK!");
    gameTypeCode = gameType;
}

void ClientSession::updateLeft()
{
    labelLeft = QStringLiteral("Empty Squares: ") + QString::number(81 - filledCount);
}

// ---- roster ----

void ClientSession::sendloginfo(FieldReader &f)
{
    mySeat = f.takeInt();
    loggedIn = true;
    sendMessage(Msg::loginInfo(mySeat, toWire(versionText), toWire(loginName)));
}

void ClientSession::chatrecieved(FieldReader &f)
{
    const QByteArray text = f.rest();
    const qsizetype bar = text.indexOf('|');
    if (bar < 0) {
        addLine(fromWire(text), FallbackColour);
        return;
    }
    const auto colour = colorFromText(QByteArrayView(text.constData() + bar + 1, text.size() - bar - 1));
    addLine(fromWire(text.left(bar)), colour.value_or(FallbackColour));
}

void ClientSession::newplayerinfo(FieldReader &f)
{
    const int seat = f.takeInt();
    const QString name = fromWire(f.rest());
    if ((seat < 1 || seat > SeatCount) && !watcherSlot(seat))
        return; // the host has no such slot
    if (seat == mySeat) {
        // The host may have renamed this player (a name already taken); its
        // name is the one every later comparison and message uses.
        myName = name;
        addLine(QStringLiteral("You are Connected."));
        emit loadSettingsRequested();
    } else {
        addLine(name + QStringLiteral(" is Connected."));
    }
    if (seat >= 1 && seat <= SeatCount) {
        seats[seat].occupied = true;
        seats[seat].name = name;
        seats[seat].nameVisible = true;
    } else {
        // One watcher per slot: a slot announced again replaces its entry.
        const QString prefix = seatText(seat) + QStringLiteral(": ");
        for (qsizetype i = 0; i < spectators.size(); ++i) {
            if (spectators.at(i).startsWith(prefix)) {
                emit spectatorRemoved(spectators.takeAt(i));
                break;
            }
        }
        spectators.append(prefix + name);
        emit spectatorAdded(spectators.last());
        addLine(seat == mySeat ? QStringLiteral("You are spying.") : name + QStringLiteral(" is spying."));
    }
    playsounds(QStringLiteral("entered"));
}

void ClientSession::havewrongversion(FieldReader &f)
{
    addLine(fromWire(f.rest()) + QStringLiteral(" has a different version of the game then you."));
}

void ClientSession::wrongversion(FieldReader &)
{
    addLine(QStringLiteral("You have a differnt version of the game then the host."));
}

void ClientSession::playerdisconnected(FieldReader &f)
{
    const int seat = f.takeInt();
    const QString name = fromWire(f.rest());
    if (seat >= 1 && seat <= SeatCount) {
        if (seats[seat].occupied)
            addLine(seats[seat].name + QStringLiteral(" disconnected."));
        seats[seat].occupied = false;
        seats[seat].name = QStringLiteral("<Waiting>");
        seats[seat].eyes = false;
        return;
    }
    const QString entry = seatText(seat) + QStringLiteral(": ") + name;
    const qsizetype at = spectators.indexOf(entry);
    if (at >= 0) {
        addLine(name + QStringLiteral(" has left."));
        spectators.removeAt(at);
        emit spectatorRemoved(entry);
    }
}

void ClientSession::justwatching(FieldReader &f)
{
    const int seat = f.takeInt();
    if (seat < 1 || seat > SeatCount)
        return;
    const QByteArray flag = f.take();
    if (flag == "1") {
        if (seat == mySeat)
            justWatchChecked = true;
        addLine(seats[seat].name + QStringLiteral(" is just watching"));
        seats[seat].eyes = true;
    } else {
        if (seat == mySeat)
            justWatchChecked = false;
        addLine(seats[seat].name + QStringLiteral(" is now playing again"));
        seats[seat].eyes = false;
    }
}

void ClientSession::full(FieldReader &)
{
    emit messageBox(QStringLiteral("Game is full"), true);
}

void ClientSession::loadstats(FieldReader &f)
{
    const QByteArray gameType = f.take();
    const QByteArray puzzleType = f.take();
    const QByteArray team = f.take();
    for (int seat = 1; seat <= SeatCount; ++seat)
        seats[seat].score = fromWire(f.take());
    setGameLabels(gameType, puzzleType, team);
    gameInProgress = true;
    m_gameToTally = true; // a late joiner's catch-up counts as the start
}

void ClientSession::justWatchClick()
{
    if (!loggedIn || !seated())
        return;
    sendMessage(Msg::justWatch(mySeat, justWatchChecked ? 2 : 1));
}

void ClientSession::seatMenuWatch(int seat, bool watch)
{
    if (!loggedIn || seat < 1 || seat > SeatCount)
        return;
    sendMessage(Msg::justWatch(seat, watch ? 1 : 2));
}

void ClientSession::kicking(int seat)
{
    if (!isHost || !loggedIn)
        return;
    sendMessage(Msg::kickHim(mySeat, seat));
}

ClientSession::SeatMenu ClientSession::seatMenuFor(int seat) const
{
    SeatMenu menu;
    if (seat < 2 || seat > SeatCount)
        return menu;
    menu.remove = menu.setWatch = menu.unsetWatch = isHost;
    if (!seats[seat].occupied)
        menu.remove = false;
    return menu;
}

void ClientSession::startGameClick()
{
    if (loggedIn)
        emit showGameOptions();
    else
        emit messageBox(QStringLiteral("You are not connected"), false);
}

// ---- game flow ----

void ClientSession::clearall()
{
    for (int seat = 1; seat <= SeatCount; ++seat) {
        seats[seat].score = QStringLiteral("0");
        seats[seat].bonus.clear();
    }
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            board.cells[c][r].value = 0;
            board.clearMarks(c, r);
        }
    }
    board.resetFrames();
    m_input.forgetHistory();
}

void ClientSession::startthegame(FieldReader &f)
{
    board.clearSelection();
    board.penaltyTicks = 0;
    hideChoosers();
    labelLeft.clear();
    stopClock();
    clockMode = 0;
    panelGeneratingVisible = false;
    panelPenaltyVisible = false;
    generatingMark = false;
    buttonStartVisible = false;
    showCheckButtons(false);
    justWatchChecked = false;
    panelWinnerVisible = false;

    const QString name = fromWire(f.take());
    const QByteArray gameType = f.take();
    const QByteArray puzzleType = f.take();
    const QByteArray team = f.take();
    setGameLabels(gameType, puzzleType, team);
    const QString kind = gameTypeText(gameType);
    if (team == "t")
        addLine(name + QStringLiteral(" has started a TEAM ") + kind + QStringLiteral(" game."));
    else
        addLine(name + QStringLiteral(" has started a ") + kind + QStringLiteral(" game."));
    gameInProgress = true;
    m_gameToTally = true;
    clearall();
}

void ClientSession::theboard(FieldReader &f)
{
    f.takeInt();
    while (!f.atEnd()) {
        const int c = f.takeInt();
        const int r = f.takeInt();
        const int d = f.takeInt();
        if (!BoardState::onBoard(c) || !BoardState::onBoard(r) || !BoardState::onBoard(d))
            continue;
        board.cells[c][r].value = d + 9;
    }
    // Counted from the board, so a square named twice counts once.
    filledCount = lockedCount();
    updateLeft();
}

void ClientSession::generating(FieldReader &)
{
    generatingMark = true;
    panelGeneratingVisible = true;
    clockMode = 1;
    startClock();
}

void ClientSession::getnextplayer(FieldReader &f)
{
    board.clearSelection();
    editFillVisible = false;
    stopClock();
    clockMode = 0;
    panelGeneratingVisible = false;
    generatingMark = false;

    turnSeat = f.takeInt();
    if (turnSeat < 1 || turnSeat > SeatCount)
        turnSeat = 1;
    if (seats[turnSeat].name == myName) {
        labelStatus = QStringLiteral("Your Turn.");
        playsounds(turnSound == 1 ? QStringLiteral("turnnew") : QStringLiteral("turn"));
    } else {
        labelStatus = QStringLiteral("Play Has Begun.");
        playsounds(QStringLiteral("filled"));
    }
    turnSeconds = 0;
    startClock();
}

void ClientSession::turntimeTimer()
{
    --board.penaltyTicks;
    if (board.penaltyTicks < 1) {
        board.penaltyTicks = 0;
        panelPenaltyVisible = false;
    }
    if (clockMode == 1) {
        if (generatingMark) {
            generatingCounter = generatingCounter % 6 + 1;
            generatingText = QStringLiteral("Generating Puzzle. Please Wait")
                             + QString(generatingCounter, QLatin1Char('.'));
        }
        emit changed();
        return;
    }
    ++turnSeconds;
    if ((turnSeconds >= 1 && turnSeconds <= 10) || turnSeconds == 15 || turnSeconds == 20)
        playsounds(QStringLiteral("time"));
    const int seconds = turnSeconds % 60;
    labelTimer = QStringLiteral("GAME TIME: ") + QString::number(turnSeconds / 60) + QLatin1Char(':')
                 + (seconds < 10 ? QStringLiteral("0") : QString()) + QString::number(seconds);
    emit changed();
}

void ClientSession::checkresult(FieldReader &f)
{
    const int seat = f.takeInt();
    if (seat != mySeat)
        return;
    const int right = f.takeInt();
    const int misplaced = f.takeInt();
    if (right < 0 || misplaced < 0 || right + misplaced > 81)
        return; // no board gives such a result
    labelStatus = QString::number(right) + QStringLiteral(" CORRECT ") + QString::number(misplaced)
                  + QStringLiteral(" MISPLACED");
    playsounds(misplaced > 0 ? QStringLiteral("wrong") : QStringLiteral("right"));
    if (misplaced > 0 && gameTypeCode == "3") {
        board.penaltyTicks = 5;
        panelPenaltyVisible = true;
        hideChoosers();
    }
}

void ClientSession::highliteit(FieldReader &f)
{
    const int seat = f.takeInt();
    if (seat != mySeat)
        return;
    board.resetFrames();
    while (!f.atEnd()) {
        const int b = f.takeInt();
        if (b >= 1 && b <= 9)
            board.boxHighlight[b] = 1;
    }
}

void ClientSession::correct(FieldReader &f)
{
    const int seat = f.takeInt();
    while (!f.atEnd()) {
        const int c = f.takeInt();
        const int r = f.takeInt();
        const int d = f.takeInt();
        const QByteArray flag = f.take();
        if (!BoardState::onBoard(c) || !BoardState::onBoard(r) || !BoardState::onBoard(d))
            continue;
        BoardCell &cell = board.cells[c][r];
        if (flag == "0" && seat == mySeat)
            cell.value = d + 27;
        else if (cell.value > 9)
            cell.value = d + 9;
        else
            cell.value = d + 18;
        // A catch-up names this player, not who placed the digit.
        cell.placedBy = seat == mySeat ? 0 : seat;
        board.clearMarks(c, r);
    }
    // Counted from the board: a square reported again is not filled twice.
    const int count = lockedCount();
    if (count != filledCount) {
        filledCount = count;
        updateLeft();
    }
}

int ClientSession::lockedCount() const
{
    int count = 0;
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            if (board.cells[c][r].value > 9)
                ++count;
        }
    }
    return count;
}

void ClientSession::hisscore(FieldReader &f)
{
    const int seat = f.takeInt();
    const QString total = fromWire(f.take());
    const int change = f.takeInt();
    if (seat < 1 || seat > SeatCount)
        return;
    seats[seat].score = total;
    for (int s = 1; s <= SeatCount; ++s)
        seats[s].bonus.clear();
    seats[seat].bonus = change > 0 ? QStringLiteral("+") + QString::number(change) : QString::number(change);
}

void ClientSession::winner(FieldReader &f)
{
    gameInProgress = false;
    const QString w = fromWire(f.take());
    playsounds(QStringLiteral("gameover"));
    buttonCheckVisible = buttonClearVisible = false;
    imagePencilVisible = imageSelectVisible = editFillVisible = false;
    panelPenaltyVisible = false;
    stopClock();
    const bool mine = seated() && seats[mySeat].name == w;
    winnerText = mine ? QStringLiteral("You have Won the Game!") : w + QStringLiteral(" has Won the Game!");
    addLine(winnerText);
    panelWinnerVisible = true;
    if (isHost)
        buttonStartVisible = true;
    // A winner announced again (a check after the end) or for a game this
    // window never saw start is not another game.
    if (seated() && m_gameToTally)
        emit tallyGame(mine ? QStringLiteral("addtomine") : w);
    m_gameToTally = false;
}

void ClientSession::playasound(FieldReader &f)
{
    const QByteArray seat = f.take();
    const QByteArray clip = f.take();
    if (playChatterSounds) {
        emit soundRequested(QString::fromLatin1(clip));
        return;
    }
    const QStringList &captions = chatterCaptions();
    const int seatNumber = FieldReader::isInt(seat) ? FieldReader::toInt(seat) : 0;
    int wave = 0;
    if (clip.startsWith("wave") && FieldReader::isInt(clip.mid(4)))
        wave = FieldReader::toInt(clip.mid(4));
    if (seatNumber < 1 || seatNumber > SeatCount || wave < 1 || wave > 20)
        return;
    addLine(seats[seatNumber].name + QStringLiteral(": <Chatter Sound> ") + captions.at(wave));
}

const QStringList &ClientSession::chatterCaptions()
{
    static const QStringList captions = {
        QStringLiteral("<Cancel>"),       QStringLiteral("Doh"),
        QStringLiteral("Cough"),          QStringLiteral("Hello"),
        QStringLiteral("Thank You"),      QStringLiteral("Where have you been?"),
        QStringLiteral("Snoring"),        QStringLiteral("Sneezing"),
        QStringLiteral("Sorry"),          QStringLiteral("Welcome"),
        QStringLiteral("Yeehaa"),         QStringLiteral("Yippee"),
        QStringLiteral("Oh No"),          QStringLiteral("Applause"),
        QStringLiteral("Honk"),           QStringLiteral("Oooh"),
        QStringLiteral("Razzberry"),      QStringLiteral("Cheer"),
        QStringLiteral("Woman Laughing"), QStringLiteral("Man Laughing"),
        QStringLiteral("Crying")};
    return captions;
}

// ---- chat ----

bool ClientSession::sendit(const QString &text, quint32 textColour, quint32 actionColour)
{
    if (!loggedIn)
        return false;
    if (text.isEmpty())
        return true;
    const QString line = text.left(MaxChatInput);
    if (!line.startsWith(QLatin1Char('/'))) {
        sendMessage(Msg::chatLine(mySeat, toWire(line), toWire(colorToText(textColour))));
    } else if (line.startsWith(QLatin1String("/me"))) {
        sendMessage(Msg::actionLine(mySeat, toWire(line.mid(4)), toWire(colorToText(actionColour))));
    }
    return true;
}

void ClientSession::sendPhrase(const QString &phrase, quint32 actionColour)
{
    if (m_phraseLock.isActive())
        return;
    const QByteArray colour = toWire(colorToText(actionColour));
    if (!phrase.startsWith(QLatin1String("/me ")))
        sendMessage(Msg::actionLine(mySeat, "says: " + toWire(phrase), colour));
    else
        sendMessage(Msg::actionLine(mySeat, toWire(phrase.mid(4)), colour));
    m_phraseLock.start();
}

void ClientSession::sendChatterSound(int number)
{
    if (number < 1 || number > 20)
        return;
    if (seated() && loggedIn)
        sendMessage(Msg::playASound(mySeat, number));
}
