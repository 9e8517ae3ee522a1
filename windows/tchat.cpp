#include "windows/tchat.h"

#include "app/actions.h"
#include "app/appfolders.h"
#include "app/settings.h"
#include "windows/accessiblecaption.h"
#include "windows/boardpanel.h"
#include "windows/chatpanel.h"
#include "windows/chatview.h"
#include "client/colortext.h"
#include "client/hostlink.h"
#include "app/soundplayer.h"
#include "windows/tabout.h"
#include "windows/tgamestart.h"
#include "windows/thelp.h"
#include "windows/tphrases.h"
#include "windows/tspylist.h"
#include "windows/tdownload.h"
#include "host/tserver.h"
#include "net/messages.h"
#include "windows/ttallylist.h"
#include "ui/widgets.h"
#include "base/gamedefaults.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QLabel>
#include <QWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>

#include <cstdio>
#include <utility>

namespace {

// Names for screen readers where a control's own text does not say what it
// is, or it has none: pictures, the seats' numbers and the status lines.
void nameControls(QWidget *window)
{
    const auto label = [window](const QString &name) { return window->findChild<QLabel *>(name); };
    const auto widget = [window](const QString &name) { return window->findChild<QWidget *>(name); };
    label(QStringLiteral("Image1"))->setAccessibleName(QStringLiteral("Grid"));
    label(QStringLiteral("image_penalty"))->setAccessibleName(QStringLiteral("Penalty: the board is hidden"));
    for (int seat = 1; seat <= ClientSession::SeatCount; ++seat) {
        const QString n = QString::number(seat);
        AccessibleCaption::set(label(QStringLiteral("label_playername") + n), QStringLiteral("Seat ") + n);
        AccessibleCaption::set(label(QStringLiteral("label_score") + n), QStringLiteral("Seat %1 score").arg(n));
        AccessibleCaption::set(label(QStringLiteral("label_bonus") + n), QStringLiteral("Seat %1 bonus").arg(n));
        label(QStringLiteral("image_eyes") + n)->setAccessibleName(QStringLiteral("Seat %1 is just watching").arg(n));
    }
    AccessibleCaption::set(label(QStringLiteral("label_status")), QStringLiteral("Status"));
    AccessibleCaption::set(label(QStringLiteral("label_timer")), QStringLiteral("Clock"));
    widget(QStringLiteral("edit_fill"))->setAccessibleName(QStringLiteral("Digit for the selected cell"));
    widget(QStringLiteral("mainchat"))->setAccessibleName(QStringLiteral("Chat"));
    widget(QStringLiteral("mychat"))->setAccessibleName(QStringLiteral("Chat input"));
}

} // namespace

