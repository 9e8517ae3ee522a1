#include "lobby/lobbywindow.h"

#include "app/appfolders.h"
#include "app/launcher.h"
#include "windows/tabout.h"
#include "ui/widgets.h"

#include "app/inifile.h"
#include "app/settings.h"
#include "net/joinaddresses.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QVBoxLayout>


const char *const LobbyWindow::SectionName = "lobby";
const char *const LobbyWindow::GameProgramName = "sudoku";

namespace {

const char *const NameKey = "Name";
const char *const AddressKey = "Address";

QString oneLine(const QString &text)
{
    QString line = text;
    return line.replace(u'\r', u' ').replace(u'\n', u' ').trimmed();
}

QLabel *fieldLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(Widgets::arial(13, true));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(96, 92, 141));
    label->setPalette(pal);
    return label;
}

QLineEdit *field(const QString &name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setFont(Widgets::arial(14));
    edit->setMinimumHeight(26);
    edit->setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid rgb(128, 0, 0); border-radius: 3px;"
                                       " padding: 1px 5px; background: white; }"
                                       "QLineEdit:focus { border: 2px solid rgb(128, 0, 0); }"));
    return edit;
}

// The round lamp that shows whether a game is linked.
QPixmap lamp(bool on)
{
    QPixmap pix(14, 14);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(5, 5), 8);
    glow.setColorAt(0, on ? QColor(170, 255, 170) : QColor(235, 235, 235));
    glow.setColorAt(1, on ? QColor(0, 150, 0) : QColor(150, 150, 150));
    p.setBrush(glow);
    p.setPen(QPen(on ? QColor(0, 90, 0) : QColor(110, 110, 110), 1));
    p.drawEllipse(QRectF(1, 1, 12, 12));
    return pix;
}

} // namespace

