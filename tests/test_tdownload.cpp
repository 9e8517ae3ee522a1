#include "app/launcher.h"
#include "app/settings.h"
#include "windows/tdownload.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct RecordingLauncher : Launcher
{
    struct Start
    {
        QString program;
        QStringList arguments;
    };
    QList<Start> starts;
    bool startResult = true;
    bool openUrl(const QUrl &) override { return true; }
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        starts.append({program, arguments});
        return startResult;
    }
};

// A loopback web server answering one way, by hand.
class TestServer : public QObject
{
    Q_OBJECT
public:
    enum Mode { Serve, NotFound, Hold, CutMidBody };

    Mode mode = Serve;
    QByteArray body;
    QByteArray request;
    bool requestComplete = false;

    bool start() { return server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0); }
    QString address(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }

    TestServer()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRead(socket); });
            }
        });
    }

private:
    void onRead(QTcpSocket *socket)
    {
        request += socket->readAll();
        if (requestComplete || !request.contains("\r\n\r\n"))
            return;
        requestComplete = true;
        switch (mode) {
        case Serve:
            socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                          + QByteArray::number(body.size()) + "\r\n\r\n");
            socket->write(body);
            socket->disconnectFromHost();
            break;
        case NotFound:
            socket->write("HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found");
            socket->disconnectFromHost();
            break;
        case Hold:
            break;
        case CutMidBody:
            socket->write("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n");
            socket->write(body.left(body.size() / 3));
            socket->disconnectFromHost();
            break;
        }
    }

    QTcpServer server;
};

QByteArray someBody(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 12345;
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 23);
    }
    return bytes;
}

QString text(const Tdownload &window, const char *name)
{
    return window.findChild<QLabel *>(QString::fromLatin1(name))->text();
}

QPushButton *button(const Tdownload &window, const char *name)
{
    return window.findChild<QPushButton *>(QString::fromLatin1(name));
}

QMessageBox *messageBox(const Tdownload &window)
{
    const auto boxes = window.findChildren<QMessageBox *>();
    return boxes.isEmpty() ? nullptr : boxes.last();
}

} // namespace

class TestTdownload : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { HttpDownload::setModulePath(QStringLiteral(SUDOKU_DOWNLOAD_MODULE)); }
    void init();
    void cleanup();
    void completedDownloadStartsTheInstaller();
    void mismatchingFileIsKeptAndNotStarted();
    void stopBeforeAnyByte();
    void httpFailureResetsButtons();
    void transferErrorStartsNothing_data();
    void transferErrorStartsNothing();
    void closingDuringADownload();
    void withoutTheModule_data();
    void withoutTheModule();
    void playSoloAndPlayWithOthers();
    void dontShowThisAgainIsKept();

