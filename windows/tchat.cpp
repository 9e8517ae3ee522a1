#include "windows/tchat.h"

#include "app/appfolders.h"
#include "app/launcher.h"
#include "app/settings.h"
#include "windows/boardview.h"
#include "windows/chatview.h"
#include "client/colortext.h"
#include "app/soundplayer.h"
#include "windows/tabout.h"
#include "windows/tgamestart.h"
#include "windows/thelp.h"
#include "windows/tphrases.h"
#include "windows/tspylist.h"
#include "windows/tdownload.h"
#include "host/tserver.h"
#include "base/errors.h"
#include "net/framebuffer.h"
#include "net/messages.h"
#include "net/tsock.h"
#include "windows/ttallylist.h"
#include "ui/boardart.h"
#include "ui/jpegdecoder.h"
#include "ui/widgets.h"
#include "base/gamedefaults.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFile>
#include <QKeyEvent>
#include <QWindow>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTextDocumentFragment>

#include <cstdio>
#include <utility>

namespace {

const QString ChatPlaceholder = QStringLiteral("<Enter Chat Here>");

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry, const QString &text,
                  int pixelSize, const QColor &colour, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *label = new QLabel(parent);
    // Names and numbers from peers are drawn as they are, never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setFont(Widgets::arial(pixelSize, true));
    label->setAlignment(align);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
    return label;
}

// The eyes shown beside a seat whose player is just watching.
QPixmap eyesPicture()
{
    QPixmap pix(37, 17);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 2; ++i) {
        const QRectF eye(4.5 + i * 15, 2.5, 13, 12);
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(Qt::white);
        p.drawEllipse(eye);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(53, 56, 173));
        p.drawEllipse(QPointF(eye.center().x() + 1.5, eye.center().y() + 1), 3.2, 3.2);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(eye.center().x() + 1.5, eye.center().y() + 1), 1.5, 1.5);
    }
    return pix;
}

// The one-line chat input: the first key press clears the greeting text.
class ChatInput : public QLineEdit
{
public:
    explicit ChatInput(QWidget *parent) : QLineEdit(ChatPlaceholder, parent) {}
    std::function<void()> onEnter;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (text() == ChatPlaceholder)
            clear();
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (onEnter)
                onEnter();
            return; // the key is swallowed
        }
        QLineEdit::keyPressEvent(event);
    }
};

// A seat's name label; seats 2-4 open the seat menu on a right click.
class SeatLabel : public QLabel
{
public:
    SeatLabel(int seat, QWidget *parent) : QLabel(parent), m_seat(seat)
    {
        setTextFormat(Qt::PlainText); // a peer's name is text, whatever it holds
        setProperty("Tag", seat);
    }
    std::function<void(int, const QPoint &)> onContext;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override
    {
        if (onContext)
            onContext(m_seat, event->globalPos());
    }

private:
    int m_seat;
};

} // namespace

Tchat::Tchat(QWidget *parent) : QMainWindow(parent)
{
    // FormCreate
    setObjectName(QStringLiteral("Tchat"));
    setWindowTitle(QStringLiteral("Sudoku"));
    setFont(Widgets::arial(13));
    settingsPath = settingsFilePath();
    for (const char *phrase : Game::BuiltInPhrases)
        m_phrases.append(QString::fromLatin1(phrase));

    auto *central = new QWidget(this);
    central->setAutoFillBackground(true);
    QPalette pal = central->palette();
    pal.setColor(QPalette::Window, Qt::white);
    central->setPalette(pal);
    central->setMinimumSize(ClientWidth, ClientHeight);
    setCentralWidget(central);

    buildMenus();
    buildBoardPanel();
    buildChatPanel();

    m_sock = new TSock(this);
    m_sock11 = new TSock(this);
    connect(m_sock, &Connection::readReady, this, [this] { sockRead(); });
    connect(m_sock, &Connection::info, this,
            [this](Connection *, int code, const QString &text) { sockInfo(code, text); });

    connect(&m_session, &ClientSession::send, this, &Tchat::sendToHost);
    connect(&m_session, &ClientSession::changed, this, &Tchat::refresh);
    connect(&m_session, &ClientSession::lineAdded, this,
            [this](const QString &line, quint32 colour) { m_mainchat->addlinetochat(line, colour); });
    connect(&m_session, &ClientSession::soundRequested, this, [this](const QString &name) {
        if (m_sound)
            m_sound->play(name);
    });
    connect(&m_session, &ClientSession::messageBox, this, &Tchat::showMessage);
    connect(&m_session, &ClientSession::closeRequested, this, &QWidget::close);
    connect(&m_session, &ClientSession::loadSettingsRequested, this, &Tchat::loadinifile);
    connect(&m_session, &ClientSession::saveSettingsRequested, this, &Tchat::saveinifile);
    connect(&m_session, &ClientSession::errorText, this, &Tchat::showError);
    connect(&m_session, &ClientSession::showGameOptions, this, [this] {
        if (m_windows.gamestart) {
            m_windows.gamestart->show();
            m_windows.gamestart->raise();
            m_windows.gamestart->activateWindow();
        }
    });
    connect(&m_session, &ClientSession::tallyGame, this, [this](const QString &w) {
        if (m_windows.tally)
            m_windows.tally->addgame(w);
    });

    m_session.clearall();
    move(2, 6);
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    refresh();
    m_synced = windowSettings();
}

