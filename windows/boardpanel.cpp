#include "windows/boardpanel.h"

#include "windows/boardaccessible.h"
#include "windows/boardview.h"
#include "client/clientsession.h"
#include "ui/boardart.h"
#include "ui/jpegdecoder.h"
#include "ui/widgets.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QKeyEvent>
#include <QPainter>
#include <QShortcut>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <type_traits>
#include <utility>

namespace {

// Raises widgets of one parent so that they lie over their siblings in this
// order. Raising a shown widget repaints what lies under it (the board), so
// nothing is raised when they already lie so.
void raiseInOrder(std::initializer_list<QWidget *> widgets)
{
    const QObjectList &siblings = (*widgets.begin())->parentWidget()->children();
    qsizetype at = siblings.size() - qsizetype(widgets.size());
    bool ordered = at >= 0;
    for (QWidget *w : widgets) {
        if (!ordered || siblings.at(at++) != w) {
            ordered = false;
            break;
        }
    }
    if (!ordered)
        for (QWidget *w : widgets)
            w->raise();
}

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

// A picture button that takes the keyboard (Tab, Space) and shows a focus
// ring while it has it.
class FocusButton : public Widgets::PictureButton
{
public:
    FocusButton(const QString &text, QWidget *parent) : Widgets::PictureButton(text, parent)
    {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        Widgets::PictureButton::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 1.5, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(3, 3, -3, -3), 4, 4);
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            click();
        else
            Widgets::PictureButton::keyPressEvent(event);
    }
};

} // namespace

BoardPanel::BoardPanel(ClientSession &session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("panel_board"));
    buildGrid();
    buildSeats();
    buildLabelsAndButtons();
    buildOverlays();
}

void BoardPanel::buildGrid()
{
    m_panelGrid = new QWidget(this);
    m_panelGrid->setObjectName(QStringLiteral("panel_grid"));
    m_panelGrid->setGeometry(3, 2, 460, 457);
    auto *grid = new QLabel(m_panelGrid);
    grid->setTextFormat(Qt::PlainText);
    grid->setObjectName(QStringLiteral("Image1"));
    grid->setGeometry(1, 1, 458, 455);
    grid->setPixmap(BoardArt::gridPicture());
    m_board = new BoardView(&m_session, m_panelGrid);
    m_board->move(5, 5);

    m_imageSelect = new StripView(BoardArt::NumberStripSize, &BoardArt::numberStrip, m_panelGrid);
    m_imageSelect->setObjectName(QStringLiteral("image_select"));
    m_imageSelect->hide();
    connect(m_imageSelect, &StripView::released, this,
            [this](int x, int y) { m_session.input().image_selectMouseUp(x, y); });
    m_imagePencil = new StripView(BoardArt::PencilStripSize, &BoardArt::pencilStrip, m_panelGrid);
    m_imagePencil->setObjectName(QStringLiteral("image_pencil"));
    m_imagePencil->hide();
    connect(m_imagePencil, &StripView::released, this,
            [this](int x, int y) { m_session.input().image_pencilMouseUp(x, y); });
    m_editFill = new QLineEdit(m_panelGrid);
    m_editFill->setObjectName(QStringLiteral("edit_fill"));
    m_editFill->resize(41, 39);
    m_editFill->setFont(Widgets::arial(29));
    m_editFill->setAlignment(Qt::AlignCenter);
    m_editFill->setStyleSheet(QStringLiteral(
        "QLineEdit { border: 2px solid rgb(128,0,0); background: white; padding: 0px; }"));
    m_editFill->hide();
    connect(m_editFill, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_session.input().edit_fillChange(text); });
    m_editFill->installEventFilter(this);
    // Ctrl+Return checks from anywhere in the window, the chat line included.
    auto *check = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Return")), this);
    check->setContext(Qt::WindowShortcut);
    connect(check, &QShortcut::activated, this, [this] {
        m_session.input().checkKey();
        m_board->setFocus();
    });

    // The generating notice: black text over its grey shadow.
    m_panelGenerating = new QWidget(m_panelGrid);
    m_panelGenerating->setObjectName(QStringLiteral("panel_generating"));
    m_panelGenerating->setGeometry(9, 122, 441, 41);
    m_panelGenerating->setAutoFillBackground(true);
    m_labelGenerating[1] = makeLabel(m_panelGenerating, "label_generating2", QRect(104, 11, 330, 20),
                                     m_session.state().generatingText, 16, Qt::gray);
    m_labelGenerating[0] = makeLabel(m_panelGenerating, "label_generating", QRect(103, 12, 330, 20),
                                     m_session.state().generatingText, 16, Qt::black);
    m_panelGenerating->hide();
}

