#include "ui/widgets.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QWidget>

namespace Widgets {

QFont arial(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

HoverButton::HoverButton(QWidget *parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void HoverButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

PictureButton::PictureButton(const QString &text, QWidget *parent) : HoverButton(parent)
{
    setText(text);
    setFont(arial(14, true));
}

QSize PictureButton::sizeHint() const
{
    return {107, 25};
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(r, 6, 6);
    const bool down = isDown();
    QLinearGradient face(r.topLeft(), r.bottomLeft());
    QColor top = m_hover ? QColor(176, 48, 48) : QColor(150, 28, 28);
    QColor bottom = m_hover ? QColor(120, 10, 10) : QColor(104, 0, 0);
    if (down)
        std::swap(top, bottom);
    face.setColorAt(0, top);
    face.setColorAt(1, bottom);
    p.fillPath(path, face);
    p.setPen(QPen(QColor(80, 0, 0), 1));
    p.drawPath(path);
    // a soft highlight along the top edge
    p.setPen(QPen(QColor(255, 255, 255, down ? 30 : 70), 1));
    p.drawLine(QPointF(r.left() + 6, r.top() + 1.5), QPointF(r.right() - 6, r.top() + 1.5));
    p.setPen(Qt::white);
    p.setFont(font());
    p.drawText(rect().translated(0, down ? 1 : 0), Qt::AlignCenter, text());
}

PhraseButton::PhraseButton(Glyph glyph, QWidget *parent) : HoverButton(parent), m_glyph(glyph)
{
}

void PhraseButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient face(r.topLeft(), r.bottomLeft());
    face.setColorAt(0, m_hover ? QColor(255, 246, 236) : QColor(250, 250, 250));
    face.setColorAt(1, isDown() ? QColor(220, 200, 200) : QColor(232, 226, 226));
    p.setPen(QPen(QColor(128, 0, 0), 1));
    p.setBrush(face);
    p.drawRoundedRect(r, 4, 4);
    const QPointF c = r.center();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(128, 0, 0));
    if (m_glyph == Bubble) {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(c.x() - 7, c.y() - 6, 14, 9), 3, 3);
        bubble.moveTo(c.x() - 3, c.y() + 2);
        bubble.lineTo(c.x() - 5, c.y() + 6);
        bubble.lineTo(c.x() + 1, c.y() + 2);
        p.drawPath(bubble.simplified());
        p.setBrush(Qt::white);
        for (int i = -1; i <= 1; ++i)
            p.drawEllipse(QPointF(c.x() + i * 3.5, c.y() - 1.5), 1.1, 1.1);
    } else {
        p.drawEllipse(QPointF(c.x() - 2.5, c.y() + 4), 3, 2.3);
        p.setPen(QPen(QColor(128, 0, 0), 1.4));
        p.drawLine(QPointF(c.x() + 0.3, c.y() + 4), QPointF(c.x() + 0.3, c.y() - 6));
        p.drawLine(QPointF(c.x() + 0.3, c.y() - 6), QPointF(c.x() + 4.5, c.y() - 3.5));
    }
}

void applyTiledBackground(QWidget *window)
{
    static const QPixmap tile = [] {
        QPixmap pix(24, 24);
        pix.fill(QColor(255, 253, 250));
        QPainter p(&pix);
        p.setPen(QColor(246, 236, 230));
        p.drawLine(0, 23, 23, 0);
        p.drawPoint(0, 0);
        return pix;
    }();
    QPalette pal = window->palette();
    pal.setBrush(QPalette::Window, QBrush(tile));
    window->setPalette(pal);
    window->setAutoFillBackground(true);
}

} // namespace Widgets