private:
    void prepare(Tdownload &window, const QByteArray &expectedSha)
    {
        window.setDownloadAddress(server->address(QStringLiteral("/lobby/brenviklobby-setup.exe")));
        window.setDownloadFolder(dir->path());
        window.setExpectedSha256(expectedSha);
    }
    QString savedFile() const { return dir->filePath(QStringLiteral("brenviklobby-setup.exe")); }

    RecordingLauncher launcher;
    std::unique_ptr<TestServer> server;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestTdownload::init()
{
    launcher = RecordingLauncher();
    Launcher::setInstance(&launcher);
    server = std::make_unique<TestServer>();
    QVERIFY(server->start());
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestTdownload::cleanup()
{
    Launcher::setInstance(nullptr);
    server.reset();
    dir.reset();
}

void TestTdownload::completedDownloadStartsTheInstaller()
{
    server->body = someBody(300 * 1024);
    Tdownload window;
    prepare(window, QCryptographicHash::hash(server->body, QCryptographicHash::Sha256).toHex());
    QSignalSpy exits(&window, &Tdownload::exitRequested);
    // What the two lines show as each notification arrives.
    auto *http = window.findChild<HttpDownload *>();
    QVERIFY(http);
    QStringList progress;
    QString statusAtBodyStart;
    connect(http, &HttpDownload::headerLine, this, [&] { progress << text(window, "infolabel"); });
    connect(http, &HttpDownload::docData, this, [&] { progress << text(window, "infolabel"); });
    connect(http, &HttpDownload::docBegin, this, [&] { statusAtBodyStart = text(window, "infolabel3"); });

    QTest::mouseClick(button(window, "getbutton"), Qt::LeftButton);
    QCOMPARE(text(window, "infolabel"), QStringLiteral("Loading"));
    QVERIFY(!button(window, "getbutton")->isEnabled());
    QVERIFY(button(window, "abortbutton")->isEnabled());
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("infolabel2"))->text(),
             QStringLiteral("brenviklobby-setup.exe"));

    QTRY_COMPARE(exits.count(), 1);
    QCOMPARE(statusAtBodyStart, QStringLiteral("Downloading: brenviklobby-setup.exe"));
    // A dot per header line (status line, two headers), then the running byte count.
    QVERIFY(progress.size() > 4);
    QCOMPARE(progress.mid(0, 3), QStringList({QStringLiteral("Loading."), QStringLiteral("Loading.."),
                                              QStringLiteral("Loading...")}));
    QCOMPARE(progress.last(), QStringLiteral("%1 bytes").arg(server->body.size()));
    // The request: an HTTP/1.0 GET with our own User-Agent and Accept lines.
    const QList<QByteArray> lines = server->request.split('\n');
    QCOMPARE(lines.first().trimmed(), QByteArray("GET /lobby/brenviklobby-setup.exe HTTP/1.0"));
    QList<QByteArray> headers;
    for (const QByteArray &line : lines)
        headers.append(line.trimmed());
    QVERIFY(headers.contains("User-Agent: Mozilla/3.0 (compatible)"));
    QVERIFY(headers.contains("Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"));

    QFile file(savedFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), server->body);
    QVERIFY(file.permissions() & QFileDevice::ExeOwner);
    QCOMPARE(launcher.starts.size(), 1);
    QCOMPARE(launcher.starts.first().program, savedFile());
    QCOMPARE(launcher.starts.first().arguments,
             QStringList({QStringLiteral("/SP-"), QStringLiteral("/silent"), QStringLiteral("/noicons")}));
    QCOMPARE(text(window, "infolabel"), QStringLiteral("Received %1 bytes").arg(server->body.size()));
    QCOMPARE(text(window, "infolabel3"), QStringLiteral("Installing"));
    QVERIFY(button(window, "getbutton")->isEnabled());
    QVERIFY(!button(window, "abortbutton")->isEnabled());
}

void TestTdownload::mismatchingFileIsKeptAndNotStarted()
{
    server->body = someBody(5000);
    Tdownload window;
    prepare(window, QCryptographicHash::hash("another file", QCryptographicHash::Sha256).toHex());
    QSignalSpy exits(&window, &Tdownload::exitRequested);
    window.getbuttonClick();
    QTRY_VERIFY(button(window, "getbutton")->isEnabled());
    QCOMPARE(text(window, "infolabel"), QStringLiteral("Received 5000 bytes"));
    QVERIFY(text(window, "infolabel3").contains(QStringLiteral("not started")));
    QVERIFY(launcher.starts.isEmpty());
    QCOMPARE(exits.count(), 0);
    QFile file(savedFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), server->body);
}

void TestTdownload::stopBeforeAnyByte()
{
    server->mode = TestServer::Hold;
    Tdownload window;
    prepare(window, QByteArray());
    window.getbuttonClick();
    // The window keeps working while the request waits for its answer.
    QTRY_VERIFY(server->requestComplete);
    QVERIFY(window.isDownloading());
    QTest::mouseClick(button(window, "abortbutton"), Qt::LeftButton);
    QCOMPARE(text(window, "infolabel"), QStringLiteral("Download has been aborted."));
    QTRY_VERIFY(!window.isDownloading());
    QCOMPARE(text(window, "infolabel"), QStringLiteral("Download Aborted"));
    QCOMPARE(text(window, "infolabel3"), QStringLiteral("Download Aborted"));
    QVERIFY(button(window, "getbutton")->isEnabled());
    QVERIFY(!button(window, "abortbutton")->isEnabled());
    QVERIFY(launcher.starts.isEmpty());
    // Nothing of the stopped download stays behind.
    QVERIFY(!QFile::exists(savedFile()));
}

