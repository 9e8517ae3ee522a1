#include "windows/chatpanel.h"

#include "app/launcher.h"
#include "base/gamedefaults.h"
#include "windows/chatview.h"
#include "client/clientsession.h"
#include "client/colortext.h"
#include "ui/widgets.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTextDocumentFragment>

#include <functional>

namespace {

const QString ChatPlaceholder = QStringLiteral("<Enter Chat Here>");

// The one-line chat input: the first key press clears the greeting text.
class ChatInput : public QLineEdit
{
public:
    explicit ChatInput(QWidget *parent) : QLineEdit(ChatPlaceholder, parent) {}
    std::function<void()> onEnter;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (text() == ChatPlaceholder)
            clear();
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (onEnter)
                onEnter();
            return; // the key is swallowed
        }
        QLineEdit::keyPressEvent(event);
    }
};

} // namespace

ChatPanel::ChatPanel(ClientSession &session, QWidget *panel, QWidget *window)
    : QObject(window), m_session(session)
{
    for (const char *phrase : Game::BuiltInPhrases)
        m_phrases.append(QString::fromLatin1(phrase));

    m_mainchat = new ChatView(panel);
    m_mainchat->setGeometry(466, 224, 264, 231);
    connect(m_mainchat, &ChatView::openLink, this,
            [](const QString &url) { Launcher::instance().openUrl(QUrl(url)); });
    connect(m_mainchat, &ChatView::released, this, [this] { m_mychat->setFocus(); });

    auto *input = new ChatInput(panel);
    input->setObjectName(QStringLiteral("mychat"));
    input->setGeometry(466, 457, 263, 22);
    input->setFont(Widgets::arial(13));
    input->setMaxLength(ClientSession::MaxChatInput);
    input->onEnter = [this] { send(); };
    m_mychat = input;

    buildPhraseButtons(panel, window);
    buildMenus(window);
    applyChatFont();
    updatePhraseTips();
}

void ChatPanel::buildPhraseButtons(QWidget *panel, QWidget *window)
{
    const int phraseX[9] = {466, 493, 519, 546, 573, 599, 626, 652, 679};
    for (int i = 1; i <= 9; ++i) {
        auto *b = new Widgets::PhraseButton(Widgets::PhraseButton::Bubble, panel);
        b->setObjectName(QStringLiteral("b_phrase%1").arg(i));
        b->setGeometry(phraseX[i - 1], 200, 25, 19);
        connect(b, &QAbstractButton::clicked, this, [this, i] {
            m_session.sendPhrase(m_phrases.value(i - 1), m_actionColour);
            m_mychat->setFocus();
        });
        m_phraseButtons[i] = b;
    }
    auto *sounds = new Widgets::PhraseButton(Widgets::PhraseButton::Note, panel);
    sounds->setObjectName(QStringLiteral("b_phrase10"));
    sounds->setGeometry(706, 200, 25, 19);
    sounds->setToolTip(QStringLiteral("Chatter Sounds"));
    sounds->setAccessibleName(QStringLiteral("Chatter Sounds"));
    m_phraseButtons[10] = sounds;

    auto *popupSounds = new QMenu(window);
    popupSounds->setObjectName(QStringLiteral("popup_sounds"));
    const QStringList &captions = ClientSession::chatterCaptions();
    for (int n = 0; n < captions.size(); ++n) {
        QAction *item = popupSounds->addAction(captions.at(n));
        item->setObjectName(n == 0 ? QStringLiteral("Cancel1") : QStringLiteral("wave%1").arg(n));
        item->setToolTip(captions.at(n));
        connect(item, &QAction::triggered, this, [this, n] { m_session.sendChatterSound(n); });
    }
    connect(sounds, &QAbstractButton::clicked, this, [popupSounds, sounds] {
        popupSounds->popup(sounds->mapToGlobal(QPoint(sounds->width(), sounds->height())));
    });
}

