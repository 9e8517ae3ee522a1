#include "windows/tgamestart.h"

#include "ui/widgets.h"

#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// imagelist_game: 0 an open round mark, 1 the same mark filled and ticked.
QPixmap gameMark(bool selected)
{
    QPixmap pix(33, 31);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF circle(5.5, 4.5, 22, 22);
    p.setPen(QPen(QColor(128, 0, 0), 2));
    p.setBrush(selected ? QColor(128, 0, 0) : QColor(Qt::white));
    p.drawEllipse(circle);
    if (selected) {
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[3] = {{10.5, 15.5}, {15, 20.5}, {23, 10.5}};
        p.drawPolyline(tick, 3);
    }
    return pix;
}

// A mark: a click or Space chooses it; it takes Tab and shows a focus ring.
class ClickLabel : public QLabel
{
public:
    ClickLabel(QWidget *parent, std::function<void()> onClick)
        : QLabel(parent), m_onClick(std::move(onClick))
    {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            m_onClick();
    }
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Space && !e->isAutoRepeat())
            m_onClick();
        else
            QLabel::keyPressEvent(e);
    }
    void focusInEvent(QFocusEvent *e) override
    {
        update();
        QLabel::focusInEvent(e);
    }
    void focusOutEvent(QFocusEvent *e) override
    {
        update();
        QLabel::focusOutEvent(e);
    }
    void paintEvent(QPaintEvent *e) override
    {
        QLabel::paintEvent(e);
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(53, 56, 173), 1.5, Qt::DotLine));
        p.drawEllipse(QRectF(2.5, 1.5, 28, 28));
    }

private:
    std::function<void()> m_onClick;
};

class FocusPictureButton : public Widgets::PictureButton
{
public:
    using Widgets::PictureButton::PictureButton;

protected:
    void paintEvent(QPaintEvent *e) override
    {
        Widgets::PictureButton::paintEvent(e);
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::white, 1.5, Qt::DotLine));
        p.drawRoundedRect(QRectF(rect()).adjusted(3, 3, -3, -3), 4, 4);
    }
};