LobbyWindow::LobbyWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("LobbyWindow"));
    setWindowTitle(QStringLiteral("Sudoku Lobby"));
    setFixedSize(380, 400);
    Widgets::applyTiledBackground(this);
    m_settingsPath = settingsFilePath();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 10);
    layout->setSpacing(8);

    // Header: the logo on a soft band.
    auto *header = new QFrame(this);
    header->setObjectName(QStringLiteral("panel_header"));
    header->setFixedHeight(84);
    header->setStyleSheet(QStringLiteral(
        "QFrame#panel_header { border-bottom: 2px solid rgb(128, 0, 0);"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #f3e7e2); }"));
    auto *headerLayout = new QVBoxLayout(header);
    headerLayout->setContentsMargins(0, 4, 0, 4);
    headerLayout->setSpacing(0);
    auto *logo = new QLabel(header);
    logo->setPixmap(QPixmap::fromImage(Tabout::renderLogo()));
    logo->setAlignment(Qt::AlignCenter);
    auto *subtitle = new QLabel(QStringLiteral("Lobby  \u2022  play with friends"), header);
    subtitle->setAlignment(Qt::AlignCenter);
    subtitle->setFont(Widgets::arial(12, true));
    QPalette subPal = subtitle->palette();
    subPal.setColor(QPalette::WindowText, QColor(96, 92, 141));
    subtitle->setPalette(subPal);
    headerLayout->addWidget(logo);
    headerLayout->addWidget(subtitle);
    layout->addWidget(header);

    auto *form = new QGridLayout;
    form->setContentsMargins(20, 4, 20, 0);
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(8);
    m_name = field(QStringLiteral("edit_name"), this);
    m_name->setPlaceholderText(QStringLiteral("the name others see"));
    m_name->setMaxLength(40);
    m_address = field(QStringLiteral("edit_address"), this);
    m_address->setPlaceholderText(QStringLiteral("host name or address"));
    auto *host = new Widgets::PictureButton(QStringLiteral("Host a game"), this);
    host->setObjectName(QStringLiteral("button_host"));
    host->setFixedSize(130, 28);
    auto *join = new Widgets::PictureButton(QStringLiteral("Join a game"), this);
    join->setObjectName(QStringLiteral("button_join"));
    join->setFixedSize(130, 28);
    form->addWidget(fieldLabel(QStringLiteral("Your name"), this), 0, 0, 1, 2);
    form->addWidget(m_name, 1, 0);
    form->addWidget(host, 1, 1);
    form->addWidget(fieldLabel(QStringLiteral("Host's address"), this), 2, 0, 1, 2);
    form->addWidget(m_address, 3, 0);
    form->addWidget(join, 3, 1);
    form->setColumnStretch(0, 1);
    layout->addLayout(form);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("label_status"));
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setWordWrap(true);
    m_status->setFont(Widgets::arial(12, true));
    m_status->setMinimumHeight(32);
    layout->addWidget(m_status);

    // Where friends can join the game this lobby hosts, with a Copy button.
    m_addressPanel = new QFrame(this);
    m_addressPanel->setObjectName(QStringLiteral("panel_addresses"));
    m_addressPanel->setStyleSheet(QStringLiteral(
        "QFrame#panel_addresses { background: white; border: 1px solid rgb(96, 92, 141); border-radius: 4px; }"));
    auto *addressRow = new QHBoxLayout(m_addressPanel);
    addressRow->setContentsMargins(10, 6, 6, 6);
    addressRow->setSpacing(8);
    m_addresses = new QLabel(m_addressPanel);
    m_addresses->setObjectName(QStringLiteral("label_addresses"));
    m_addresses->setWordWrap(true);
    m_addresses->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_addresses->setFont(Widgets::arial(12, true));
    QPalette addressPal = m_addresses->palette();
    addressPal.setColor(QPalette::WindowText, QColor(96, 92, 141));
    m_addresses->setPalette(addressPal);
    auto *copy = new Widgets::PictureButton(QStringLiteral("Copy"), m_addressPanel);
    copy->setObjectName(QStringLiteral("button_copy"));
    copy->setFixedSize(60, 26);
    addressRow->addWidget(m_addresses, 1);
    addressRow->addWidget(copy, 0, Qt::AlignVCenter);
    auto *addressMargin = new QHBoxLayout;
    addressMargin->setContentsMargins(20, 0, 20, 0);
    addressMargin->addWidget(m_addressPanel);
    layout->addLayout(addressMargin);
    m_addressPanel->hide();
    layout->addStretch(1);

    auto *linkRow = new QHBoxLayout;
    linkRow->setContentsMargins(20, 0, 20, 0);
    linkRow->setSpacing(6);
    m_linkDot = new QLabel(this);
    m_linkDot->setObjectName(QStringLiteral("image_link"));
    m_linkText = new QLabel(this);
    m_linkText->setObjectName(QStringLiteral("label_link"));
    m_linkText->setFont(Widgets::arial(12));
    linkRow->addStretch(1);
    linkRow->addWidget(m_linkDot);
    linkRow->addWidget(m_linkText);
    linkRow->addStretch(1);
    layout->addLayout(linkRow);

    connect(host, &QAbstractButton::clicked, this, &LobbyWindow::hostGame);
    connect(join, &QAbstractButton::clicked, this, &LobbyWindow::joinGame);
    connect(m_address, &QLineEdit::returnPressed, this, &LobbyWindow::joinGame);
    connect(copy, &QAbstractButton::clicked, this, &LobbyWindow::copyJoinText);

    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            m_links.append(socket);
            // A game links back once it has logged in; the last one started
            // is the one that links.
            if (m_startedHost && !m_hostLink)
                m_hostLink = socket;
            // Nothing is expected on the link; whatever comes is dropped.
            connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_links.removeOne(socket);
                if (m_hostLink == socket)
                    m_hostLink = nullptr;
                socket->deleteLater();
                updateLinkState();
            });
        }
        updateLinkState();
    });
    updateLinkState();
    setStatus(QStringLiteral("Enter your name, then host a game or join one."));
}

LobbyWindow::~LobbyWindow()
{
    // The link sockets go with the listener, after this window's own members:
    // they must not call back into a list that is already gone.
    for (QTcpSocket *socket : std::as_const(m_links))
        socket->disconnect(this);
}

QString LobbyWindow::name() const
{
    return oneLine(m_name->text());
}

QString LobbyWindow::address() const
{
    return oneLine(m_address->text());
}

void LobbyWindow::setName(const QString &name)
{
    m_name->setText(name);
}

void LobbyWindow::setAddress(const QString &address)
{
    m_address->setText(address);
}

void LobbyWindow::loadSettings()
{
    CSimpleIniA ini;
    if (IniFile::read(ini, m_settingsPath) != IniFile::ReadResult::Read)
        return;
    m_name->setText(QString::fromUtf8(ini.GetValue(SectionName, NameKey, "")));
    m_address->setText(QString::fromUtf8(ini.GetValue(SectionName, AddressKey, "")));
}