Tchat::Tchat(QWidget *parent) : QMainWindow(parent)
{
    // FormCreate
    setObjectName(QStringLiteral("Tchat"));
    setWindowTitle(QStringLiteral("Sudoku"));
    setFont(Widgets::arial(13));
    settingsPath = settingsFilePath();

    auto *central = new QWidget(this);
    central->setAutoFillBackground(true);
    // Colours of the board's own, whatever the desktop's palette: every label
    // and panel without a colour of its own reads black on white, so a dark
    // desktop theme cannot draw white names on the white board.
    QPalette pal = central->palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::AlternateBase})
        pal.setColor(role, Qt::white);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(role, Qt::black);
    pal.setColor(QPalette::PlaceholderText, Qt::darkGray);
    central->setPalette(pal);
    central->setMinimumSize(ClientWidth, ClientHeight);
    setCentralWidget(central);

    m_actions = new Actions(menuBar());
    m_board = new BoardPanel(m_session, central);
    m_board->setGeometry(0, 0, ClientWidth, ClientHeight);
    m_chat = new ChatPanel(m_session, m_board, this);
    nameControls(this);
    connectActions();

    m_link = new HostLink(m_session, this);
    connect(m_link, &HostLink::changed, this, &Tchat::refresh);
    connect(m_link, &HostLink::errorText, this, &Tchat::showError);
    connect(m_link, &HostLink::lineAdded, this,
            [this](const QString &line, quint32 colour) { m_chat->view()->addlinetochat(line, colour); });
    connect(m_link, &HostLink::soloStarted, this, [this] {
        if (Tdownload *download = window(&Windows::download)) {
            download->setSettingsPath(settingsPath);
            download->offer();
        }
    });
    // The lobby beside the game reads the router's address from the shared
    // settings file.
    connect(m_link, &HostLink::internetAddressChanged, this, [this](const QString &address) {
        if (Settings::readText(settingsPath, Settings::InternetAddressKey) != address)
            Settings::writeText(settingsPath, Settings::InternetAddressKey, address);
    });
    connect(m_link, &HostLink::hostingStarted, this, [this] {
        m_spectatorsRemovable = true;
        if (m_windows.spylist)
            m_windows.spylist->setRemoveEnabled(true);
    });
    connect(m_link, &HostLink::joinFailedChanged, m_actions->tryAgain, &QAction::setEnabled);
    connect(m_actions->tryAgain, &QAction::triggered, m_link, &HostLink::tryAgain);
    connect(m_link, &HostLink::hostClosed, this, [this] {
        if (!m_closeAfterMessage)
            closeWithoutAsking();
    });
    // The joiner reads why the game ended before the window goes.
    connect(m_link, &HostLink::hostGone, this, [this](const QString &text) {
        if (!m_closeAfterMessage)
            showMessage(text, true);
    });

    connect(&m_session, &ClientSession::changed, this, &Tchat::refresh);
    connect(&m_session, &ClientSession::lineAdded, this,
            [this](const QString &line, quint32 colour) { m_chat->view()->addlinetochat(line, colour); });
    connect(&m_session, &ClientSession::soundRequested, this, [this](const QString &name) {
        if (m_sound)
            m_sound->play(name);
    });
    connect(&m_session, &ClientSession::messageBox, this, &Tchat::showMessage);
    connect(&m_session, &ClientSession::closeRequested, this, &Tchat::closeWithoutAsking);
    connect(&m_session, &ClientSession::loadSettingsRequested, this, &Tchat::loadinifile);
    connect(&m_session, &ClientSession::saveSettingsRequested, this, &Tchat::saveinifile);
    connect(&m_session, &ClientSession::errorText, this, &Tchat::showError);
    connect(&m_session, &ClientSession::showGameOptions, this, [this] {
        if (Tgamestart *gamestart = window(&Windows::gamestart)) {
            gamestart->show();
            gamestart->raise();
            gamestart->activateWindow();
        }
    });
    connect(&m_session, &ClientSession::tallyGame, this, [this](const QString &w) {
        if (Ttallylist *tally = window(&Windows::tally))
            tally->addgame(w);
    });
    // The spectators' list is kept from the first spectator on, shown or not.
    connect(&m_session, &ClientSession::spectatorAdded, this, [this](const QString &entry) {
        if (Tspylist *spylist = window(&Windows::spylist))
            spylist->addEntry(entry);
    });
    connect(&m_session, &ClientSession::spectatorRemoved, this, [this](const QString &entry) {
        if (m_windows.spylist)
            m_windows.spylist->removeEntry(entry);
    });

    m_session.clearall();
    move(2, 6);
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    refresh();
    m_synced = windowSettings();
}

Tchat::~Tchat() = default;

template <typename W>
W *Tchat::window(W *Windows::*slot)
{
    W *&built = m_windows.*slot;
    if (!built && m_missing == Missing::BuildOnFirstUse) {
        built = new W;
        m_built.emplace_back(built);
        connectWindow(built);
    }
    return built;
}

void Tchat::setWindows(const Windows &windows, Missing missing)
{
    m_windows = windows;
    m_missing = missing;
    // The version is the about box's; one built on first use shows the program's own.
    const bool versioned = m_windows.about || missing == Missing::BuildOnFirstUse;
    if (versioned) {
        m_session.setVersionText(m_windows.about ? m_windows.about->versionText()
                                                 : QString::fromLatin1(Game::VersionText));
    }
    if (m_windows.server && m_windows.about)
        m_windows.server->setVersionText(m_windows.about->versionText().toUtf8());
    else if (m_windows.server && versioned)
        m_windows.server->setVersionText(Game::VersionText);
    m_link->setServer(m_windows.server);
    if (m_windows.server)
        connect(m_windows.server, &TServer::handlerError, this, &Tchat::showError);
    if (m_windows.tally)
        connectWindow(m_windows.tally);
    if (m_windows.about)
        connectWindow(m_windows.about);
    if (m_windows.download)
        connectWindow(m_windows.download);
    if (m_windows.gamestart)
        connectWindow(m_windows.gamestart);
    if (m_windows.help)
        connectWindow(m_windows.help);
    if (m_windows.phrases)
        connectWindow(m_windows.phrases);
    if (m_windows.spylist)
        connectWindow(m_windows.spylist);
    m_synced = windowSettings();
}

