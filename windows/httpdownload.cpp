#include "windows/httpdownload.h"

#include <QCryptographicHash>
#include <QFile>

#include <curl/curl.h>

#include <cstdio>
#include <string>

struct HttpDownload::Transfer
{
    std::string url;
    // The body goes to partPath and becomes filePath only once it is whole.
    QString filePath;
    QString partPath;
    std::FILE *file = nullptr;
    CURLM *multi = nullptr; // owned by the starting thread, freed in join()
    std::atomic<bool> abortRequested{false};

    // Touched by the worker only.
    qint64 received = 0;
    bool bodyStarted = false;
    bool writeFailed = false;
    bool tooLarge = false;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    HttpDownload *owner = nullptr;
};

namespace {

void initCurlOnce()
{
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)done;
}

} // namespace

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
    if (m_running) {
        if (error)
            *error = QStringLiteral("A download is already running.");
        return false;
    }
    join();
    const QString partPath = filePath + QStringLiteral(".part");
    std::FILE *file = std::fopen(QFile::encodeName(partPath).constData(), "wb");
    if (!file) {
        if (error)
            *error = QStringLiteral("Cannot create %1").arg(filePath);
        return false;
    }
    // The library is set up by the first download, not at the program's start.
    initCurlOnce();
    auto transfer = std::make_shared<Transfer>();
    transfer->url = url.toStdString();
    transfer->file = file;
    transfer->filePath = filePath;
    transfer->partPath = partPath;
    transfer->multi = curl_multi_init();
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
    curl_multi_wakeup(m_transfer->multi);
}

void HttpDownload::join()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_transfer) {
        curl_multi_cleanup(m_transfer->multi);
        m_transfer.reset();
    }
}

namespace {

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *owner = static_cast<HttpDownload *>(user);
    QByteArray line(data, qsizetype(size * count));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (!line.isEmpty())
        QMetaObject::invokeMethod(owner, [owner, line] { emit owner->headerLine(line); },
                                  Qt::QueuedConnection);
    return size * count;
}

int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<std::atomic<bool> *>(user)->load() ? 1 : 0;
}

} // namespace

void HttpDownload::run(Transfer *t)
{
    CURL *easy = curl_easy_init();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    struct curl_slist *headers = nullptr;
    const std::string accept = std::string("Accept: ") + Accept;
    headers = curl_slist_append(headers, accept.c_str());

    curl_easy_setopt(easy, CURLOPT_URL, t->url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, UserAgent);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 30L);
    // A server that stops sending for a minute ends the transfer.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(MaxBytes));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, t);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t->abortRequested);

    CURLcode result = CURLE_OK;
    bool gotResult = false;
    curl_multi_add_handle(t->multi, easy);
    int running = 1;
    while (running) {
        if (curl_multi_perform(t->multi, &running) != CURLM_OK)
            break;
        if (t->abortRequested)
            break;
        if (running)
            curl_multi_poll(t->multi, nullptr, 0, 250, nullptr);
    }
    int queued = 0;
    while (CURLMsg *msg = curl_multi_info_read(t->multi, &queued)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
            result = msg->data.result;
            gotResult = true;
        }
    }
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_multi_remove_handle(t->multi, easy);
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);

    if (std::fclose(t->file) != 0)
        t->writeFailed = true;
    t->file = nullptr;

    Outcome outcome = Outcome::Completed;
    QString errorText;
    if (t->abortRequested) {
        outcome = Outcome::HttpFailure;
        errorText = QStringLiteral("Aborted");
    } else if (!gotResult) {
        outcome = Outcome::OtherError;
        errorText = QStringLiteral("The transfer could not be run.");
    } else if (result == CURLE_HTTP_RETURNED_ERROR || (result == CURLE_OK && (status < 200 || status > 299))) {
        outcome = Outcome::HttpFailure;
        errorText = QStringLiteral("HTTP status %1").arg(status);
    } else if (t->tooLarge) {
        outcome = Outcome::OtherError;
        errorText = QStringLiteral("The file is too large.");
    } else if (result != CURLE_OK || t->writeFailed) {
        outcome = Outcome::OtherError;
        errorText = QString::fromLocal8Bit(errorBuffer[0] ? errorBuffer : curl_easy_strerror(result));
        if (result == CURLE_OK)
            errorText = QStringLiteral("The file could not be written.");
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

size_t HttpDownload::writeBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    if (t->abortRequested)
        return 0;
    if (t->received + qint64(n) > MaxBytes) {
        t->tooLarge = true;
        return 0;
    }
    if (std::fwrite(data, 1, n, t->file) != n) {
        t->writeFailed = true;
        return 0;
    }
    t->hash.addData(QByteArrayView(data, qsizetype(n)));
    t->received += qint64(n);
    HttpDownload *owner = t->owner;
    if (!t->bodyStarted) {
        t->bodyStarted = true;
        QMetaObject::invokeMethod(owner, [owner] { emit owner->docBegin(); }, Qt::QueuedConnection);
    }
    const qint64 received = t->received;
    QMetaObject::invokeMethod(owner, [owner, received] { emit owner->docData(received); },
                              Qt::QueuedConnection);
    return n;
}