void BoardPanel::buildSeats()
{
    const int seatY[5] = {0, 45, 69, 93, 115};
    for (int seat = 1; seat <= 4; ++seat) {
        auto *name = new SeatLabel(seat, this);
        name->setObjectName(QStringLiteral("label_playername%1").arg(seat));
        name->setGeometry(520, seatY[seat], 105, 16);
        name->setFont(Widgets::arial(13));
        name->setText(QStringLiteral("<Waiting>"));
        if (seat >= 2)
            name->onContext = [this](int s, const QPoint &at) { seatContextMenu(s, at); };
        m_playerName[seat] = name;
        m_score[seat] = makeLabel(this, "", QRect(629, seatY[seat], 34, 16),
                                  QStringLiteral("0"), 13, Qt::black, Qt::AlignCenter);
        m_score[seat]->setObjectName(QStringLiteral("label_score%1").arg(seat));
        m_bonus[seat] = makeLabel(this, "", QRect(665, seatY[seat], 40, 16), QString(), 13,
                                  QColor(53, 56, 173), Qt::AlignLeft | Qt::AlignVCenter);
        m_bonus[seat]->setObjectName(QStringLiteral("label_bonus%1").arg(seat));
        m_eyes[seat] = new QLabel(this);
        m_eyes[seat]->setTextFormat(Qt::PlainText);
        m_eyes[seat]->setObjectName(QStringLiteral("image_eyes%1").arg(seat));
        m_eyes[seat]->setGeometry(494, seatY[seat] - 1, 37, 17);
        m_eyes[seat]->setPixmap(eyesPicture());
        m_eyes[seat]->hide();
    }

    m_popupKick = new QMenu(this);
    m_popupKick->setObjectName(QStringLiteral("popup_kick"));
    m_kickRemove = m_popupKick->addAction(QStringLiteral("Remove From Game"));
    m_kickSet = m_popupKick->addAction(QStringLiteral("Set to Just Watch"));
    m_kickUnset = m_popupKick->addAction(QStringLiteral("Unset Just Watch"));
    connect(m_kickRemove, &QAction::triggered, this, [this] { m_session.kicking(m_kickTarget); });
    connect(m_kickSet, &QAction::triggered, this, [this] { m_session.seatMenuWatch(m_kickTarget, true); });
    connect(m_kickUnset, &QAction::triggered, this,
            [this] { m_session.seatMenuWatch(m_kickTarget, false); });
}

void BoardPanel::buildLabelsAndButtons()
{
    const QColor maroon(128, 0, 0);
    m_labelTeamgame = makeLabel(this, "label_teamgame", QRect(493, 29, 105, 16),
                                m_session.state().labelTeamgame, 13, maroon, Qt::AlignCenter);
    m_labelScore = makeLabel(this, "label_score", QRect(612, 29, 82, 16), m_session.state().labelScore,
                             11, maroon, Qt::AlignCenter);
    m_labelStatus = makeLabel(this, "label_status", QRect(491, 136, 214, 16),
                              m_session.state().labelStatus, 13, Qt::black, Qt::AlignCenter);
    m_labelLeft = makeLabel(this, "label_left", QRect(491, 150, 214, 16), m_session.state().labelLeft,
                            11, Qt::black, Qt::AlignCenter);
    m_labelPuzzletype = makeLabel(this, "label_puzzletype", QRect(36, 464, 97, 16),
                                  m_session.state().labelPuzzletype, 13, maroon);
    m_labelTimer = makeLabel(this, "label_timer", QRect(153, 462, 148, 19),
                             m_session.state().labelTimer, 16, Qt::black, Qt::AlignCenter);
    m_labelGametype = makeLabel(this, "label_gametype", QRect(312, 463, 118, 16),
                                m_session.state().labelGametype, 13, maroon, Qt::AlignRight | Qt::AlignVCenter);

    auto *start = new FocusButton(QStringLiteral("Start Game"), this);
    start->setObjectName(QStringLiteral("button_start"));
    start->setGeometry(490, 136, 218, 27);
    start->hide();
    connect(start, &QAbstractButton::clicked, &m_session, &ClientSession::startGameClick);
    m_buttonStart = start;
    auto *check = new FocusButton(QStringLiteral("Check"), this);
    check->setObjectName(QStringLiteral("button_check"));
    check->setGeometry(489, 171, 107, 25);
    check->hide();
    connect(check, &QAbstractButton::clicked, this, [this] {
        m_session.input().button_checkClick();
        m_board->setFocus();
    });
    m_buttonCheck = check;
    auto *clear = new FocusButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("button_clear"));
    clear->setGeometry(601, 171, 107, 25);
    clear->hide();
    connect(clear, &QAbstractButton::clicked, this, [this] {
        m_session.input().button_clearClick();
        m_board->setFocus();
    });
    m_buttonClear = clear;

}