void Tchat::connectWindow(Ttallylist *tally)
{
    tally->setPlayersSource([this] { return opponentNames(); });
    connect(tally, &Ttallylist::saveFailed, this, &Tchat::showSaveFailure);
}

void Tchat::connectWindow(Tabout *)
{
}

void Tchat::connectWindow(Tdownload *download)
{
    connect(download, &Tdownload::exitRequested, this, &QWidget::close);
}

void Tchat::connectWindow(Tgamestart *gamestart)
{
    connect(gamestart, &Tgamestart::startRequested, this, [this](int gameType, int puzzle) {
        m_link->send(Msg::startGame(m_session.state().myName.toUtf8(), gameType, puzzle));
        saveinifile();
    });
    // Built after the settings were loaded: it marks what they hold.
    if (m_loadedGameOptions) {
        gamestart->checkit(m_loadedGameOptions->first);
        gamestart->checkpuzzletype(m_loadedGameOptions->second);
    }
}

void Tchat::connectWindow(Thelp *help)
{
    // The help's About button finds the about box, built first if need be.
    connect(help, &Thelp::aboutRequested, this, [this, help] {
        if (Tabout *about = window(&Windows::about))
            help->setAboutBox(about);
    });
}

void Tchat::connectWindow(Tphrases *phrases)
{
    // The window stores the phrases itself, only those the player edited.
    phrases->settingsPath.clear();
    connect(phrases, &Tphrases::phrasesApplied, this, [this](const QStringList &list) {
        m_chat->setPhrases(list);
        const Settings::Phrases edited = windowSettings().phrases;
        if (Settings::savePhrases(settingsPath, edited, &m_synced.phrases))
            m_synced.phrases = edited;
        else if (!std::exchange(m_toldSettingsFailure, true))
            showSaveFailure(saveFailureLine(SaveFailure::Settings, settingsPath));
    });
}

void Tchat::connectWindow(Tspylist *spylist)
{
    connect(spylist, &Tspylist::kickRequested, &m_session, &ClientSession::kicking);
    if (m_spectatorsRemovable)
        spylist->setRemoveEnabled(true);
}

// ---- the menu bar ----

void Tchat::connectActions()
{
    const Actions &a = *m_actions;
    connect(a.startGame, &QAction::triggered, &m_session, &ClientSession::startGameClick);
    connect(a.exit, &QAction::triggered, this, &QWidget::close);
    connect(a.playSounds, &QAction::triggered, this, [this](bool on) {
        m_session.setPlaySounds(on);
        saveinifile();
    });
    connect(a.openRouterPort, &QAction::triggered, this, [this](bool on) {
        Settings::writeSwitch(settingsPath, Settings::OpenRouterPortKey, on);
        m_link->setOpenRouterPort(on);
    });
    connect(a.playChatter, &QAction::triggered, this, [this](bool on) {
        m_session.setPlayChatterSounds(on);
        saveinifile();
    });
    connect(a.classic, &QAction::triggered, this, [this] {
        m_session.setTurnSound(0);
        saveinifile();
    });
    connect(a.turnNew, &QAction::triggered, this, [this] {
        m_session.setTurnSound(1);
        saveinifile();
    });
    connect(a.clicking, &QAction::triggered, this, [this] { m_session.input().setSelectMode(0); });
    connect(a.typing, &QAction::triggered, this, [this] { m_session.input().setSelectMode(1); });
    connect(a.textColour, &QAction::triggered, this, [this] { chooseColour(false); });
    connect(a.actionColour, &QAction::triggered, this, [this] { chooseColour(true); });
    connect(m_actions, &Actions::textSizeChosen, this, [this](int size) {
        m_chat->setTextSize(size);
        saveinifile();
    });
    connect(a.resetLocation, &QAction::triggered, this,
            [this] { setBounds(QRect(3, 3, DefaultWidth, DefaultHeight)); });
    connect(a.scrollChatOff, &QAction::triggered, m_chat, &ChatPanel::setScrollChatOff);
    connect(m_chat, &ChatPanel::scrollChatOffChosen, a.scrollChatOff, &QAction::setChecked);
    connect(a.clearChat, &QAction::triggered, m_chat, &ChatPanel::clearChat);
    connect(a.justWatch, &QAction::triggered, this, [this] {
        // The check mark follows the host's answer, not the click.
        m_actions->justWatch->setChecked(m_session.state().justWatchChecked);
        m_session.justWatchClick();
    });
    // The board's aids: each switch is stored at once.
    const std::pair<QAction *, bool BoardInput::Aids::*> aids[] = {
        {a.highlight, &BoardInput::Aids::highlight},
        {a.conflicts, &BoardInput::Aids::conflicts},
        {a.pencilCleanup, &BoardInput::Aids::pencilCleanup},
        {a.undoRedo, &BoardInput::Aids::undo}};
    for (const auto &[action, flag] : aids) {
        connect(action, &QAction::triggered, this, [this, flag = flag](bool on) {
            m_session.input().aids.*flag = on;
            saveinifile();
            refresh();
        });
    }
    connect(a.undo, &QAction::triggered, this, [this] { m_session.input().undo(); });
    connect(a.redo, &QAction::triggered, this, [this] { m_session.input().redo(); });
    connect(a.viewTally, &QAction::triggered, this, [this] {
        Ttallylist *tally = window(&Windows::tally);
        if (!tally)
            return;
        tally->loadchecklist(opponentNames());
        tally->show();
        tally->raise();
    });
    connect(a.spyList, &QAction::triggered, this, [this] {
        if (Tspylist *spylist = window(&Windows::spylist))
            spylist->show();
    });
    connect(a.phraseList, &QAction::triggered, this, [this] {
        if (Tphrases *phrases = window(&Windows::phrases))
            phrases->showPhrases(m_chat->phrases());
    });
    connect(a.helpContent, &QAction::triggered, this, [this] {
        if (Thelp *help = window(&Windows::help))
            help->show();
    });
    connect(a.about, &QAction::triggered, this, [this] {
        if (Tabout *about = window(&Windows::about))
            about->show();
    });
}