void TestTdownload::httpFailureResetsButtons()
{
    server->mode = TestServer::NotFound;
    Tdownload window;
    prepare(window, QCryptographicHash::hash("not found", QCryptographicHash::Sha256).toHex());
    QSignalSpy exits(&window, &Tdownload::exitRequested);
    window.getbuttonClick();
    QTRY_VERIFY(!window.isDownloading());
    QCOMPARE(text(window, "infolabel"), QStringLiteral("Download Aborted"));
    QVERIFY(button(window, "getbutton")->isEnabled());
    QVERIFY(!button(window, "abortbutton")->isEnabled());
    QVERIFY(launcher.starts.isEmpty());
    QCOMPARE(exits.count(), 0);
    QVERIFY(!QFile::exists(savedFile())); // no empty file left

    // The user may try again, and this time it works.
    server->mode = TestServer::Serve;
    server->requestComplete = false;
    server->body = "lobby";
    window.setExpectedSha256(QCryptographicHash::hash(server->body, QCryptographicHash::Sha256).toHex());
    window.getbuttonClick();
    QTRY_COMPARE(exits.count(), 1);
    QCOMPARE(launcher.starts.size(), 1);
}

void TestTdownload::transferErrorStartsNothing_data()
{
    QTest::addColumn<bool>("refused");
    QTest::newRow("server closes mid-body") << false;
    QTest::newRow("connection refused") << true;
}

void TestTdownload::transferErrorStartsNothing()
{
    QFETCH(bool, refused);
    server->mode = TestServer::CutMidBody;
    server->body = someBody(90000);
    Tdownload window;
    // Even a hash that matches the part received must not get it started.
    prepare(window, QCryptographicHash::hash(server->body.left(30000), QCryptographicHash::Sha256).toHex());
    if (refused) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        const quint16 port = closed.serverPort();
        closed.close();
        window.setDownloadAddress(QStringLiteral("http://127.0.0.1:%1/lobby/brenviklobby-setup.exe").arg(port));
    }
    QSignalSpy exits(&window, &Tdownload::exitRequested);
    window.getbuttonClick();
    QTRY_VERIFY(!window.isDownloading());
    QCOMPARE(text(window, "infolabel"), QStringLiteral("Download Failed"));
    QVERIFY(text(window, "infolabel3").startsWith(QStringLiteral("The download failed: ")));
    QVERIFY(button(window, "getbutton")->isEnabled());
    QVERIFY(!button(window, "abortbutton")->isEnabled());
    QVERIFY(launcher.starts.isEmpty());
    QCOMPARE(exits.count(), 0);
    QVERIFY(QDir(dir->path()).isEmpty()); // no partial file left, under any name
}

void TestTdownload::closingDuringADownload()
{
    server->mode = TestServer::Hold;
    auto window = std::make_unique<Tdownload>();
    prepare(*window, QByteArray());
    window->getbuttonClick();
    QTRY_VERIFY(server->requestComplete);
    window.reset(); // stops the transfer and waits for it
    QVERIFY(launcher.starts.isEmpty());
}

void TestTdownload::withoutTheModule_data()
{
    QTest::addColumn<QByteArray>("moduleBytes"); // empty: no module file at all
    QTest::addColumn<QString>("why");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("The download module (sudoku-download.so) is missing.");
    QTest::newRow("damaged") << QByteArray("not a library")
                             << QStringLiteral("The download module (sudoku-download.so) could not be loaded.");
}