void BoardPanel::buildOverlays()
{
    m_panelWinner = new QWidget(this);
    m_panelWinner->setObjectName(QStringLiteral("panel_winner"));
    m_panelWinner->setGeometry(12, 124, 440, 41);
    m_panelWinner->setAutoFillBackground(true);
    m_labelWinner[1] = makeLabel(m_panelWinner, "label_winner2", QRect(2, 11, 438, 20),
                                 QStringLiteral("Winner!"), 16, Qt::gray, Qt::AlignCenter);
    m_labelWinner[0] = makeLabel(m_panelWinner, "label_winner1", QRect(1, 12, 438, 20),
                                 QStringLiteral("Winner!"), 16, Qt::black, Qt::AlignCenter);
    m_panelWinner->hide();

    m_panelPenalty = new QWidget(this);
    m_panelPenalty->setObjectName(QStringLiteral("panel_penalty"));
    m_panelPenalty->setGeometry(9, 7, 447, 448);
    m_panelPenalty->setAutoFillBackground(true);
    m_imagePenalty = new QLabel(m_panelPenalty);
    m_imagePenalty->setTextFormat(Qt::PlainText);
    m_imagePenalty->setObjectName(QStringLiteral("image_penalty"));
    m_imagePenalty->setGeometry(5, 4, 438, 440);
    // Its picture is decoded when a penalty first shows it.
    m_panelPenalty->hide();
}

void BoardPanel::showPenaltyPicture()
{
    if (std::exchange(m_penaltyPictureRead, true))
        return;
    QFile file(QStringLiteral(":/pictures/penalty.jpg"));
    if (file.open(QIODevice::ReadOnly)) {
        QString error;
        const QImage image = JpegDecoder::decode(file.readAll(), &error);
        if (!image.isNull())
            m_imagePenalty->setPixmap(QPixmap::fromImage(image));
    }
}

bool BoardPanel::eventFilter(QObject *watched, QEvent *event)
{
    // Escape closes the typing box; the keyboard goes back to the board.
    if (watched == m_editFill && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_session.input().closeChoosers();
        m_board->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void BoardPanel::seatContextMenu(int seat, const QPoint &globalPos)
{
    const ClientSession::SeatMenu menu = m_session.seatMenuFor(seat);
    m_kickRemove->setEnabled(menu.remove);
    m_kickSet->setEnabled(menu.setWatch);
    m_kickUnset->setEnabled(menu.unsetWatch);
    m_kickTarget = seat;
    m_popupKick->popup(globalPos);
}

void BoardPanel::refresh()
{
    const SessionState &s = m_session.state();
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
    m_buttonCheck->setVisible(s.buttonCheckVisible);
    m_buttonClear->setVisible(s.buttonClearVisible);

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
    const bool fillHadFocus = m_editFill->hasFocus();
    m_editFill->setVisible(s.editFillVisible);
    if (s.editFillVisible && !wasFillVisible)
        m_editFill->setFocus();
    // A digit typed in the box leaves the keyboard on the board.
    if (!s.editFillVisible && fillHadFocus)
        m_board->setFocus();
    // A game that starts takes the keyboard to the board.
    if (s.gameInProgress && !m_wasInGame && m_session.state().mySeat >= 1
        && m_session.state().mySeat <= ClientSession::SeatCount)
        m_board->setFocus();
    m_wasInGame = s.gameInProgress;

    m_labelGenerating[0]->setText(s.generatingText);
    m_labelGenerating[1]->setText(s.generatingText);
    m_panelGenerating->setVisible(s.panelGeneratingVisible);
    raiseInOrder({m_imageSelect, m_imagePencil, m_editFill, m_panelGenerating});
    m_labelWinner[0]->setText(s.winnerText);
    m_labelWinner[1]->setText(s.winnerText);
    m_panelWinner->setVisible(s.panelWinnerVisible);
    if (s.panelPenaltyVisible)
        showPenaltyPicture();
    m_panelPenalty->setVisible(s.panelPenaltyVisible);
    raiseInOrder({m_panelWinner, m_panelPenalty});
    static_assert(std::is_trivially_copyable_v<BoardState>);
    // The aids change how the same board is drawn.
    const BoardInput::Aids &aids = m_session.input().aids;
    const int aidsDrawn = (aids.highlight ? 1 : 0) | (aids.conflicts ? 2 : 0);
    if (!m_boardShown || aidsDrawn != m_shownAids
        || std::memcmp(&m_shownBoard, &s.board, sizeof(BoardState)) != 0) {
        m_shownBoard = s.board;
        m_shownAids = aidsDrawn;
        m_boardShown = true;
        m_board->update();
        BoardAccessible::announceChanges(m_board);
    }
}
