#include "windows/tdownload.h"
#include "windows/accessiblecaption.h"

#include "app/appfolders.h"
#include "app/launcher.h"
#include "app/settings.h"
#include "ui/jpegdecoder.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

// The installer as published on our site. Both lines change together when a
// new installer is put up.
const char *const Tdownload::DownloadAddress = "http://lobby.sudoku-game.example/lobby/brenviklobby-setup.exe";
const char *const Tdownload::InstallerSha256 = "d2ebd7292c0faea20eef5f5c86da9573072dd8faebcc9b93a6116f365851f70e";
const char *const Tdownload::LobbyProgramName = "sudoku-lobby";
const char *const Tdownload::InstallerParameters = "/SP- /silent /noicons";

namespace {

const QColor PanelBorder(96, 92, 141);
const QColor TextBlue(113, 133, 187);

// Button face grey with a faint diagonal weave.
void applyGreyTiles(QWidget *window)
{
    QPixmap tile(16, 16);
    tile.fill(QColor(212, 208, 200));
    {
        QPainter p(&tile);
        p.setPen(QColor(204, 200, 192));
        p.drawLine(0, 15, 15, 0);
        p.setPen(QColor(219, 216, 209));
        p.drawLine(0, 0, 15, 15);
    }
    QPalette pal = window->palette();
    pal.setBrush(QPalette::Window, QBrush(tile));
    window->setPalette(pal);
    window->setAutoFillBackground(true);
}

QFrame *makePanel(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setGeometry(geometry);
    panel->setStyleSheet(QStringLiteral("QFrame#%1 { background: white; border: 1px solid rgb(96, 92, 141); }")
                             .arg(name));
    return panel;
}

QLabel *makeText(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(Widgets::arial(16, true));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, TextBlue);
    label->setPalette(pal);
    return label;
}

QLabel *makeInfoLine(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(Widgets::arial(13, true));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, PanelBorder);
    label->setPalette(pal);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                        const QFont &font, const QColor &colour)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setFont(font);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::TabFocus);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; border: 1px solid rgb(96, 92, 141); border-radius: 5px;"
                       " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #e2e0ec); }"
                       "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
                       " stop:0 #ffffff, stop:1 #d4d0ea); }"
                       "QPushButton:pressed { background: #cfcbe2; }"
                       "QPushButton:disabled { color: #a8a6b4; border-color: #bdbbcc; background: #f1f0f5; }")
            .arg(colour.name()));
    return button;
}

} // namespace

