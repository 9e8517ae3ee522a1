#include "windows/chatview.h"

#include "client/colortext.h"
#include "client/linkfinder.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

ChatView::ChatView(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("mainchat"));
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    document()->setDocumentMargin(5);
    // The oldest lines go as new ones come, so a chatty peer cannot grow the
    // window without end.
    document()->setMaximumBlockCount(MaxLines);
}

void ChatView::addlinetochat(const QString &line, quint32 bgrColour)
{
    QScrollBar *bar = verticalScrollBar();
    const int keptScroll = bar->value();
    const QTextCursor keptCursor = textCursor();

    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    const bool firstLine = document()->isEmpty();
    if (!firstLine)
        cursor.insertBlock();
    QTextCharFormat format;
    format.setForeground(QColor::fromRgb(Bgr::toArgb(bgrColour)));
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        QTextCharFormat bold = format;
        bold.setFontWeight(QFont::Bold);
        cursor.insertText(line.left(colon + 1), bold);
    }
    const QString rest = line.mid(colon + 1);
    // Links in the plain part are underlined, in the line's colour.
    qsizetype from = 0;
    for (const LinkRange &link : LinkFinder::findLinks(rest)) {
        cursor.insertText(rest.mid(from, link.start - from), format);
        QTextCharFormat underlined = format;
        underlined.setFontUnderline(true);
        cursor.insertText(rest.mid(link.start, link.length), underlined);
        from = link.start + link.length;
    }
    cursor.insertText(rest.mid(from), format);

    if (scrollChatOff) {
        // The cursor first: setting it scrolls to it, the kept place wins.
        setTextCursor(keptCursor);
        bar->setValue(keptScroll);
    } else {
        cursor.movePosition(QTextCursor::End);
        setTextCursor(cursor);
        bar->setValue(bar->maximum());
    }
}

std::optional<LinkRange> ChatView::linkRangeAt(const QPoint &viewportPos, QTextBlock &block) const
{
    const QTextCursor at = cursorForPosition(viewportPos);
    block = at.block();
    if (!block.isValid())
        return std::nullopt;
    // A point past the end of a line's text is never on a link.
    QTextCursor end(block);
    end.movePosition(QTextCursor::EndOfBlock);
    if (at.position() == end.position() && viewportPos.x() > cursorRect(end).right() + 1)
        return std::nullopt;
    return LinkFinder::linkAt(block.text(), at.position() - block.position());
}

QString ChatView::linkAt(const QPoint &viewportPos) const
{
    QTextBlock block;
    const auto link = linkRangeAt(viewportPos, block);
    return link ? link->url : QString();
}

void ChatView::mouseMoveEvent(QMouseEvent *event)
{
    const bool onLink = !linkAt(event->position().toPoint()).isEmpty();
    viewport()->setCursor(onLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
    QPlainTextEdit::mouseMoveEvent(event);
}

void ChatView::mousePressEvent(QMouseEvent *event)
{
    QPlainTextEdit::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    QTextBlock block;
    const auto link = linkRangeAt(event->position().toPoint(), block);
    if (!link)
        return;
    QTextCursor select(block);
    select.setPosition(block.position() + int(link->start));
    select.setPosition(block.position() + int(link->start + link->length), QTextCursor::KeepAnchor);
    setTextCursor(select);
    emit openLink(link->url);
}

void ChatView::mouseReleaseEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    emit released();
}
