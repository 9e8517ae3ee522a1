#pragma once

#include "windows/httpdownload.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

// The window shown beside a solo start: it offers to download and start the
// lobby's installer, to go on with the solo game, or to leave the game for an
// installed lobby.
class Tdownload : public QDialog
{
    Q_OBJECT
public:
    // Where the installer is published, and the SHA-256 of the published
    // file: a download is started only when it matches.
    static const char *const DownloadAddress;
    static const char *const InstallerSha256;
    // The installed lobby program, looked for beside the game, then on PATH.
    static const char *const LobbyProgramName;
    static const char *const InstallerParameters; // "/SP- /silent /noicons"

    explicit Tdownload(QWidget *parent = nullptr);

    void setDownloadAddress(const QString &address) { m_address = address; }
    QString downloadAddress() const { return m_address; }
    // Lower-case hex digest.
    void setExpectedSha256(const QByteArray &hex) { m_expectedSha256 = hex.toLower(); }
    // The folder the installer is saved in; by default the program's folder,
    // or the per-user folder when that is not writable.
    void setDownloadFolder(const QString &folder) { m_folder = folder; }
    QString downloadFolder() const { return m_folder; }
    // The lobby program that "Play with Others" starts; empty looks it up.
    void setLobbyProgram(const QString &path) { m_lobbyProgram = path; }
    static QString findLobbyProgram();

    // The text after the address's last "/".
    static QString fileNameOf(const QString &address);

    // The settings file that keeps "Don't show this again"; by default the
    // game's own.
    void setSettingsPath(const QString &path) { m_settingsPath = path; }
    // A solo start offers the lobby: shows the window unless the player
    // asked not to see it again.
    void offer();

    bool isDownloading() const { return m_http->isRunning(); }

signals:
    // The game should close now (as its File > Exit does).
    void exitRequested();

public slots:
    void getbuttonClick();
    void abortbuttonClick();
    void Button1Click();
    void Button2Click();

private:
    void HttpCli1HeaderData();
    void HttpCli1DocBegin();
    void HttpCli1DocData(qint64 received);
    void HttpCli1Finished(HttpDownload::Outcome outcome, qint64 bytes, const QByteArray &sha256,
                          const QString &errorText);
    void setTag(int tag);
    int tag() const;
    void showMessage(const QString &text);

    HttpDownload *m_http = nullptr;
    QString m_address;
    QByteArray m_expectedSha256;
    QString m_folder;
    QString m_lobbyProgram;
    QString m_filePath;
    QString m_settingsPath;

    QPushButton *m_getbutton = nullptr;
    QPushButton *m_abortbutton = nullptr;
    QLabel *m_infolabel = nullptr;
    QLabel *m_infolabel2 = nullptr;
    QLabel *m_infolabel3 = nullptr;
    QCheckBox *m_dontShow = nullptr;
};