void TestTdownload::withoutTheModule()
{
    QFETCH(QByteArray, moduleBytes);
    QFETCH(QString, why);
    QTemporaryDir modules;
    const QString module = modules.filePath(QStringLiteral("sudoku-download.so"));
    if (!moduleBytes.isEmpty()) {
        QFile file(module);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(moduleBytes);
    }
    HttpDownload::setModulePath(module);
    server->body = "lobby";
    // An installer saved by an earlier download stays as it was.
    {
        QFile earlier(savedFile());
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    Tdownload window;
    prepare(window, QCryptographicHash::hash(server->body, QCryptographicHash::Sha256).toHex());
    QSignalSpy exits(&window, &Tdownload::exitRequested);
    window.getbuttonClick();
    HttpDownload::setModulePath(QStringLiteral(SUDOKU_DOWNLOAD_MODULE));
    QCOMPARE(text(window, "infolabel"), QStringLiteral("Download Failed"));
    QCOMPARE(text(window, "infolabel3"), why);
    QVERIFY(!window.isDownloading());
    QVERIFY(button(window, "getbutton")->isEnabled());
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList({QStringLiteral("brenviklobby-setup.exe")}));
    QCOMPARE(readAll(savedFile()), QByteArray("earlier"));
    QVERIFY(!server->requestComplete);

    // With the module back in place the same window downloads.
    window.getbuttonClick();
    QTRY_COMPARE(exits.count(), 1);
    QCOMPARE(readAll(savedFile()), server->body);
}

void TestTdownload::playSoloAndPlayWithOthers()
{
    Tdownload window;
    window.show();
    QSignalSpy exits(&window, &Tdownload::exitRequested);
    QTest::mouseClick(button(window, "Button1"), Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QCOMPARE(exits.count(), 0);

    window.setLobbyProgram(dir->filePath(QStringLiteral("no-such-lobby")));
    QTest::mouseClick(button(window, "Button2"), Qt::LeftButton);
    QMessageBox *box = messageBox(window);
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("Please close the game and open the Brenvik Lobby using the icon on your "
                                         "desktop or using the your Window's start-up menu."));
    QVERIFY(launcher.starts.isEmpty());
    QCOMPARE(exits.count(), 0);
    box->close();

    const QString lobby = dir->filePath(QStringLiteral("sudoku-lobby"));
    QFile file(lobby);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    window.setLobbyProgram(lobby);
    QTest::mouseClick(button(window, "Button2"), Qt::LeftButton);
    QCOMPARE(launcher.starts.size(), 1);
    QCOMPARE(launcher.starts.first().program, lobby);
    QCOMPARE(exits.count(), 1);
}

void TestTdownload::dontShowThisAgainIsKept()
{
    // The game's own keys and the lobby's section come through unchanged.
    const QString ini = dir->filePath(QStringLiteral("brenviklobby.ini"));
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[lobby]\nName=Ann\n\n[sudoku]\nTextsize=12\n");
    }
    Tdownload first;
    first.setSettingsPath(ini);
    first.offer();
    QVERIFY(first.isVisible()); // off by default
    auto *dontShow = first.findChild<QCheckBox *>(QStringLiteral("check_dontshow"));
    QVERIFY(dontShow && dontShow->isVisible() && !dontShow->isChecked());
    QCOMPARE(dontShow->text(), QStringLiteral("Don't show this again"));

    for (const bool hide : {true, false}) {
        QTest::mouseClick(dontShow, Qt::LeftButton);
        QCOMPARE(dontShow->isChecked(), hide);
        QCOMPARE(Settings::readSwitch(ini, Settings::HideDownloadKey, !hide), hide);
        const QString text = QString::fromUtf8(readAll(ini));
        QVERIFY2(text.contains(QStringLiteral("[lobby]\nName=Ann\n")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("[sudoku]\nTextsize=12\nHideDownloadWindow=%1\n")
                                   .arg(hide ? QStringLiteral("true") : QStringLiteral("false"))),
                 qPrintable(text));
        // The next solo start reads it.
        Tdownload next;
        next.setSettingsPath(ini);
        next.offer();
        QCOMPARE(next.isVisible(), !hide);
        QCOMPARE(next.findChild<QCheckBox *>(QStringLiteral("check_dontshow"))->isChecked(), hide);
    }
}

QTEST_MAIN(TestTdownload)
#include "test_tdownload.moc"
