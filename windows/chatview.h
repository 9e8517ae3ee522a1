#pragma once

#include "client/linkfinder.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <optional>

// The chat view: every chat line, action and notice in its colour, the part up
// to the first ":" in bold. With "Scroll Chat Off" new lines arrive without
// moving the view. Links are shown with a hand cursor and open on a click.
//
// A line goes into the document at once, but the view follows the new lines
// once per event-loop turn and repaints at most once a frame, so a busy chat
// costs one scroll and one paint for many lines rather than for each. A line
// after a quiet spell is painted at once.
class ChatView : public QPlainTextEdit
{
    Q_OBJECT
public:
    // The view keeps this many of the newest lines.
    static constexpr int MaxLines = 5000;
    // While lines keep coming, they are painted at most this often
    // (milliseconds): a flood scrolls ten times a second, faster than anyone
    // reads it.
    static constexpr int FrameMs = 100;
    // How many of the newest lines keep their shaped glyphs between paints.
    static constexpr int ShapedLines = 200;

    explicit ChatView(QWidget *parent = nullptr);

    void addlinetochat(const QString &line, quint32 bgrColour);
    bool scrollChatOff = false;

    // While a frame is open, new lines wait for its end to be drawn.
    bool frameOpen() const { return m_frame.isActive(); }

    // The link under a point of the view, if any.
    QString linkAt(const QPoint &viewportPos) const;

signals:
    void openLink(const QString &url);
    void released();

protected:
    std::optional<LinkRange> linkRangeAt(const QPoint &viewportPos, QTextBlock &block) const;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void followNewLines();
    void paintNewLines();

    // Set from the first new line until the view has followed them.
    bool m_followPending = false;
    // Set while lines wait, undrawn, for the open frame to close.
    bool m_held = false;
    QTimer m_frame;
};
