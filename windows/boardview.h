#pragma once

#include <QWidget>

class ClientSession;

// The paint box of the grid: draws the cells, pencil marks and box frames of
// the session's board, and passes clicks and keys to the session.
class BoardView : public QWidget
{
    Q_OBJECT
public:
    BoardView(ClientSession *session, QWidget *parent);
    ClientSession *session() const { return m_session; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    ClientSession *m_session;
};

// A strip picture (number strip or pencil strip) that reports where it was
// released. The picture is fetched when the strip is first painted, so it is
// not drawn before the strip is shown.
class StripView : public QWidget
{
    Q_OBJECT
public:
    StripView(QSize size, const QPixmap &(*picture)(), QWidget *parent);

signals:
    void released(int x, int y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    const QPixmap &(*m_picture)();
};
