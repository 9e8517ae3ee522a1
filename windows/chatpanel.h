#pragma once

#include <QObject>
#include <QStringList>

class QAction;
class QLineEdit;
class QMenu;
class QWidget;
class ChatView;
class ClientSession;

// The chat panel: the chat view, the input line, the nine phrase buttons and
// the chatter sound button, with their menus. Its widgets lie on the board
// panel at their own places; the menus belong to the window. It keeps the
// player's phrases, colours and text size, which the window loads and saves.
class ChatPanel : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultTextSize = 8;

    ChatPanel(ClientSession &session, QWidget *panel, QWidget *window);

    ChatView *view() const { return m_mainchat; }
    QLineEdit *input() const { return m_mychat; }

    QStringList phrases() const { return m_phrases; }
    void setPhrases(const QStringList &phrases);
    quint32 textColour() const { return m_textColour; }
    void setTextColour(quint32 bgr);
    quint32 actionColour() const { return m_actionColour; }
    void setActionColour(quint32 bgr) { m_actionColour = bgr; }
    int textSize() const { return m_textSize; }
    void setTextSize(int size);

    // Empties the view and gives the input the focus.
    void clearChat();
    // Both "Scroll Chat Off" items show the same mark as the view's setting.
    void setScrollChatOff(bool on);

signals:
    // The view's own "Scroll Chat Off" item was chosen.
    void scrollChatOffChosen(bool on);

private:
    void buildPhraseButtons(QWidget *panel, QWidget *window);
    void buildMenus(QWidget *window);
    void applyChatFont();
    void updatePhraseTips();
    void send();

    ClientSession &m_session;
    ChatView *m_mainchat = nullptr;
    QLineEdit *m_mychat = nullptr;
    QWidget *m_phraseButtons[11] = {};
    QAction *m_scrollChatOffView = nullptr;
    QStringList m_phrases;
    quint32 m_textColour = 0x000000;
    quint32 m_actionColour = 0x000000;
    int m_textSize = DefaultTextSize;
};
