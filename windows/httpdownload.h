#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>

// One HTTP/1.0 GET into a file, on a worker thread. The transfer never
// blocks the thread that started it: its notifications come back as queued
// signals, in order, on that thread, and finished() is always the last of
// them. One transfer at a time. The network side is the download module
// (see httptransfer.h), loaded by the first start().
class HttpDownload : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Completed,   // the whole body is in the file
        HttpFailure, // the server answered with a failing status, or abort() was called
        OtherError,  // anything else: no connection, a cut transfer, a write error
    };
    Q_ENUM(Outcome)

    static constexpr const char *UserAgent = "Mozilla/3.0 (compatible)";
    static constexpr const char *Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    // A larger body is cut off and counts as an error.
    static constexpr qint64 MaxBytes = qint64(512) * 1024 * 1024;

    explicit HttpDownload(QObject *parent = nullptr);
    // Aborts a running transfer and waits for its thread.
    ~HttpDownload() override;

    // Starts fetching url into filePath (written as filePath + ".part" and
    // renamed once whole). Returns false with *error set when the download
    // module cannot be loaded, the file cannot be created or a transfer is
    // already running; nothing is signalled or written then.
    bool start(const QString &url, const QString &filePath, QString *error = nullptr);
    // Asks a running transfer to stop; it then finishes with HttpFailure.
    void abort();
    bool isRunning() const { return m_running; }

    // The module file used instead of looking beside the program and in the
    // installed library folder; empty for that search.
    static void setModulePath(const QString &path);

signals:
    void headerLine(const QByteArray &line); // one response header line, without its line end
    void docBegin();                          // the first body bytes arrived
    void docData(qint64 received);            // body bytes received so far
    // bytes: the body's size; sha256: the hex digest of the body as written.
    void finished(HttpDownload::Outcome outcome, qint64 bytes, const QByteArray &sha256,
                  const QString &errorText);

private:
    struct Transfer;
    void run(Transfer *transfer);
    void join();

    std::thread m_thread;
    std::shared_ptr<Transfer> m_transfer;
    bool m_running = false;
};