Tchat::~Tchat() = default;

void Tchat::setWindows(const Windows &windows)
{
    m_windows = windows;
    if (m_windows.about)
        m_session.versionText = m_windows.about->versionText();
    if (m_windows.server && m_windows.about) {
        Tabout *about = m_windows.about;
        m_windows.server->setVersionSource([about] { return about->versionText().toUtf8(); });
    }
    if (m_windows.server)
        connect(m_windows.server, &TServer::handlerError, this, &Tchat::showError);
    if (m_windows.tally) {
        m_windows.tally->setPlayersSource([this] { return opponentNames(); });
        connect(m_windows.tally, &Ttallylist::saveFailed, this, &Tchat::showSaveFailure);
    }
    if (m_windows.spylist) {
        connect(&m_session, &ClientSession::spectatorAdded, m_windows.spylist, &Tspylist::addEntry);
        connect(&m_session, &ClientSession::spectatorRemoved, m_windows.spylist, &Tspylist::removeEntry);
        connect(m_windows.spylist, &Tspylist::kickRequested, &m_session, &ClientSession::kicking);
    }
    if (m_windows.download)
        connect(m_windows.download, &Tdownload::exitRequested, this, &QWidget::close);
    if (m_windows.phrases) {
        // The window stores the phrases itself, only those the player edited.
        m_windows.phrases->settingsPath.clear();
        connect(m_windows.phrases, &Tphrases::phrasesApplied, this, [this](const QStringList &list) {
            m_phrases = list;
            updatePhraseTips();
            const Settings::Phrases edited = windowSettings().phrases;
            if (Settings::savePhrases(settingsPath, edited, &m_synced.phrases))
                m_synced.phrases = edited;
            else if (!std::exchange(m_toldSettingsFailure, true))
                showSaveFailure(saveFailureLine(SaveFailure::Settings, settingsPath));
        });
    }
    m_synced = windowSettings();
    if (m_windows.gamestart) {
        connect(m_windows.gamestart, &Tgamestart::startRequested, this, [this](int gameType, int puzzle) {
            sendToHost(Msg::startGame(m_session.myName.toUtf8(), gameType, puzzle));
            saveinifile();
        });
    }
}

// ---- building the window ----