void Tchat::chooseColour(bool actionColour)
{
    const quint32 now = actionColour ? m_chat->actionColour() : m_chat->textColour();
    auto *dialog = new QColorDialog(QColor::fromRgb(Bgr::toArgb(now)), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (actionColour) {
        connect(dialog, &QColorDialog::colorSelected, this,
                [this](const QColor &c) { m_chat->setActionColour(Bgr::fromArgb(c.rgb())); });
        // The action colour is saved whether the dialog was confirmed or not.
        connect(dialog, &QDialog::finished, this, [this] { saveinifile(); });
    } else {
        connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor &c) {
            m_chat->setTextColour(Bgr::fromArgb(c.rgb()));
            saveinifile();
        });
    }
    dialog->open();
}

ChatView *Tchat::chatView() const
{
    return m_chat->view();
}

void Tchat::refresh()
{
    m_board->refresh();
    m_actions->startGame->setEnabled(m_session.state().startGameEnabled);
    m_actions->justWatch->setChecked(m_session.state().justWatchChecked);
    m_actions->markSelectMode(m_session.state().selectMode);
}

// ---- messages ----

void Tchat::showError(const QString &text)
{
    if (m_errorBox) {
        std::fprintf(stderr, "sudoku: %s\n", qPrintable(text));
        return;
    }
    m_errorBox = new QMessageBox(QMessageBox::Warning, QStringLiteral("Sudoku"), QString(), QMessageBox::Ok, this);
    m_errorBox->setTextFormat(Qt::PlainText); // the text may quote a peer's field
    m_errorBox->setText(text);
    m_errorBox->setAttribute(Qt::WA_DeleteOnClose);
    m_errorBox->open();
}

void Tchat::showMessage(const QString &text, bool closeAfter)
{
    // One box of a kind at a time: a host that repeats itself opens nothing more.
    QPointer<QMessageBox> &open = m_messageBoxes[text];
    if (open)
        return;
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Sudoku"), QString(), QMessageBox::Ok, this);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    open = box;
    if (closeAfter) {
        m_closeAfterMessage = true;
        connect(box, &QDialog::finished, this, &Tchat::closeWithoutAsking);
    }
    box->open();
}

// ---- launch ----

void Tchat::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_launched) {
        m_launched = true;
        // Read before the login, since hosting asks the router at once.
        m_actions->openRouterPort->setChecked(
            Settings::readSwitch(settingsPath, Settings::OpenRouterPortKey, true));
        m_link->setOpenRouterPort(m_actions->openRouterPort->isChecked());
        m_link->launch(m_parameters);
    }
}

