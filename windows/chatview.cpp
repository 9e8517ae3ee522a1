#include "windows/chatview.h"

#include "client/colortext.h"
#include "client/linkfinder.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QTextCursor>

#include <utility>

namespace {

// The chat's scroll bar repaints only when it would look different. A busy
// chat changes its range and value every frame, while its handle, at its
// smallest at the end of a long chat, stays where it is drawn.
class ChatScrollBar : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        if (change != SliderRangeChange && change != SliderValueChange) {
            QScrollBar::sliderChange(change);
            return;
        }
        // New lines change the range, then following them the value: the
        // look is compared once both are done.
        if (!std::exchange(m_comparePending, true))
            QMetaObject::invokeMethod(this, &ChatScrollBar::repaintIfChanged, Qt::QueuedConnection);
    }

    void repaintIfChanged()
    {
        m_comparePending = false;
        if (look() != m_drawn)
            update();
    }

    void paintEvent(QPaintEvent *event) override
    {
        m_drawn = look();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look
    {
        QRect handle;
        bool atStart = false;
        bool atEnd = false;
        bool operator==(const Look &) const = default;
    };

    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
                value() == minimum(), value() == maximum()};
    }

    Look m_drawn;
    bool m_comparePending = false;
};

} // namespace

ChatView::ChatView(QWidget *parent) : QPlainTextEdit(parent)
{
    setVerticalScrollBar(new ChatScrollBar(Qt::Vertical, this));
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

    m_frame.setSingleShot(true);
    connect(&m_frame, &QTimer::timeout, this, &ChatView::paintNewLines);
}

void ChatView::addlinetochat(const QString &line, quint32 bgrColour)
{
    // The first line after a quiet spell goes in and is painted at once, and
    // it opens a frame. Lines that come while the frame is open wait, with
    // view and scroll bar left as drawn, and go in together when it closes:
    // lines a flood scrolls past unseen are then never laid out. A hidden
    // view takes every line at once.
    if (isVisible()) {
        if (!m_frame.isActive()) {
            m_frame.start(FrameMs);
        } else if (!std::exchange(m_held, true)) {
            viewport()->setUpdatesEnabled(false);
        }
    }
    if (m_held) {
        // Only the newest MaxLines could stay in the view anyway.
        if (m_waiting.size() == MaxLines)
            m_waiting.pop_front();
        m_waiting.push_back({line, bgrColour});
        return;
    }
    if (!std::exchange(m_followPending, true))
        QMetaObject::invokeMethod(this, &ChatView::followNewLines, Qt::QueuedConnection);
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    insertLine(cursor, line, bgrColour);
    cursor.endEditBlock();
}

void ChatView::insertLine(QTextCursor &cursor, const QString &line, quint32 bgrColour)
{
    // To the end by position: a cursor move would lay out the line inserted
    // before, only for the edit's end to throw that layout away.
    cursor.setPosition(document()->characterCount() - 1);
    if (!document()->isEmpty())
        cursor.insertBlock();
    // The newest lines keep their shaped glyphs, so a repaint only draws
    // them; lines further back are shaped again when scrolled to.
    cursor.block().layout()->setCacheEnabled(true);
    if (const int back = cursor.blockNumber() - ShapedLines; back >= 0) {
        QTextBlock old = document()->findBlockByNumber(back);
        old.layout()->setCacheEnabled(false);
        old.clearLayout();
    }
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
}

void ChatView::clearChat()
{
    // Lines still waiting for the frame's end were never shown: they go too.
    m_waiting.clear();
    clear();
}

void ChatView::followNewLines()
{
    m_followPending = false;
    // With "Scroll Chat Off" the view and the caret stay where they are: new
    // lines at the end move neither.
    if (scrollChatOff)
        return;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

void ChatView::paintNewLines()
{
    if (!std::exchange(m_held, false)) {
        m_busyFrames = 0;
        return; // nothing came during the frame: the next line paints at once
    }
    if (!m_waiting.empty()) {
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        for (const WaitingLine &waiting : m_waiting)
            insertLine(cursor, waiting.text, waiting.bgrColour);
        cursor.endEditBlock();
        m_waiting.clear();
    }
    followNewLines();
    // The view repaints itself whole, and a new frame holds what comes next.
    viewport()->setUpdatesEnabled(true);
    m_frame.start(++m_busyFrames >= FloodFrames ? FloodFrameMs : FrameMs);
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