void Tchat::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu *file = bar->addMenu(QStringLiteral("File"));
    m_startGame = file->addAction(QStringLiteral("Start Game"));
    m_startGame->setObjectName(QStringLiteral("StartGame1"));
    m_startGame->setEnabled(false);
    connect(m_startGame, &QAction::triggered, &m_session, &ClientSession::startGameClick);
    file->addSeparator();
    QAction *exit = file->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("Exit1"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *options = bar->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("Options1"));
    m_playSounds = options->addAction(QStringLiteral("Play Sounds"));
    m_playSounds->setObjectName(QStringLiteral("PlaySounds1"));
    m_playSounds->setCheckable(true);
    m_playSounds->setChecked(true);
    connect(m_playSounds, &QAction::triggered, this, [this](bool on) {
        m_session.playSounds = on;
        saveinifile();
    });
    m_playChatter = options->addAction(QStringLiteral("Play Chatter Sounds"));
    m_playChatter->setObjectName(QStringLiteral("PlayChatterSounds1"));
    m_playChatter->setCheckable(true);
    m_playChatter->setChecked(false);
    connect(m_playChatter, &QAction::triggered, this, [this](bool on) {
        m_session.playChatterSounds = on;
        saveinifile();
    });

    QMenu *turn = options->addMenu(QStringLiteral("Turn Sound"));
    turn->setObjectName(QStringLiteral("TurnSound1"));
    auto *turnGroup = new QActionGroup(this);
    m_classic = turn->addAction(QStringLiteral("Classic"));
    m_classic->setObjectName(QStringLiteral("Classic1"));
    m_new = turn->addAction(QStringLiteral("New"));
    m_new->setObjectName(QStringLiteral("New1"));
    for (QAction *a : {m_classic, m_new}) {
        a->setCheckable(true);
        turnGroup->addAction(a);
    }
    m_classic->setChecked(true);
    connect(m_classic, &QAction::triggered, this, [this] {
        m_session.turnSound = 0;
        saveinifile();
    });
    connect(m_new, &QAction::triggered, this, [this] {
        m_session.turnSound = 1;
        saveinifile();
    });

    QMenu *select = options->addMenu(QStringLiteral("Select Numbers By"));
    select->setObjectName(QStringLiteral("checkbox_select"));
    auto *selectGroup = new QActionGroup(this);
    m_clicking = select->addAction(QStringLiteral("Clicking"));
    m_clicking->setObjectName(QStringLiteral("Clicking1"));
    m_typing = select->addAction(QStringLiteral("Typing"));
    m_typing->setObjectName(QStringLiteral("Typing1"));
    for (QAction *a : {m_clicking, m_typing}) {
        a->setCheckable(true);
        selectGroup->addAction(a);
    }
    m_clicking->setChecked(true);
    connect(m_clicking, &QAction::triggered, this, [this] { m_session.setSelectMode(0); });
    connect(m_typing, &QAction::triggered, this, [this] { m_session.setSelectMode(1); });

    options->addSeparator();
    QAction *textColour = options->addAction(QStringLiteral("Text Color"));
    textColour->setObjectName(QStringLiteral("TextColor1"));
    connect(textColour, &QAction::triggered, this, [this] {
        auto *dialog = new QColorDialog(QColor::fromRgb(Bgr::toArgb(m_textColour)), this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor &c) {
            m_textColour = Bgr::fromArgb(c.rgb());
            applyChatFont();
            saveinifile();
        });
        dialog->open();
    });
    QAction *actionColour = options->addAction(QStringLiteral("Action Color"));
    actionColour->setObjectName(QStringLiteral("ActionColor1"));
    connect(actionColour, &QAction::triggered, this, [this] {
        auto *dialog = new QColorDialog(QColor::fromRgb(Bgr::toArgb(m_actionColour)), this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QColorDialog::colorSelected, this,
                [this](const QColor &c) { m_actionColour = Bgr::fromArgb(c.rgb()); });
        // The action colour is saved whether the dialog was confirmed or not.
        connect(dialog, &QDialog::finished, this, [this] { saveinifile(); });
        dialog->open();
    });
    QMenu *size = options->addMenu(QStringLiteral("Text Size"));
    const int sizes[4] = {8, 10, 12, 14};
    for (int i = 0; i < 4; ++i) {
        m_sizeItems[i] = size->addAction(QString::number(sizes[i]));
        m_sizeItems[i]->setObjectName(QStringLiteral("N%1").arg(sizes[i]));
        m_sizeItems[i]->setCheckable(true);
        const int s = sizes[i];
        connect(m_sizeItems[i], &QAction::triggered, this, [this, i, s] {
            // Choosing a size does not move the check mark: only loading does.
            m_sizeItems[i]->setChecked(!m_sizeItems[i]->isChecked());
            chooseTextSize(s);
        });
    }
    m_sizeItems[0]->setChecked(true);
    QAction *reset = options->addAction(QStringLiteral("Reset Screen Location"));
    reset->setObjectName(QStringLiteral("ResetScreenLocation1"));
    connect(reset, &QAction::triggered, this,
            [this] { setBounds(QRect(3, 3, DefaultWidth, DefaultHeight)); });

    m_scrollChatOff = options->addAction(QStringLiteral("Scroll Chat Off"));
    m_scrollChatOff->setObjectName(QStringLiteral("ScrollChatOff1"));
    m_scrollChatOff->setCheckable(true);
    m_scrollChatOff->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    QAction *clearChat = options->addAction(QStringLiteral("Clear Main Chat"));
    clearChat->setObjectName(QStringLiteral("ClearMainChat1"));
    connect(clearChat, &QAction::triggered, this, [this] {
        m_mainchat->clear();
        m_mychat->setFocus();
    });
    options->addSeparator();
    m_justWatch = options->addAction(QStringLiteral("Just Watch"));
    m_justWatch->setObjectName(QStringLiteral("JustWatch1"));
    m_justWatch->setCheckable(true);
    connect(m_justWatch, &QAction::triggered, this, [this] {
        // The check mark follows the host's answer, not the click.
        m_justWatch->setChecked(m_session.justWatchChecked);
        m_session.justWatchClick();
    });

    QMenu *view = bar->addMenu(QStringLiteral("View"));
    QAction *tally = view->addAction(QStringLiteral("View Tally"));
    tally->setObjectName(QStringLiteral("ViewTally1"));
    connect(tally, &QAction::triggered, this, [this] {
        if (!m_windows.tally)
            return;
        m_windows.tally->loadchecklist(opponentNames());
        m_windows.tally->show();
        m_windows.tally->raise();
    });
    QAction *spy = view->addAction(QStringLiteral("Spy List"));
    spy->setObjectName(QStringLiteral("SpyList1"));
    connect(spy, &QAction::triggered, this, [this] {
        if (m_windows.spylist)
            m_windows.spylist->show();
    });
    QAction *phrases = view->addAction(QStringLiteral("Phrase List"));
    phrases->setObjectName(QStringLiteral("PrhaseList1"));
    connect(phrases, &QAction::triggered, this, [this] {
        if (m_windows.phrases)
            m_windows.phrases->showPhrases(m_phrases);
    });

    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    QAction *content = help->addAction(QStringLiteral("Content"));
    content->setObjectName(QStringLiteral("Help2"));
    content->setShortcut(QKeySequence(Qt::Key_F1));
    connect(content, &QAction::triggered, this, [this] {
        if (m_windows.help)
            m_windows.help->show();
    });
    help->addSeparator();
    QAction *about = help->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("About1"));
    connect(about, &QAction::triggered, this, [this] {
        if (m_windows.about)
            m_windows.about->show();
    });
}