Tdownload::Tdownload(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tdownload"));
    setWindowTitle(QStringLiteral("Download The Brenvik Lobby"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::WindowStaysOnTopHint);
    setFixedSize(724, 500);
    applyGreyTiles(this);

    m_http = new HttpDownload(this);
    m_address = QString::fromLatin1(DownloadAddress);
    m_expectedSha256 = QByteArray(InstallerSha256);
    m_folder = settingsFolder();
    m_settingsPath = settingsFilePath();

    // Left: the advertisement and the download.
    QFrame *left = makePanel(this, QStringLiteral("panel_left"), QRect(8, 6, 450, 487));
    auto *picture = new QLabel(left);
    picture->setObjectName(QStringLiteral("image_ad"));
    picture->setAccessibleName(QStringLiteral("The lobby"));
    picture->setGeometry(25, 4, 400, 339);
    QString error;
    const QImage ad = JpegDecoder::decodeFile(QStringLiteral(":/pictures/lobbyad.jpg"), &error);
    if (!ad.isNull())
        picture->setPixmap(QPixmap::fromImage(ad));
    auto *closed = new QLabel(QStringLiteral("IS CLOSED"), left);
    closed->setObjectName(QStringLiteral("label_closed"));
    closed->setFont(Widgets::arial(30, true));
    closed->setStyleSheet(QStringLiteral("QLabel { color: rgb(220, 0, 0); background: rgba(255, 255, 255, 215);"
                                         " border: 3px solid rgb(220, 0, 0); border-radius: 6px; padding: 2px 12px; }"));
    closed->adjustSize();
    closed->move(64, 77);
    makeText(left,
             QStringLiteral("Download The Brenvik Lobby Now to play this  and other exciting games online with "
                            "other players!"),
             QRect(10, 344, 430, 40));
    m_getbutton = makeButton(left, QStringLiteral("getbutton"),
                             QStringLiteral("Download And Install The Brenvik Lobby Now"), QRect(11, 386, 428, 42),
                             Widgets::arial(19), QColor(210, 0, 0));
    m_infolabel = makeInfoLine(left, QStringLiteral("infolabel"), QRect(4, 430, 442, 15));
    m_infolabel3 = makeInfoLine(left, QStringLiteral("infolabel3"), QRect(4, 445, 442, 15));
    AccessibleCaption::set(m_infolabel, QStringLiteral("Download"));
    AccessibleCaption::set(m_infolabel3, QStringLiteral("Download details"));
    m_infolabel2 = new QLabel(left);
    m_infolabel2->setObjectName(QStringLiteral("infolabel2"));
    m_infolabel2->hide();
    m_abortbutton = makeButton(left, QStringLiteral("abortbutton"), QStringLiteral("Stop Download"),
                               QRect(144, 460, 161, 25), Widgets::arial(16, true), PanelBorder);
    setTag(1);

    // Upper right: go on alone.
    QFrame *solo = makePanel(this, QStringLiteral("panel_solo"), QRect(460, 6, 257, 228));
    makeText(solo,
             QStringLiteral("To proceed to the game without the ability to play against others click the button "
                            "below."),
             QRect(12, 20, 233, 110));
    makeButton(solo, QStringLiteral("Button1"), QStringLiteral("Play Solo Game"), QRect(42, 150, 172, 42),
               Widgets::arial(19), QColor(210, 0, 0));
    m_dontShow = new QCheckBox(QStringLiteral("Don't show this again"), solo);
    m_dontShow->setObjectName(QStringLiteral("check_dontshow"));
    m_dontShow->setGeometry(42, 198, 200, 22);
    m_dontShow->setFont(Widgets::arial(13, true));
    m_dontShow->setCursor(Qt::PointingHandCursor);
    m_dontShow->setStyleSheet(QStringLiteral("QCheckBox { color: rgb(96, 92, 141); background: transparent; }"));

    // Lower right: the installed lobby.
    QFrame *others = makePanel(this, QStringLiteral("panel_others"), QRect(460, 236, 257, 257));
    makeText(others,
             QStringLiteral("If you already have The Brenvik Lobby and you wish to play with others then click the "
                            "button below to close this game and open The Brenvik Lobby."),
             QRect(12, 20, 233, 140));
    makeButton(others, QStringLiteral("Button2"), QStringLiteral("Play with Others"), QRect(42, 180, 172, 42),
               Widgets::arial(19), QColor(210, 0, 0));

    connect(m_getbutton, &QPushButton::clicked, this, &Tdownload::getbuttonClick);
    connect(m_abortbutton, &QPushButton::clicked, this, &Tdownload::abortbuttonClick);
    connect(findChild<QPushButton *>(QStringLiteral("Button1")), &QPushButton::clicked, this,
            &Tdownload::Button1Click);
    connect(findChild<QPushButton *>(QStringLiteral("Button2")), &QPushButton::clicked, this,
            &Tdownload::Button2Click);
    // The choice is kept at once: the next solo start reads it before any login.
    connect(m_dontShow, &QCheckBox::clicked, this, [this](bool hide) {
        Settings::writeSwitch(m_settingsPath, Settings::HideDownloadKey, hide);
    });
    connect(m_http, &HttpDownload::headerLine, this, &Tdownload::HttpCli1HeaderData);
    connect(m_http, &HttpDownload::docBegin, this, &Tdownload::HttpCli1DocBegin);
    connect(m_http, &HttpDownload::docData, this, &Tdownload::HttpCli1DocData);
    connect(m_http, &HttpDownload::finished, this, &Tdownload::HttpCli1Finished);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString Tdownload::fileNameOf(const QString &address)
{
    return address.mid(address.lastIndexOf(u'/') + 1);
}

QString Tdownload::findLobbyProgram()
{
    const QString name = QString::fromLatin1(LobbyProgramName);
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    const QFileInfo info(beside);
    if (info.isFile() && info.isExecutable())
        return beside;
    return QStandardPaths::findExecutable(name);
}

void Tdownload::setTag(int tag)
{
    m_infolabel->setProperty("Tag", tag);
}

int Tdownload::tag() const
{
    return m_infolabel->property("Tag").toInt();
}

void Tdownload::showMessage(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Sudoku"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void Tdownload::getbuttonClick()
{
    if (m_http->isRunning())
        return;
    setTag(1);
    const QString name = fileNameOf(m_address);
    m_infolabel2->setText(name);
    m_filePath = QDir(m_folder).filePath(name);
    QString error;
    if (name.isEmpty() || !m_http->start(m_address, m_filePath, &error)) {
        setTag(2);
        m_infolabel->setText(QStringLiteral("Download Failed"));
        m_infolabel3->setText(name.isEmpty() ? QStringLiteral("The download address names no file.") : error);
        return;
    }
    m_getbutton->setEnabled(false);
    m_abortbutton->setEnabled(true);
    m_infolabel->setText(QStringLiteral("Loading"));
    m_infolabel3->clear();
}

void Tdownload::abortbuttonClick()
{
    m_http->abort();
    m_infolabel->setText(QStringLiteral("Download has been aborted."));
    setTag(2);
    m_infolabel3->setText(QStringLiteral("Download Aborted"));
}

void Tdownload::HttpCli1HeaderData()
{
    m_infolabel->setText(m_infolabel->text() + u'.');
}

void Tdownload::HttpCli1DocBegin()
{
    m_infolabel3->setText(QStringLiteral("Downloading: ") + m_infolabel2->text());
}

void Tdownload::HttpCli1DocData(qint64 received)
{
    m_infolabel->setText(QString::number(received) + QStringLiteral(" bytes"));
}

void Tdownload::HttpCli1Finished(HttpDownload::Outcome outcome, qint64, const QByteArray &sha256,
                                 const QString &errorText)
{
    switch (outcome) {
    case HttpDownload::Outcome::Completed:
        m_infolabel->setText(QStringLiteral("Received %1 bytes").arg(QFileInfo(m_filePath).size()));
        break;
    case HttpDownload::Outcome::HttpFailure:
        m_infolabel->setText(QStringLiteral("Download Aborted"));
        setTag(2);
        break;
    case HttpDownload::Outcome::OtherError:
        m_infolabel->setText(QStringLiteral("Download Failed"));
        m_infolabel3->setText(QStringLiteral("The download failed: ") + errorText);
        setTag(2);
        break;
    }
    m_getbutton->setEnabled(true);
    m_abortbutton->setEnabled(false);
    if (tag() == 2)
        return;

    // Only the installer we published is ever started.
    if (sha256 != m_expectedSha256) {
        m_infolabel3->setText(QStringLiteral("The file is not the published installer; it was not started."));
        return;
    }
    m_infolabel3->setText(QStringLiteral("Installing"));
    QFile::setPermissions(m_filePath, QFile::permissions(m_filePath) | QFileDevice::ExeOwner
                                          | QFileDevice::ExeGroup | QFileDevice::ExeOther);
    const QStringList parameters = QString::fromLatin1(InstallerParameters).split(u' ');
    if (!Launcher::instance().startDetached(m_filePath, parameters)) {
        showMessage(QStringLiteral("An Error has Occurred."));
        return;
    }
    emit exitRequested();
}

void Tdownload::offer()
{
    const bool hide = Settings::readSwitch(m_settingsPath, Settings::HideDownloadKey, false);
    m_dontShow->setChecked(hide);
    if (!hide)
        show();
}

void Tdownload::Button1Click()
{
    hide();
}

void Tdownload::Button2Click()
{
    const QString program = m_lobbyProgram.isEmpty() ? findLobbyProgram() : m_lobbyProgram;
    if (program.isEmpty() || !QFileInfo(program).isFile()) {
        showMessage(QStringLiteral("Please close the game and open the Brenvik Lobby using the icon on your "
                                   "desktop or using the your Window's start-up menu."));
        return;
    }
    if (!Launcher::instance().startDetached(program, {})) {
        showMessage(QStringLiteral("An Error has Occurred."));
        return;
    }
    emit exitRequested();
}
