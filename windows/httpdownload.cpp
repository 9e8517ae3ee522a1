#include "windows/httpdownload.h"
#include "app/modules.h"
#include "windows/httptransfer.h"

#include <QCryptographicHash>
#include <QFile>

#include <cstdio>
#include <string>
#include <utility>

struct HttpDownload::Transfer final : HttpTransfer::Sink
{
    std::unique_ptr<HttpTransfer> engine; // freed in join(), on the starting thread
    HttpTransfer::Request request;
    // The body goes to partPath and becomes filePath only once it is whole.
    QString filePath;
    QString partPath;
    std::FILE *file = nullptr;
    std::atomic<bool> abortRequested{false};

    // Touched by the worker only.
    qint64 received = 0;
    bool bodyStarted = false;
    bool writeFailed = false;
    bool tooLarge = false;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    HttpDownload *owner = nullptr;

    void headerLine(const char *data, std::size_t size) override;
    bool body(const char *data, std::size_t size) override;
};

namespace {

QString &modulePathOverride()
{
    static QString path;
    return path;
}

// The download module. Loaded once and never unloaded.
HttpTransfer *createTransfer(QString *error)
{
    using Create = HttpTransfer *(*)();
    const QString name = QStringLiteral("sudoku-download");
    const ModuleEntry entry =
        findModuleEntry(name, SUDOKU_HTTP_TRANSFER_FACTORY, modulePathOverride());
    if (entry.function) {
        if (HttpTransfer *transfer = reinterpret_cast<Create>(entry.function)())
            return transfer;
    } else {
        std::fprintf(stderr, "sudoku: no downloads: %s\n", qPrintable(entry.error));
    }
    *error = entry.present
                 ? QStringLiteral("The download module (%1.so) could not be loaded.").arg(name)
                 : QStringLiteral("The download module (%1.so) is missing.").arg(name);
    return nullptr;
}

} // namespace

void HttpDownload::setModulePath(const QString &path)
{
    modulePathOverride() = path;
}

HttpDownload::HttpDownload(QObject *parent) : QObject(parent)
{
}

HttpDownload::~HttpDownload()
{
    abort();
    join();
}

bool HttpDownload::start(const QString &url, const QString &filePath, QString *error)
{
    QString why;
    if (m_running) {
        if (error)
            *error = QStringLiteral("A download is already running.");
        return false;
    }
    join();
    std::unique_ptr<HttpTransfer> engine(createTransfer(&why));
    if (!engine) {
        if (error)
            *error = why;
        return false;
    }
    const QString partPath = filePath + QStringLiteral(".part");
    std::FILE *file = std::fopen(QFile::encodeName(partPath).constData(), "wb");
    if (!file) {
        if (error)
            *error = QStringLiteral("Cannot create %1").arg(filePath);
        return false;
    }
    auto transfer = std::make_shared<Transfer>();
    transfer->engine = std::move(engine);
    transfer->request.url = url.toStdString();
    transfer->request.userAgent = UserAgent;
    transfer->request.accept = Accept;
    transfer->request.maxBytes = MaxBytes;
    transfer->file = file;
    transfer->filePath = filePath;
    transfer->partPath = partPath;
    transfer->owner = this;
    m_transfer = transfer;
    m_running = true;
    m_thread = std::thread([this, transfer] { run(transfer.get()); });
    return true;
}

void HttpDownload::abort()
{
    if (!m_running || !m_transfer)
        return;
    m_transfer->abortRequested = true;
    m_transfer->engine->abort();
}

void HttpDownload::join()
{
    if (m_thread.joinable())
        m_thread.join();
    m_transfer.reset();
}

void HttpDownload::Transfer::headerLine(const char *data, std::size_t size)
{
    QByteArray line(data, qsizetype(size));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    HttpDownload *to = owner;
    if (!line.isEmpty())
        QMetaObject::invokeMethod(to, [to, line] { emit to->headerLine(line); }, Qt::QueuedConnection);
}

bool HttpDownload::Transfer::body(const char *data, std::size_t size)
{
    if (abortRequested)
        return false;
    if (received + qint64(size) > MaxBytes) {
        tooLarge = true;
        return false;
    }
    if (std::fwrite(data, 1, size, file) != size) {
        writeFailed = true;
        return false;
    }
    hash.addData(QByteArrayView(data, qsizetype(size)));
    received += qint64(size);
    HttpDownload *to = owner;
    if (!bodyStarted) {
        bodyStarted = true;
        QMetaObject::invokeMethod(to, [to] { emit to->docBegin(); }, Qt::QueuedConnection);
    }
    const qint64 bytes = received;
    QMetaObject::invokeMethod(to, [to, bytes] { emit to->docData(bytes); }, Qt::QueuedConnection);
    return true;
}

void HttpDownload::run(Transfer *t)
{
    const HttpTransfer::Outcome got = t->engine->fetch(t->request, *t);
    if (std::fclose(t->file) != 0)
        t->writeFailed = true;
    t->file = nullptr;

    Outcome outcome = Outcome::Completed;
    QString errorText;
    if (t->abortRequested) {
        outcome = Outcome::HttpFailure;
        errorText = QStringLiteral("Aborted");
    } else if (got.result == HttpTransfer::Result::HttpStatus) {
        outcome = Outcome::HttpFailure;
        errorText = QStringLiteral("HTTP status %1").arg(got.status);
    } else if (t->tooLarge) {
        outcome = Outcome::OtherError;
        errorText = QStringLiteral("The file is too large.");
    } else if (t->writeFailed) {
        outcome = Outcome::OtherError;
        errorText = QStringLiteral("The file could not be written.");
    } else if (got.result != HttpTransfer::Result::Completed) {
        outcome = Outcome::OtherError;
        errorText = QString::fromLocal8Bit(got.errorText.c_str());
    }
    const qint64 bytes = t->received;
    const QByteArray sha = t->hash.result().toHex();
    const QString filePath = t->filePath;
    const QString partPath = t->partPath;
    QMetaObject::invokeMethod(
        this,
        [this, outcome, bytes, sha, errorText, filePath, partPath] {
            join();
            // A failed or stopped download leaves nothing behind, and a
            // whole one replaces the file of that name.
            Outcome result = outcome;
            QString why = errorText;
            if (result == Outcome::Completed) {
                QFile::remove(filePath);
                if (!QFile::rename(partPath, filePath)) {
                    result = Outcome::OtherError;
                    why = QStringLiteral("The file could not be written.");
                }
            }
            if (result != Outcome::Completed)
                QFile::remove(partPath);
            m_running = false;
            emit finished(result, bytes, sha, why);
        },
        Qt::QueuedConnection);
}