QLabel *styledLabel(QWidget *parent, const QString &text, int x, int y)
{
    auto *label = new QLabel(text, parent);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: rgb(128,0,0); background: transparent;"));
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

Tgamestart::Tgamestart(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tgamestart"));
    setWindowTitle(QStringLiteral("Sudoku - Game Start"));
    setFixedSize(414, 188);
    setAutoFillBackground(true);
    Widgets::applyTiledBackground(this);

    auto *title = new QLabel(QStringLiteral("Game Options"), this);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(21);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(0, 4, 414, 24);

    const int gameY[3] = {35, 67, 99};
    const int gameLabelY[3] = {39, 72, 104};
    const char *gameNames[3] = {"Score and Show", "Score and Hide", "First To Complete"};
    const int puzzleY[3] = {37, 69, 101};
    const int puzzleLabelY[3] = {41, 75, 106};
    const char *puzzleNames[3] = {"Easy Puzzle", "Medium Puzzle", "Hard Puzzle"};
    for (int n = 1; n <= 3; ++n) {
        auto *g = new ClickLabel(this, [this, n] { image_1Click(n); });
        g->setObjectName(QStringLiteral("image_%1").arg(n));
        g->setGeometry(6, gameY[n - 1], 33, 31);
        g->setAccessibleName(QString::fromLatin1(gameNames[n - 1]));
        m_gameMarks[n] = g;
        styledLabel(this, QString::fromLatin1(gameNames[n - 1]), 41, gameLabelY[n - 1]);

        auto *p = new ClickLabel(this, [this, n] { image_puzzletype1Click(n); });
        p->setObjectName(QStringLiteral("image_puzzletype%1").arg(n));
        p->setGeometry(230, puzzleY[n - 1], 33, 31);
        p->setAccessibleName(QString::fromLatin1(puzzleNames[n - 1]));
        m_puzzleMarks[n] = p;
        styledLabel(this, QString::fromLatin1(puzzleNames[n - 1]), 265, puzzleLabelY[n - 1]);
    }

    auto *start = new FocusPictureButton(QStringLiteral("Start Game"), this);
    start->setObjectName(QStringLiteral("button_start"));
    start->setFocusPolicy(Qt::StrongFocus);
    start->setGeometry(96, 150, 218, 27);
    connect(start, &QAbstractButton::clicked, this, &Tgamestart::button_startClick);

    // The form's own marks until the settings are read: Score and Hide, Easy.
    m_gameTag[2] = 1;
    m_puzzleHint[1] = 'y';
    m_puzzleType = 1;
    redraw();
}

void Tgamestart::redraw()
{
    for (int n = 1; n <= 3; ++n) {
        m_gameMarks[n]->setPixmap(gameMark(m_gameTag[n] == 1));
        m_puzzleMarks[n]->setPixmap(gameMark(m_puzzleHint[n] == 'y'));
        m_gameMarks[n]->setAccessibleDescription(m_gameTag[n] == 1 ? QStringLiteral("chosen") : QStringLiteral("not chosen"));
        m_puzzleMarks[n]->setAccessibleDescription(m_puzzleHint[n] == 'y' ? QStringLiteral("chosen")
                                                                          : QStringLiteral("not chosen"));
    }
}

void Tgamestart::checkit(int code)
{
    for (int n = 1; n <= 3; ++n)
        m_gameTag[n] = 0;
    if (code >= 1 && code <= 3)
        m_gameTag[code] = 1;
    redraw();
}

void Tgamestart::image_1Click(int code)
{
    checkit(code);
}

void Tgamestart::checkpuzzletype(int n)
{
    for (int i = 1; i <= 3; ++i)
        m_puzzleHint[i] = 'n';
    if (n >= 1 && n <= 3) {
        m_puzzleHint[n] = 'y';
        m_puzzleType = n;
    }
    redraw();
}

void Tgamestart::image_puzzletype1Click(int n)
{
    if (n >= 1 && n <= 3 && m_puzzleHint[n] == 'y')
        return;
    checkpuzzletype(n);
}

int Tgamestart::gameTypeCode() const
{
    if (m_gameTag[1] == 1)
        return 1;
    if (m_gameTag[3] == 1)
        return 3;
    return 2;
}

int Tgamestart::markedGameType() const
{
    for (int n = 1; n <= 3; ++n) {
        if (m_gameTag[n] == 1)
            return n;
    }
    return 0;
}

bool Tgamestart::puzzleTypeMarked() const
{
    return m_puzzleHint[1] == 'y' || m_puzzleHint[2] == 'y' || m_puzzleHint[3] == 'y';
}

void Tgamestart::button_startClick()
{
    emit startRequested(gameTypeCode(), m_puzzleType);
    hide();
}

void Tgamestart::keyPressEvent(QKeyEvent *event)
{
    // Return starts with the marked choices; the arrows move the mark within
    // a column (up, down) or to the other column (left, right).
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        button_startClick();
        return;
    }
    int column = -1;
    int row = 0;
    for (int n = 1; n <= 3; ++n) {
        if (focusWidget() == m_gameMarks[n])
            column = 0, row = n;
        else if (focusWidget() == m_puzzleMarks[n])
            column = 1, row = n;
    }
    if (column < 0 || (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Left && key != Qt::Key_Right)) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Up)
        row = row == 1 ? 3 : row - 1;
    else if (key == Qt::Key_Down)
        row = row == 3 ? 1 : row + 1;
    else
        column = 1 - column;
    if (column == 0) {
        image_1Click(row);
        m_gameMarks[row]->setFocus();
    } else {
        image_puzzletype1Click(row);
        m_puzzleMarks[row]->setFocus();
    }
}
