#pragma once

#include "app/settings.h"
#include "client/clientsession.h"
#include "base/gamedefaults.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QMessageBox;
class Actions;
class BoardPanel;
class ChatPanel;
class ChatView;
class HostLink;
class SoundOutput;
class TServer;
class Tabout;
class Tdownload;
class Tgamestart;
class Thelp;
class Tphrases;
class Tspylist;
class Ttallylist;

// The main window, composed of the menu bar's actions, the board panel and the
// chat panel over the session and its host link. It loads and saves the
// settings and closes; the session holds the rules, the panels show them.
class Tchat : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 736;
    static constexpr int ClientHeight = 488;
    static constexpr int DefaultWidth = 734;
    static constexpr int DefaultHeight = 485;

    // The other windows, created after this one (the launch may use any).
    // Those not given are built on first use when the window builds them
    // (Missing::BuildOnFirstUse) and are then its own; else they are absent.
    struct Windows
    {
        Ttallylist *tally = nullptr;
        Tabout *about = nullptr;
        Tdownload *download = nullptr;
        Tgamestart *gamestart = nullptr;
        Thelp *help = nullptr;
        Tphrases *phrases = nullptr;
        TServer *server = nullptr;
        Tspylist *spylist = nullptr;
    };

    explicit Tchat(QWidget *parent = nullptr);
    ~Tchat() override;

    enum class Missing { Absent, BuildOnFirstUse };
    void setWindows(const Windows &windows, Missing missing = Missing::Absent);
    void setLaunchParameters(const QStringList &parameters) { m_parameters = parameters; }
    ClientSession &session() { return m_session; }
    ChatView *chatView() const;

    // The game and lobby connections and the launch, run when the window is first shown.
    HostLink &link() { return *m_link; }

    void loadinifile();
    void saveinifile();
    QString settingsPath;

    void setSoundOutput(SoundOutput *output) { m_sound = output; }

    // Shows an error text to the player without a nested event loop; while one
    // such box is open, further texts go to the standard error stream.
    void showError(const QString &text);

    // The remembered bounds (last loaded or saved on closing); none before the
    // settings were first loaded, so a window closed before that saves nothing.
    std::optional<QRect> rememberedBounds() const { return m_remembered; }
    // The window's place (its frame's top-left corner) and size, as stored.
    QRect bounds() const;
    void setBounds(const QRect &bounds);

    void refresh();
    // Closes without the question a host is asked while others are seated
    // (a signal to end, a lost connection).
    void closeWithoutAsking();
    // Bounds to use for stored bounds: as they are while a screen shows the
    // window's title bar, else moved onto the primary screen.
    static QRect placeOnScreen(const QRect &stored);

signals:
    // The window has closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void connectActions();
    // The window in a slot, built and connected now if it is built on first use.
    template <typename W>
    W *window(W *Windows::*slot);
    void connectWindow(Ttallylist *tally);
    void connectWindow(Tabout *about);
    void connectWindow(Tdownload *download);
    void connectWindow(Tgamestart *gamestart);
    void connectWindow(Thelp *help);
    void connectWindow(Tphrases *phrases);
    void connectWindow(Tspylist *spylist);
    void chooseColour(bool actionColour);
    void showMessage(const QString &text, bool closeAfter);
    bool othersSeated() const;
    QStringList opponentNames() const;
    // The settings as the window shows them now.
    Settings windowSettings() const;
    // Shows the line about a failed save in the chat (told once per run).
    void showSaveFailure(const QString &line);

    ClientSession m_session;
    Windows m_windows;
    QStringList m_parameters;
    bool m_launched = false;
    bool m_closeAfterMessage = false;
    std::optional<QRect> m_remembered;
    // What the settings file holds as far as this window knows: the form's
    // values until it is loaded. Saves write only what differs from it.
    Settings m_synced;
    bool m_toldSettingsFailure = false;
    SoundOutput *m_sound = nullptr;
    QPointer<QMessageBox> m_errorBox;
    QPointer<QMessageBox> m_exitQuestion;
    bool m_exitConfirmed = false;
    QHash<QString, QPointer<QMessageBox>> m_messageBoxes; // by text; the session's texts are few

    HostLink *m_link = nullptr;
    Actions *m_actions = nullptr;
    BoardPanel *m_board = nullptr;
    ChatPanel *m_chat = nullptr;

    Missing m_missing = Missing::Absent;
    // A spectators' window built after hosting began offers removal at once.
    bool m_spectatorsRemovable = false;
    // The game options last loaded (the marked game type, the puzzle type),
    // for a game options window built after the loading.
    std::optional<std::pair<int, int>> m_loadedGameOptions;
    // The windows built here, closed and deleted before the main window.
    std::vector<std::unique_ptr<QWidget>> m_built;
};