void ChatPanel::buildMenus(QWidget *window)
{
    // The chat view's menu: Copy, Clear Main Chat and Scroll Chat Off, whose
    // check mark always matches the one in the Options menu.
    auto *popupMainchat = new QMenu(window);
    popupMainchat->setObjectName(QStringLiteral("popup_mainchat"));
    QAction *copy = popupMainchat->addAction(QStringLiteral("Copy"));
    copy->setObjectName(QStringLiteral("Copy1"));
    copy->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
    connect(copy, &QAction::triggered, this, [this] {
        const QString selected = m_mainchat->textCursor().selection().toPlainText();
        if (!selected.isEmpty())
            QGuiApplication::clipboard()->setText(selected);
    });
    QAction *clearView = popupMainchat->addAction(QStringLiteral("Clear Main Chat"));
    clearView->setObjectName(QStringLiteral("ClearMainChat2"));
    connect(clearView, &QAction::triggered, this, &ChatPanel::clearChat);
    m_scrollChatOffView = popupMainchat->addAction(QStringLiteral("Scroll Chat Off"));
    m_scrollChatOffView->setObjectName(QStringLiteral("ScrollChatOff2"));
    m_scrollChatOffView->setCheckable(true);
    connect(m_scrollChatOffView, &QAction::triggered, this, [this](bool on) {
        setScrollChatOff(on);
        emit scrollChatOffChosen(on);
    });
    m_mainchat->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_mainchat, &QWidget::customContextMenuRequested, this, [this, popupMainchat](const QPoint &at) {
        popupMainchat->popup(m_mainchat->viewport()->mapToGlobal(at));
    });

    // The input's menu: Paste replaces the whole line.
    auto *popupMychat = new QMenu(window);
    popupMychat->setObjectName(QStringLiteral("popup_mychat"));
    QAction *paste = popupMychat->addAction(QStringLiteral("Paste"));
    paste->setObjectName(QStringLiteral("Paste1"));
    paste->setShortcut(QKeySequence(QStringLiteral("Ctrl+V")));
    paste->setShortcutContext(Qt::WidgetShortcut);
    m_mychat->addAction(paste);
    connect(paste, &QAction::triggered, this, [this] {
        const QString text = QGuiApplication::clipboard()->text();
        if (!text.isEmpty())
            m_mychat->setText(text);
    });
    m_mychat->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_mychat, &QWidget::customContextMenuRequested, this, [this, popupMychat](const QPoint &at) {
        popupMychat->popup(m_mychat->mapToGlobal(at));
    });
}

void ChatPanel::setPhrases(const QStringList &phrases)
{
    m_phrases = phrases;
    updatePhraseTips();
}

void ChatPanel::updatePhraseTips()
{
    for (int i = 1; i <= 9; ++i) {
        const QString phrase = m_phrases.value(i - 1);
        m_phraseButtons[i]->setToolTip(phrase);
        m_phraseButtons[i]->setAccessibleName(
            QStringLiteral("Phrase %1: %2").arg(i).arg(phrase.isEmpty() ? QStringLiteral("none") : phrase));
    }
}

void ChatPanel::setTextColour(quint32 bgr)
{
    m_textColour = bgr;
    applyChatFont();
}

void ChatPanel::setTextSize(int size)
{
    m_textSize = size;
    applyChatFont();
}

void ChatPanel::applyChatFont()
{
    QFont chatFont(QStringLiteral("Liberation Sans"));
    chatFont.setPointSize(m_textSize > 0 && m_textSize < 100 ? m_textSize : DefaultTextSize);
    // Chat lines are placed glyph by glyph, without kerning or ligatures,
    // unless their script needs shaping to be read at all: a busy chat then
    // costs far less to lay out.
    chatFont.setStyleStrategy(QFont::PreferNoShaping);
    chatFont.setKerning(false);
    m_mainchat->setFont(chatFont);
    QPalette pal = m_mychat->palette();
    pal.setColor(QPalette::Text, QColor::fromRgb(Bgr::toArgb(m_textColour)));
    m_mychat->setPalette(pal);
}

void ChatPanel::clearChat()
{
    m_mainchat->clearChat();
    m_mychat->setFocus();
}

void ChatPanel::setScrollChatOff(bool on)
{
    m_mainchat->scrollChatOff = on;
    m_scrollChatOffView->setChecked(on);
}

void ChatPanel::send()
{
    if (m_mychat->text() == ChatPlaceholder)
        m_mychat->clear();
    if (m_session.sendit(m_mychat->text(), m_textColour, m_actionColour))
        m_mychat->clear();
}
