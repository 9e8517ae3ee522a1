#include "windows/boardview.h"

#include "client/boardaids.h"
#include "windows/boardaccessible.h"
#include "client/boardgeometry.h"
#include "client/clientsession.h"
#include "ui/boardart.h"
#include "ui/widgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

BoardView::BoardView(ClientSession *session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("board"));
    setFixedSize(450, 448);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    BoardAccessible::installFactory();
}

void BoardView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const BoardState &board = m_session->state().board;
    const BoardInput::Aids &aids = m_session->input().aids;
    const BoardAids::CellSet lit = aids.highlight ? BoardAids::highlight(board) : BoardAids::CellSet();
    const BoardAids::CellSet red = aids.conflicts ? BoardAids::conflicts(board) : BoardAids::CellSet();
    QFont digitFont = Widgets::arial(29, true);
    // Column by column: each cell blank first, then its digit or its pencil
    // marks; after each column, the frame of the box with that number.
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            const QPoint origin = BoardGeometry::cellOrigin(c, r);
            p.drawPixmap(origin, BoardArt::num(0));
            const BoardCell &cell = board.cell(c, r);
            if (cell.value == 0) {
                for (int k = 1; k <= 9; ++k) {
                    const int mark = cell.pencil[k];
                    p.drawPixmap(origin + BoardGeometry::pencilOffset(k),
                                 BoardArt::littleNum(mark >= 0 && mark <= 9 ? mark : 0));
                }
            } else if (red.has(c, r)) {
                // A digit that repeats in its row, column or box: red.
                p.setFont(digitFont);
                p.setPen(QColor(210, 0, 0));
                p.drawText(QRect(origin, BoardArt::num(0).size()), Qt::AlignCenter,
                           QString::number(cell.value));
            } else if (cell.value > 0 && cell.value <= 36) {
                p.drawPixmap(origin, BoardArt::num(cell.value));
            }
            if (lit.has(c, r))
                p.fillRect(QRect(origin, BoardArt::num(0).size()), QColor(53, 56, 173, 38));
        }
        p.drawPixmap(BoardGeometry::boxOrigin(c), BoardArt::highlite(board.boxHighlight[c] ? 1 : 0));
    }
    // With the keyboard on the board, the board carries a focus ring and
    // the selected cell a quiet one.
    if (hasFocus()) {
        p.setPen(QPen(QColor(53, 56, 173, 150), 2, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    if (hasFocus() && board.selectedColumn && board.selectedRow) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(53, 56, 173, 200), 2));
        p.setBrush(Qt::NoBrush);
        const QPoint o = BoardGeometry::cellOrigin(board.selectedColumn, board.selectedRow);
        p.drawRoundedRect(QRectF(o.x() + 2, o.y() + 2, 39, 39), 4, 4);
    }
}

void BoardView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    m_session->input().boardMouseUp(event->button(), pos.x(), pos.y());
}

void BoardView::keyPressEvent(QKeyEvent *event)
{
    const int digit = BoardInput::digitOfKey(event->key(), event->nativeScanCode());
    if (m_session->input().keyPress(event->key(), event->modifiers(), digit, event->text()))
        update();
    else
        QWidget::keyPressEvent(event);
}

void BoardView::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void BoardView::focusOutEvent(QFocusEvent *event)
{
    update();
    QWidget::focusOutEvent(event);
}

StripView::StripView(QSize size, const QPixmap &(*picture)(), QWidget *parent)
    : QWidget(parent), m_picture(picture)
{
    setFixedSize(size);
    setCursor(Qt::PointingHandCursor);
}

void StripView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture());
}

void StripView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    emit released(pos.x(), pos.y());
}