void Tchat::buildBoardPanel()
{
    m_panelBoard = new QWidget(centralWidget());
    m_panelBoard->setObjectName(QStringLiteral("panel_board"));
    m_panelBoard->setGeometry(0, 0, ClientWidth, ClientHeight);

    m_panelGrid = new QWidget(m_panelBoard);
    m_panelGrid->setObjectName(QStringLiteral("panel_grid"));
    m_panelGrid->setGeometry(3, 2, 460, 457);
    auto *grid = new QLabel(m_panelGrid);
    grid->setTextFormat(Qt::PlainText);
    grid->setObjectName(QStringLiteral("Image1"));
    grid->setGeometry(1, 1, 458, 455);
    grid->setPixmap(BoardArt::gridPicture());
    m_board = new BoardView(&m_session, m_panelGrid);
    m_board->move(5, 5);

    m_imageSelect = new StripView(BoardArt::numberStrip(), m_panelGrid);
    m_imageSelect->setObjectName(QStringLiteral("image_select"));
    m_imageSelect->hide();
    connect(m_imageSelect, &StripView::released, &m_session, &ClientSession::image_selectMouseUp);
    m_imagePencil = new StripView(BoardArt::pencilStrip(), m_panelGrid);
    m_imagePencil->setObjectName(QStringLiteral("image_pencil"));
    m_imagePencil->hide();
    connect(m_imagePencil, &StripView::released, &m_session, &ClientSession::image_pencilMouseUp);
    m_editFill = new QLineEdit(m_panelGrid);
    m_editFill->setObjectName(QStringLiteral("edit_fill"));
    m_editFill->resize(41, 39);
    m_editFill->setFont(Widgets::arial(29));
    m_editFill->setAlignment(Qt::AlignCenter);
    m_editFill->setStyleSheet(QStringLiteral(
        "QLineEdit { border: 2px solid rgb(128,0,0); background: white; padding: 0px; }"));
    m_editFill->hide();
    connect(m_editFill, &QLineEdit::textEdited, &m_session, &ClientSession::edit_fillChange);

    // The generating notice: black text over its grey shadow.
    m_panelGenerating = new QWidget(m_panelGrid);
    m_panelGenerating->setObjectName(QStringLiteral("panel_generating"));
    m_panelGenerating->setGeometry(9, 122, 441, 41);
    m_panelGenerating->setAutoFillBackground(true);
    m_labelGenerating[1] = makeLabel(m_panelGenerating, "label_generating2", QRect(104, 11, 330, 20),
                                     m_session.generatingText, 16, Qt::gray);
    m_labelGenerating[0] = makeLabel(m_panelGenerating, "label_generating", QRect(103, 12, 330, 20),
                                     m_session.generatingText, 16, Qt::black);
    m_panelGenerating->hide();

    const int seatY[5] = {0, 45, 69, 93, 115};
    for (int seat = 1; seat <= 4; ++seat) {
        auto *name = new SeatLabel(seat, m_panelBoard);
        name->setObjectName(QStringLiteral("label_playername%1").arg(seat));
        name->setGeometry(520, seatY[seat], 105, 16);
        name->setFont(Widgets::arial(13));
        name->setText(QStringLiteral("<Waiting>"));
        if (seat >= 2)
            name->onContext = [this](int s, const QPoint &at) { seatContextMenu(s, at); };
        m_playerName[seat] = name;
        m_score[seat] = makeLabel(m_panelBoard, "", QRect(629, seatY[seat], 34, 16),
                                  QStringLiteral("0"), 13, Qt::black, Qt::AlignCenter);
        m_score[seat]->setObjectName(QStringLiteral("label_score%1").arg(seat));
        m_bonus[seat] = makeLabel(m_panelBoard, "", QRect(665, seatY[seat], 40, 16), QString(), 13,
                                  QColor(53, 56, 173), Qt::AlignLeft | Qt::AlignVCenter);
        m_bonus[seat]->setObjectName(QStringLiteral("label_bonus%1").arg(seat));
        m_eyes[seat] = new QLabel(m_panelBoard);
        m_eyes[seat]->setTextFormat(Qt::PlainText);
        m_eyes[seat]->setObjectName(QStringLiteral("image_eyes%1").arg(seat));
        m_eyes[seat]->setGeometry(494, seatY[seat] - 1, 37, 17);
        m_eyes[seat]->setPixmap(eyesPicture());
        m_eyes[seat]->hide();
    }
    const QColor maroon(128, 0, 0);
    m_labelTeamgame = makeLabel(m_panelBoard, "label_teamgame", QRect(493, 29, 105, 16),
                                m_session.labelTeamgame, 13, maroon, Qt::AlignCenter);
    m_labelScore = makeLabel(m_panelBoard, "label_score", QRect(612, 29, 82, 16), m_session.labelScore,
                             11, maroon, Qt::AlignCenter);
    m_labelStatus = makeLabel(m_panelBoard, "label_status", QRect(491, 136, 214, 16),
                              m_session.labelStatus, 13, Qt::black, Qt::AlignCenter);
    m_labelLeft = makeLabel(m_panelBoard, "label_left", QRect(491, 150, 214, 16), m_session.labelLeft,
                            11, Qt::black, Qt::AlignCenter);
    m_labelPuzzletype = makeLabel(m_panelBoard, "label_puzzletype", QRect(36, 464, 97, 16),
                                  m_session.labelPuzzletype, 13, maroon);
    m_labelTimer = makeLabel(m_panelBoard, "label_timer", QRect(153, 462, 148, 19),
                             m_session.labelTimer, 16, Qt::black, Qt::AlignCenter);
    m_labelGametype = makeLabel(m_panelBoard, "label_gametype", QRect(312, 463, 118, 16),
                                m_session.labelGametype, 13, maroon, Qt::AlignRight | Qt::AlignVCenter);

    auto *start = new Widgets::PictureButton(QStringLiteral("Start Game"), m_panelBoard);
    start->setObjectName(QStringLiteral("button_start"));
    start->setGeometry(490, 136, 218, 27);
    start->hide();
    connect(start, &QAbstractButton::clicked, &m_session, &ClientSession::startGameClick);
    m_buttonStart = start;
    auto *check = new Widgets::PictureButton(QStringLiteral("Check"), m_panelBoard);
    check->setObjectName(QStringLiteral("button_check"));
    check->setGeometry(489, 171, 107, 25);
    check->hide();
    connect(check, &QAbstractButton::clicked, &m_session, &ClientSession::button_checkClick);
    m_buttonCheck = check;
    auto *clear = new Widgets::PictureButton(QStringLiteral("Clear"), m_panelBoard);
    clear->setObjectName(QStringLiteral("button_clear"));
    clear->setGeometry(601, 171, 107, 25);
    clear->hide();
    connect(clear, &QAbstractButton::clicked, &m_session, &ClientSession::button_clearClick);
    m_buttonClear = clear;

    m_panelWinner = new QWidget(m_panelBoard);
    m_panelWinner->setObjectName(QStringLiteral("panel_winner"));
    m_panelWinner->setGeometry(12, 124, 440, 41);
    m_panelWinner->setAutoFillBackground(true);
    m_labelWinner[1] = makeLabel(m_panelWinner, "label_winner2", QRect(2, 11, 438, 20),
                                 QStringLiteral("Winner!"), 16, Qt::gray, Qt::AlignCenter);
    m_labelWinner[0] = makeLabel(m_panelWinner, "label_winner1", QRect(1, 12, 438, 20),
                                 QStringLiteral("Winner!"), 16, Qt::black, Qt::AlignCenter);
    m_panelWinner->hide();

    m_panelPenalty = new QWidget(m_panelBoard);
    m_panelPenalty->setObjectName(QStringLiteral("panel_penalty"));
    m_panelPenalty->setGeometry(9, 7, 447, 448);
    m_panelPenalty->setAutoFillBackground(true);
    auto *penalty = new QLabel(m_panelPenalty);
    penalty->setTextFormat(Qt::PlainText);
    penalty->setObjectName(QStringLiteral("image_penalty"));
    penalty->setGeometry(5, 4, 438, 440);
    QFile file(QStringLiteral(":/pictures/penalty.jpg"));
    if (file.open(QIODevice::ReadOnly)) {
        QString error;
        const QImage image = JpegDecoder::decode(file.readAll(), &error);
        if (!image.isNull())
            penalty->setPixmap(QPixmap::fromImage(image));
    }
    m_panelPenalty->hide();
}

