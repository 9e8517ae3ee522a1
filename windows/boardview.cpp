#include "windows/boardview.h"

#include "windows/boardaccessible.h"
#include "client/boardgeometry.h"
#include "client/clientsession.h"
#include "ui/boardart.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

BoardView::BoardView(ClientSession *session, QWidget *parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("board"));
    setFixedSize(450, 448);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    BoardAccessible::installFactory();
}

void BoardView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const BoardState &board = m_session->state().board;
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
            } else if (cell.value > 0 && cell.value <= 36) {
                p.drawPixmap(origin, BoardArt::num(cell.value));
            }
        }
        p.drawPixmap(BoardGeometry::boxOrigin(c), BoardArt::highlite(board.boxHighlight[c] ? 1 : 0));
    }
    // With the keyboard on the board, the selected cell carries a quiet ring.
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
    switch (event->key()) {
    case Qt::Key_Left: m_session->input().moveSelection(-1, 0); break;
    case Qt::Key_Right: m_session->input().moveSelection(1, 0); break;
    case Qt::Key_Up: m_session->input().moveSelection(0, -1); break;
    case Qt::Key_Down: m_session->input().moveSelection(0, 1); break;
    case Qt::Key_Delete:
    case Qt::Key_Backspace: m_session->input().typeDigit(0); break;
    default:
        if (event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9)
            m_session->input().typeDigit(event->key() - Qt::Key_0);
        else
            QWidget::keyPressEvent(event);
        return;
    }
    update();
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

StripView::StripView(const QPixmap &picture, QWidget *parent) : QWidget(parent), m_picture(picture)
{
    setFixedSize(picture.size());
    setCursor(Qt::PointingHandCursor);
}

void StripView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
}

void StripView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    emit released(pos.x(), pos.y());
}