bool LobbyWindow::saveSettings() const
{
    const QByteArray name = this->name().toUtf8();
    const QByteArray address = this->address().toUtf8();
    return IniFile::rewrite(m_settingsPath, [&](CSimpleIniA &ini) {
        ini.SetValue(SectionName, NameKey, name.constData());
        ini.SetValue(SectionName, AddressKey, address.constData());
    });
}

QString LobbyWindow::findGameProgram()
{
    const QString name = QString::fromLatin1(GameProgramName);
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    const QFileInfo info(beside);
    if (info.isFile() && info.isExecutable())
        return beside;
    return QStandardPaths::findExecutable(name);
}

bool LobbyWindow::listen(quint16 port)
{
    if (m_server->isListening())
        m_server->close();
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        setStatus(QStringLiteral("Port %1 is taken: is another lobby running?").arg(port), true);
        return false;
    }
    return true;
}

quint16 LobbyWindow::linkPort() const
{
    return m_server->serverPort();
}

bool LobbyWindow::hostGame()
{
    // The hosting game runs the host itself and connects to it locally.
    return startGame(QStringLiteral("127.0.0.1"), true);
}

bool LobbyWindow::joinGame()
{
    if (address().isEmpty()) {
        setStatus(QStringLiteral("Please enter the host's address."), true);
        m_address->setFocus();
        return false;
    }
    return startGame(address(), false);
}

bool LobbyWindow::startGame(const QString &address, bool hosting)
{
    const QString player = name();
    if (player.isEmpty()) {
        setStatus(QStringLiteral("Please enter your name."), true);
        m_name->setFocus();
        return false;
    }
    // "+" separates the fields of the game's messages.
    if (player.contains(u'+')) {
        setStatus(QStringLiteral("A name cannot contain \"+\"."), true);
        m_name->setFocus();
        return false;
    }
    const QString program = m_gameProgram.isEmpty() ? findGameProgram() : m_gameProgram;
    if (program.isEmpty()) {
        setStatus(QStringLiteral("The game was not found beside the lobby."), true);
        return false;
    }
    const QStringList parameters{player, address, hosting ? QStringLiteral("true") : QStringLiteral("false")};
    if (!Launcher::instance().startDetached(program, parameters)) {
        setStatus(QStringLiteral("The game could not be started."), true);
        return false;
    }
    saveSettings();
    m_startedHost = hosting;
    setStatus(hosting ? QStringLiteral("Starting your game as its host...")
                      : QStringLiteral("Joining the game at %1...").arg(address));
    return true;
}

void LobbyWindow::setStatus(const QString &text, bool error)
{
    m_status->setText(text);
    QPalette pal = m_status->palette();
    pal.setColor(QPalette::WindowText, error ? QColor(200, 0, 0) : QColor(96, 92, 141));
    m_status->setPalette(pal);
}

void LobbyWindow::updateLinkState()
{
    const int count = connectedGames();
    const bool wasLinked = m_linkText->text() == QStringLiteral("A game is connected");
    if (count > 0 && !wasLinked)
        setStatus(QStringLiteral("Your game is running. Have fun!"));
    else if (count == 0 && wasLinked)
        setStatus(QStringLiteral("The game has closed. Host or join another one."));
    m_linkDot->setPixmap(lamp(count > 0));
    m_linkText->setText(count > 0 ? QStringLiteral("A game is connected") : QStringLiteral("No game running"));
    showJoinText();
    emit linksChanged(count);
}

void LobbyWindow::showJoinText()
{
    if (!m_hostLink) {
        if (m_watcher && !m_watcher->directories().isEmpty())
            m_watcher->removePaths(m_watcher->directories());
        m_addresses->clear();
        m_addressPanel->hide();
        return;
    }
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &LobbyWindow::showJoinText);
    }
    const QString folder = QFileInfo(m_settingsPath).absolutePath();
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
    // The same addresses, and the same words, as the hosting game's chat lines.
    QString text = JoinAddresses::joinAddressLine(
        JoinAddresses::joinAddresses(addressSource ? addressSource() : JoinAddresses::interfaceAddresses()),
        Game::GamePort);
    const QString internet = Settings::readText(m_settingsPath, Settings::InternetAddressKey).trimmed();
    if (!internet.isEmpty())
        text += u'\n' + JoinAddresses::internetAddressLine(internet, Game::GamePort);
    m_addresses->setText(text);
    m_addressPanel->show();
}

QString LobbyWindow::joinText() const
{
    return m_addresses->text();
}

void LobbyWindow::copyJoinText()
{
    if (!m_addresses->text().isEmpty())
        QGuiApplication::clipboard()->setText(m_addresses->text());
}