void Tchat::buildChatPanel()
{
    m_mainchat = new ChatView(m_panelBoard);
    m_mainchat->setGeometry(466, 224, 264, 231);
    connect(m_mainchat, &ChatView::openLink, this,
            [](const QString &url) { Launcher::instance().openUrl(QUrl(url)); });
    connect(m_mainchat, &ChatView::released, this, [this] { m_mychat->setFocus(); });

    auto *input = new ChatInput(m_panelBoard);
    input->setObjectName(QStringLiteral("mychat"));
    input->setGeometry(466, 457, 263, 22);
    input->setFont(Widgets::arial(13));
    input->setMaxLength(ClientSession::MaxChatInput);
    input->onEnter = [this] { mychatSend(); };
    m_mychat = input;

    const int phraseX[9] = {466, 493, 519, 546, 573, 599, 626, 652, 679};
    for (int i = 1; i <= 9; ++i) {
        auto *b = new Widgets::PhraseButton(Widgets::PhraseButton::Bubble, m_panelBoard);
        b->setObjectName(QStringLiteral("b_phrase%1").arg(i));
        b->setGeometry(phraseX[i - 1], 200, 25, 19);
        connect(b, &QAbstractButton::clicked, this, [this, i] {
            m_session.sendPhrase(m_phrases.value(i - 1), m_actionColour);
            m_mychat->setFocus();
        });
        m_phraseButtons[i] = b;
    }
    auto *sounds = new Widgets::PhraseButton(Widgets::PhraseButton::Note, m_panelBoard);
    sounds->setObjectName(QStringLiteral("b_phrase10"));
    sounds->setGeometry(706, 200, 25, 19);
    sounds->setToolTip(QStringLiteral("Chatter Sounds"));
    m_phraseButtons[10] = sounds;

    m_popupSounds = new QMenu(this);
    m_popupSounds->setObjectName(QStringLiteral("popup_sounds"));
    const QStringList &captions = ClientSession::chatterCaptions();
    for (int n = 0; n < captions.size(); ++n) {
        QAction *item = m_popupSounds->addAction(captions.at(n));
        item->setObjectName(n == 0 ? QStringLiteral("Cancel1") : QStringLiteral("wave%1").arg(n));
        item->setToolTip(captions.at(n));
        connect(item, &QAction::triggered, this, [this, n] { m_session.sendChatterSound(n); });
    }
    connect(sounds, &QAbstractButton::clicked, this, [this, sounds] {
        m_popupSounds->popup(sounds->mapToGlobal(QPoint(sounds->width(), sounds->height())));
    });

    m_popupKick = new QMenu(this);
    m_popupKick->setObjectName(QStringLiteral("popup_kick"));
    m_kickRemove = m_popupKick->addAction(QStringLiteral("Remove From Game"));
    m_kickSet = m_popupKick->addAction(QStringLiteral("Set to Just Watch"));
    m_kickUnset = m_popupKick->addAction(QStringLiteral("Unset Just Watch"));
    connect(m_kickRemove, &QAction::triggered, this, [this] { m_session.kicking(m_kickTarget); });
    connect(m_kickSet, &QAction::triggered, this, [this] { m_session.seatMenuWatch(m_kickTarget, true); });
    connect(m_kickUnset, &QAction::triggered, this,
            [this] { m_session.seatMenuWatch(m_kickTarget, false); });

    // The chat view's menu: Copy, Clear Main Chat and Scroll Chat Off, whose
    // check mark always matches the one in the Options menu.
    auto *popupMainchat = new QMenu(this);
    popupMainchat->setObjectName(QStringLiteral("popup_mainchat"));
    QAction *copy = popupMainchat->addAction(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("Copy1"));
    copy->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
    connect(copy, &QAction::triggered, this, [this] {
        const QString selected = m_mainchat->textCursor().selection().toPlainText();
        if (!selected.isEmpty())
            QGuiApplication::clipboard()->setText(selected);
    });
    QAction *clearView = popupMainchat->addAction(QStringLiteral("Clear Main Chat"));
    clearView->setObjectName(QStringLiteral("ClearMainChat2"));
    connect(clearView, &QAction::triggered, this, [this] {
        m_mainchat->clear();
        m_mychat->setFocus();
    });
    m_scrollChatOffView = popupMainchat->addAction(QStringLiteral("Scroll Chat Off"));
    m_scrollChatOffView->setObjectName(QStringLiteral("ScrollChatOff2"));
    m_scrollChatOffView->setCheckable(true);
    m_mainchat->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_mainchat, &QWidget::customContextMenuRequested, this, [this, popupMainchat](const QPoint &at) {
        popupMainchat->popup(m_mainchat->viewport()->mapToGlobal(at));
    });
    for (QAction *item : {m_scrollChatOff, m_scrollChatOffView}) {
        connect(item, &QAction::triggered, this, [this](bool on) {
            m_mainchat->scrollChatOff = on;
            m_scrollChatOff->setChecked(on);
            m_scrollChatOffView->setChecked(on);
        });
    }

    // The input's menu: Paste replaces the whole line.
    auto *popupMychat = new QMenu(this);
    popupMychat->setObjectName(QStringLiteral("popup_mychat"));
    QAction *paste = popupMychat->addAction(QStringLiteral("Paste"));
    paste->setObjectName(QStringLiteral("Paste1"));
    paste->setShortcut(QKeySequence(QStringLiteral("Ctrl+V")));
    paste->setShortcutContext(Qt::WidgetShortcut);
    m_mychat->addAction(paste);
    connect(paste, &QAction::triggered, this, [this] {
        const QString text = QGuiApplication::clipboard()->text();
        if (!text.isEmpty())
            m_mychat->setText(text);
    });
    m_mychat->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_mychat, &QWidget::customContextMenuRequested, this, [this, popupMychat](const QPoint &at) {
        popupMychat->popup(m_mychat->mapToGlobal(at));
    });
    applyChatFont();
    updatePhraseTips();
}