// ---- settings and bounds ----

QRect Tchat::placeOnScreen(const QRect &stored)
{
    // Stored bounds whose title bar no screen shows (a monitor since removed)
    // put the window on the primary screen instead, so it is never lost.
    const QRect titleBar(stored.left(), stored.top(), stored.width(), 30);
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect visible = screen->availableGeometry().intersected(titleBar);
        if (visible.width() >= 40 && visible.height() >= 10)
            return stored;
    }
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return stored;
    const QRect work = primary->availableGeometry();
    return QRect(work.left() + 3, work.top() + 3, stored.width(), stored.height());
}

QRect Tchat::bounds() const
{
    // The place is the frame's top-left corner (the title bar's, under a
    // window manager); the size is the window's own, menu bar included.
    return QRect(pos(), size());
}

void Tchat::setBounds(const QRect &r)
{
    // A size no screen can show is cut to the work area of the screen the
    // window lands on; the minimum size still snaps a smaller one back.
    QSize size = r.size();
    const QScreen *target = QGuiApplication::screenAt(r.topLeft());
    if (!target)
        target = QGuiApplication::primaryScreen();
    if (target) {
        const QRect work = target->availableGeometry();
        const QSize frame = frameGeometry().size() - geometry().size();
        size = size.boundedTo(work.size() - frame);
    }
    resize(size.expandedTo(minimumSizeHint()).expandedTo(minimumSize()));
    // Once the window exists on the screen its frame is placed through the
    // platform window, which tells the window manager that the place is the
    // frame's even before the frame's size is known.
    if (QWindow *handle = windowHandle(); handle && isVisible())
        handle->setFramePosition(r.topLeft());
    else
        move(r.topLeft());
}

void Tchat::loadinifile()
{
    Settings s;
    s.gameType = m_windows.gamestart ? std::optional<int>(m_windows.gamestart->markedGameType()) : 2;
    if (s.gameType == 0)
        s.gameType.reset();
    if (m_windows.gamestart)
        s.puzzleType = m_windows.gamestart->puzzleType();
    const QStringList phrases = m_chat->phrases();
    for (int i = 0; i < 9; ++i)
        s.phrases[size_t(i)] = phrases.value(i);
    s.load(settingsPath);

    m_chat->setTextSize(s.textSize);
    m_actions->markTextSize(s.textSize);
    m_chat->setTextColour(s.textColor);
    m_chat->setActionColour(s.actionColor);
    m_loadedGameOptions = std::pair(s.gameType.value_or(0), s.puzzleTypeMarked ? s.puzzleType : 0);
    if (m_windows.gamestart) {
        m_windows.gamestart->checkit(m_loadedGameOptions->first);
        m_windows.gamestart->checkpuzzletype(m_loadedGameOptions->second);
    }
    m_session.loadSelectMode(s.select == Settings::SelectMode::Typing ? 1 : 0);
    QStringList loaded;
    for (int i = 0; i < 9; ++i)
        loaded.append(s.phrases[size_t(i)]);
    m_chat->setPhrases(loaded);
    m_session.setPlaySounds(s.playSounds);
    m_actions->playSounds->setChecked(s.playSounds);
    const QRect stored(s.left, s.top, s.width, s.height);
    setBounds(placeOnScreen(stored));
    m_remembered = stored;
    m_session.setTurnSound(s.turnSound == Settings::TurnSound::New ? 1 : 0);
    m_actions->markTurnSound(m_session.state().turnSound);
    m_session.setPlayChatterSounds(s.chatterSounds);
    m_actions->playChatter->setChecked(s.chatterSounds);
    BoardInput::Aids &aids = m_session.input().aids;
    aids = {s.highlight, s.conflicts, s.pencilCleanup, s.undoRedo};
    m_actions->highlight->setChecked(s.highlight);
    m_actions->conflicts->setChecked(s.conflicts);
    m_actions->pencilCleanup->setChecked(s.pencilCleanup);
    m_actions->undoRedo->setChecked(s.undoRedo);
    m_synced = s;
    refresh();
}

