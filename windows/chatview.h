#pragma once

#include "client/linkfinder.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <deque>
#include <optional>

// The chat view: every chat line, action and notice in its colour, the part up
// to the first ":" in bold. With "Scroll Chat Off" new lines arrive without
// moving the view. Links are shown with a hand cursor and open on a click.
//
// A line after a quiet spell is shown at once. In a busy chat the lines that
// come within a frame go into the document together at its end, and the view
// follows and repaints once, so the chat costs one layout of what shows, one
// scroll and one paint for many lines rather than for each.
class ChatView : public QPlainTextEdit
{
    Q_OBJECT
public:
    // The view keeps this many of the newest lines.
    static constexpr int MaxLines = 5000;
    // While lines keep coming, they are painted at most this often
    // (milliseconds): busy chat scrolls ten times a second, faster than
    // anyone reads it.
    static constexpr int FrameMs = 100;
    // A flood that goes on for FloodFrames frames in a row is painted five
    // times a second until a frame passes with no new line.
    static constexpr int FloodFrames = 10;
    static constexpr int FloodFrameMs = 200;
    // How many of the newest lines keep their shaped glyphs between paints.
    static constexpr int ShapedLines = 200;

    explicit ChatView(QWidget *parent = nullptr);

    void addlinetochat(const QString &line, quint32 bgrColour);
    // Empties the view, lines still waiting for the frame's end included.
    void clearChat();
    bool scrollChatOff = false;

    // While a frame is open, new lines wait for its end to be drawn.
    bool frameOpen() const { return m_frame.isActive(); }
    // How long the open frame lasts (milliseconds).
    int frameMs() const { return m_frame.interval(); }

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
    void insertLine(QTextCursor &cursor, const QString &line, quint32 bgrColour);
    void paintNewLines();

    // Set from the first new line until the view has followed them.
    bool m_followPending = false;
    // Set while lines wait, undrawn, for the open frame to close.
    bool m_held = false;
    struct WaitingLine
    {
        QString text;
        quint32 bgrColour;
    };
    std::deque<WaitingLine> m_waiting;
    QTimer m_frame;
    // Frames in a row that closed with lines waiting.
    int m_busyFrames = 0;
};