void Tchat::seatContextMenu(int seat, const QPoint &globalPos)
{
    const ClientSession::SeatMenu menu = m_session.seatMenuFor(seat);
    m_kickRemove->setEnabled(menu.remove);
    m_kickSet->setEnabled(menu.setWatch);
    m_kickUnset->setEnabled(menu.unsetWatch);
    m_kickTarget = seat;
    m_popupKick->popup(globalPos);
}

void Tchat::updatePhraseTips()
{
    for (int i = 1; i <= 9; ++i)
        m_phraseButtons[i]->setToolTip(m_phrases.value(i - 1));
}

void Tchat::applyChatFont()
{
    QFont chatFont(QStringLiteral("Liberation Sans"));
    chatFont.setPointSize(m_textSize > 0 && m_textSize < 100 ? m_textSize : 8);
    m_mainchat->setFont(chatFont);
    QPalette pal = m_mychat->palette();
    pal.setColor(QPalette::Text, QColor::fromRgb(Bgr::toArgb(m_textColour)));
    m_mychat->setPalette(pal);
}

void Tchat::chooseTextSize(int size)
{
    m_textSize = size;
    applyChatFont();
    saveinifile();
}

void Tchat::mychatSend()
{
    if (m_mychat->text() == ChatPlaceholder)
        m_mychat->clear();
    if (m_session.sendit(m_mychat->text(), m_textColour, m_actionColour))
        m_mychat->clear();
}