Settings Tchat::windowSettings() const
{
    Settings s;
    s.textSize = m_chat->textSize();
    s.textColor = m_chat->textColour();
    s.actionColor = m_chat->actionColour();
    if (m_windows.gamestart) {
        const int marked = m_windows.gamestart->markedGameType();
        s.gameType = marked ? std::optional<int>(marked) : std::nullopt;
        s.puzzleType = m_windows.gamestart->puzzleType();
    } else {
        // Not built yet: the options stay as last loaded or saved.
        s.gameType = m_synced.gameType;
        s.puzzleType = m_synced.puzzleType;
    }
    s.select = m_session.state().selectMode == 1 ? Settings::SelectMode::Typing : Settings::SelectMode::Clicking;
    const QStringList phrases = m_chat->phrases();
    for (int i = 0; i < Settings::PhraseCount; ++i)
        s.phrases[size_t(i)] = phrases.value(i);
    s.playSounds = m_session.state().playSounds;
    const QRect r = bounds();
    s.left = r.x();
    s.top = r.y();
    s.width = r.width();
    s.height = r.height();
    s.turnSound = m_session.state().turnSound == 1 ? Settings::TurnSound::New : Settings::TurnSound::Classic;
    s.chatterSounds = m_session.state().playChatterSounds;
    const BoardInput::Aids &aids = m_session.input().aids;
    s.highlight = aids.highlight;
    s.conflicts = aids.conflicts;
    s.pencilCleanup = aids.pencilCleanup;
    s.undoRedo = aids.undo;
    return s;
}

void Tchat::saveinifile()
{
    // Only what the player changed is written; the rest keeps the file's
    // own values. Before the file was loaded the window stands where its
    // form put it, which is no choice of the player's.
    Settings s = windowSettings();
    s.phrases = m_synced.phrases;
    if (!m_remembered) {
        s.top = m_synced.top;
        s.left = m_synced.left;
        s.width = m_synced.width;
        s.height = m_synced.height;
    }
    if (s.saveChanges(settingsPath, m_synced))
        m_synced = s;
    else if (!std::exchange(m_toldSettingsFailure, true))
        showSaveFailure(saveFailureLine(SaveFailure::Settings, settingsPath));
}

void Tchat::showSaveFailure(const QString &line)
{
    std::fprintf(stderr, "sudoku: %s\n", qPrintable(line));
    m_chat->view()->addlinetochat(line, ClientSession::SystemColour);
}

QStringList Tchat::opponentNames() const
{
    QStringList names;
    for (int seat = 1; seat <= 4; ++seat) {
        if (m_session.state().seats[seat].occupied && seat != m_session.state().mySeat)
            names.append(m_session.state().seats[seat].name);
    }
    return names;
}

void Tchat::closeWithoutAsking()
{
    m_exitConfirmed = true;
    close();
}

bool Tchat::othersSeated() const
{
    const SessionState &st = m_session.state();
    for (int seat = 1; seat <= ClientSession::SeatCount; ++seat) {
        if (st.seats[seat].occupied && seat != st.mySeat)
            return true;
    }
    return false;
}

void Tchat::closeEvent(QCloseEvent *event)
{
    // A host that leaves ends the game for everybody: ask first.
    if (m_session.state().isHost && !m_exitConfirmed && othersSeated()) {
        event->ignore();
        if (m_exitQuestion)
            return;
        m_exitQuestion = new QMessageBox(QMessageBox::Question, QStringLiteral("Sudoku"),
                                         QStringLiteral("Other players are still in the game. If you close it, "
                                                        "the game ends for them too. Close it?"),
                                         QMessageBox::Yes | QMessageBox::No, this);
        m_exitQuestion->setDefaultButton(QMessageBox::No);
        m_exitQuestion->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_exitQuestion, &QMessageBox::finished, this, [this](int answer) {
            m_exitQuestion = nullptr;
            if (answer == QMessageBox::Yes)
                closeWithoutAsking();
        });
        m_exitQuestion->open();
        return;
    }

    // FormClose: save the bounds when they differ from the remembered ones.
    // Before the settings were ever loaded there is nothing to compare with,
    // and the stored settings are left alone.
    if (m_remembered && bounds() != *m_remembered) {
        QRect r = bounds();
        const QRect work = screen() ? screen()->availableGeometry() : QRect();
        if (work.isValid() && work.width() < r.width())
            r.setWidth(r.width() - 15);
        if (work.isValid() && work.height() < r.height())
            r.setHeight(r.height() - 15);
        resize(r.size());
        m_remembered = r;
        saveinifile();
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        // Close box, File > Exit and the signals all end here: the router's
        // forward goes before the program does.
        m_link->closeRouterPort();
        emit closed();
    }
}