// ---- showing the session ----

void Tchat::refresh()
{
    const ClientSession &s = m_session;
    for (int seat = 1; seat <= 4; ++seat) {
        m_playerName[seat]->setText(s.seats[seat].name);
        m_playerName[seat]->setVisible(s.seats[seat].nameVisible);
        m_score[seat]->setText(s.seats[seat].score);
        m_bonus[seat]->setText(s.seats[seat].bonus);
        m_eyes[seat]->setVisible(s.seats[seat].eyes);
    }
    m_labelStatus->setText(s.labelStatus);
    m_labelLeft->setText(s.labelLeft);
    m_labelTimer->setText(s.labelTimer);
    m_labelGametype->setText(s.labelGametype);
    m_labelPuzzletype->setText(s.labelPuzzletype);
    m_labelTeamgame->setText(s.labelTeamgame);
    m_labelScore->setText(s.labelScore);
    m_buttonStart->setVisible(s.buttonStartVisible);
    // The start button lies over the two status lines; they hide behind it.
    m_labelStatus->setVisible(!s.buttonStartVisible);
    m_labelLeft->setVisible(!s.buttonStartVisible);
    m_startGame->setEnabled(s.startGameEnabled);
    m_buttonCheck->setVisible(s.buttonCheckVisible);
    m_buttonClear->setVisible(s.buttonClearVisible);
    m_justWatch->setChecked(s.justWatchChecked);
    m_clicking->setChecked(s.selectMode == 0);
    m_typing->setChecked(s.selectMode == 1);

    m_imageSelect->move(s.imageSelectPos);
    m_imageSelect->setVisible(s.imageSelectVisible);
    m_imagePencil->move(s.imagePencilPos);
    m_imagePencil->setVisible(s.imagePencilVisible);
    if (m_editFill->text() != s.editFillText) {
        const QSignalBlocker quiet(m_editFill);
        m_editFill->setText(s.editFillText);
    }
    m_editFill->move(s.editFillPos);
    const bool wasFillVisible = m_editFill->isVisible();
    m_editFill->setVisible(s.editFillVisible);
    if (s.editFillVisible && !wasFillVisible)
        m_editFill->setFocus();
    m_imageSelect->raise();
    m_imagePencil->raise();
    m_editFill->raise();

    m_labelGenerating[0]->setText(s.generatingText);
    m_labelGenerating[1]->setText(s.generatingText);
    m_panelGenerating->setVisible(s.panelGeneratingVisible);
    m_panelGenerating->raise();
    m_labelWinner[0]->setText(s.winnerText);
    m_labelWinner[1]->setText(s.winnerText);
    m_panelWinner->setVisible(s.panelWinnerVisible);
    m_panelWinner->raise();
    m_panelPenalty->setVisible(s.panelPenaltyVisible);
    m_panelPenalty->raise();
    m_board->update();
}

// ---- connections ----

void Tchat::openSocket(TSock &sock, const QString &host, quint16 port)
{
    if (connector) {
        connector(sock, host, port);
        return;
    }
    sock.setHostName(host);
    sock.setPortName(QString::number(port));
    sock.open();
}

void Tchat::sendToHost(const QByteArray &text)
{
    try {
        m_sock->send(FrameBuffer::frame(text));
    } catch (const GameError &e) {
        showError(e.text());
    }
}

void Tchat::sockRead()
{
    try {
        m_session.received(m_sock->receiveAll());
    } catch (const GameError &e) {
        showError(e.text());
    }
}

void Tchat::sockInfo(int code, const QString &text)
{
    Q_UNUSED(code);
    if (text != Connection::closedText())
        return;
    // What the host said before it closed is still handled first, so a
    // refused player reads "Game is full" before the window goes.
    while (m_session.dispatcher().dispatchOne()) {
    }
    if (!m_closeAfterMessage)
        close();
}

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
        connect(box, &QDialog::finished, this, &QWidget::close);
    }
    box->open();
}

// ---- launch ----

void Tchat::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_launched) {
        m_launched = true;
        processparams();
    }
}

void Tchat::processparams()
{
    m_session.buttonStartVisible = false;
    m_session.startGameEnabled = false;
    m_session.loginName.clear();
    refresh();
    if (m_parameters.isEmpty()) {
        m_mainchat->addlinetochat(QStringLiteral("Loading Solo Game..Please wait."), ClientSession::SystemColour);
        if (m_windows.download)
            m_windows.download->show();
        m_session.hostAddress = QStringLiteral("127.0.0.1");
        m_session.myName = QStringLiteral("You");
        hostpress(true);
        return;
    }
    m_mainchat->addlinetochat(QStringLiteral("Loading Multi-player Game.. Please Wait."),
                              ClientSession::SystemColour);
    m_session.myName = m_parameters.value(0);
    if (m_parameters.size() < 2)
        return;
    m_session.hostAddress = m_parameters.value(1);
    if (m_parameters.size() < 3)
        return;
    if (m_parameters.at(2) == QLatin1String("true")) {
        hostpress();
        if (!m_session.isHost)
            return; // the host could not listen: nothing more starts
    } else {
        joinpress();
    }
    // The lobby link: a presence connection that carries nothing.
    try {
        openSocket(*m_sock11, QStringLiteral("127.0.0.1"), lobbyPort);
    } catch (const GameError &) {
    }
}

void Tchat::hostpress(bool soloGame)
{
    try {
        if (m_windows.server)
            m_windows.server->listen(gamePort, soloGame ? Listener::Loopback : Listener::AnyAddress);
    } catch (const GameError &e) {
        showError(e.text());
        return;
    }
    m_session.loginName = m_session.myName;
    m_session.isHost = true;
    quint16 port = gamePort;
    if (m_windows.server && m_windows.server->listener() && port == 0)
        port = m_windows.server->listener()->port();
    try {
        openSocket(*m_sock, QStringLiteral("127.0.0.1"), port);
    } catch (const GameError &e) {
        showError(e.text());
    }
    m_session.buttonStartVisible = true;
    m_session.startGameEnabled = true;
    if (m_windows.spylist)
        m_windows.spylist->setRemoveEnabled(true);
    refresh();
}

void Tchat::joinpress()
{
    m_session.loginName = m_session.myName;
    try {
        openSocket(*m_sock, m_session.hostAddress, gamePort);
    } catch (const GameError &e) {
        showError(e.text());
    }
    m_session.buttonStartVisible = false;
    m_session.startGameEnabled = false;
    refresh();
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
    for (int i = 0; i < 9; ++i)
        s.phrases[size_t(i)] = m_phrases.value(i);
    s.load(settingsPath);

    m_textSize = s.textSize;
    for (QAction *item : m_sizeItems)
        item->setChecked(item->text().toInt() == s.textSize);
    m_textColour = s.textColor;
    m_actionColour = s.actionColor;
    applyChatFont();
    if (m_windows.gamestart) {
        m_windows.gamestart->checkit(s.gameType.value_or(0));
        if (s.puzzleTypeMarked)
            m_windows.gamestart->checkpuzzletype(s.puzzleType);
        else
            m_windows.gamestart->checkpuzzletype(0);
    }
    m_session.selectMode = s.select == Settings::SelectMode::Typing ? 1 : 0;
    for (int i = 0; i < 9; ++i)
        m_phrases[i] = s.phrases[size_t(i)];
    updatePhraseTips();
    m_session.playSounds = s.playSounds;
    m_playSounds->setChecked(s.playSounds);
    const QRect stored(s.left, s.top, s.width, s.height);
    setBounds(placeOnScreen(stored));
    m_remembered = stored;
    m_session.turnSound = s.turnSound == Settings::TurnSound::New ? 1 : 0;
    m_classic->setChecked(m_session.turnSound == 0);
    m_new->setChecked(m_session.turnSound == 1);
    m_session.playChatterSounds = s.chatterSounds;
    m_playChatter->setChecked(s.chatterSounds);
    m_synced = s;
    refresh();
}

Settings Tchat::windowSettings() const
{
    Settings s;
    s.textSize = m_textSize;
    s.textColor = m_textColour;
    s.actionColor = m_actionColour;
    if (m_windows.gamestart) {
        const int marked = m_windows.gamestart->markedGameType();
        s.gameType = marked ? std::optional<int>(marked) : std::nullopt;
        s.puzzleType = m_windows.gamestart->puzzleType();
    }
    s.select = m_session.selectMode == 1 ? Settings::SelectMode::Typing : Settings::SelectMode::Clicking;
    for (int i = 0; i < Settings::PhraseCount; ++i)
        s.phrases[size_t(i)] = m_phrases.value(i);
    s.playSounds = m_session.playSounds;
    const QRect r = bounds();
    s.left = r.x();
    s.top = r.y();
    s.width = r.width();
    s.height = r.height();
    s.turnSound = m_session.turnSound == 1 ? Settings::TurnSound::New : Settings::TurnSound::Classic;
    s.chatterSounds = m_session.playChatterSounds;
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
    m_mainchat->addlinetochat(line, ClientSession::SystemColour);
}

QStringList Tchat::opponentNames() const
{
    QStringList names;
    for (int seat = 1; seat <= 4; ++seat) {
        const QString &name = m_session.seats[seat].name;
        if (name != QLatin1String("<Waiting>") && (seat != m_session.mySeat))
            names.append(name);
    }
    return names;
}

void Tchat::closeEvent(QCloseEvent *event)
{
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
    if (event->isAccepted())
        emit closed();
}
