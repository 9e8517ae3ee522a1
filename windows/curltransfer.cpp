// The download module: HttpTransfer on libcurl's multi interface, so that
// abort() can wake a transfer waiting on the network.
#include "windows/httptransfer.h"

#include <curl/curl.h>

#include <atomic>
#include <mutex>

namespace {

class CurlTransfer final : public HttpTransfer
{
public:
    CurlTransfer()
    {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
        m_multi = curl_multi_init();
    }
    ~CurlTransfer() override { curl_multi_cleanup(m_multi); }

    Outcome fetch(const Request &request, Sink &sink) override;

    void abort() override
    {
        m_aborted = true;
        curl_multi_wakeup(m_multi);
    }

private:
    static size_t onHeader(char *data, size_t size, size_t count, void *user)
    {
        static_cast<Sink *>(user)->headerLine(data, size * count);
        return size * count;
    }
    static size_t onBody(char *data, size_t size, size_t count, void *user)
    {
        auto *self = static_cast<CurlTransfer *>(user);
        if (self->m_aborted || !self->m_sink->body(data, size * count))
            return 0;
        return size * count;
    }
    static int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<CurlTransfer *>(user)->m_aborted ? 1 : 0;
    }

    CURLM *m_multi = nullptr;
    Sink *m_sink = nullptr;
    std::atomic<bool> m_aborted{false};
};

HttpTransfer::Outcome CurlTransfer::fetch(const Request &request, Sink &sink)
{
    Outcome outcome;
    if (!m_multi) {
        outcome.errorText = "The network library could not be set up.";
        return outcome;
    }
    m_sink = &sink;
    CURL *easy = curl_easy_init();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const std::string accept = "Accept: " + request.accept;
    struct curl_slist *headers = curl_slist_append(nullptr, accept.c_str());

    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 30L);
    // A server that stops sending for a minute ends the transfer.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(request.maxBytes));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &sink);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);

    CURLcode result = CURLE_OK;
    bool gotResult = false;
    curl_multi_add_handle(m_multi, easy);
    int running = 1;
    while (running && !m_aborted) {
        if (curl_multi_perform(m_multi, &running) != CURLM_OK)
            break;
        if (running && !m_aborted)
            curl_multi_poll(m_multi, nullptr, 0, 250, nullptr);
    }
    int queued = 0;
    while (CURLMsg *msg = curl_multi_info_read(m_multi, &queued)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
            result = msg->data.result;
            gotResult = true;
        }
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &outcome.status);
    curl_multi_remove_handle(m_multi, easy);
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    m_sink = nullptr;

    if (m_aborted) {
        outcome.errorText = "Aborted";
    } else if (!gotResult) {
        outcome.errorText = "The transfer could not be run.";
    } else if (result == CURLE_HTTP_RETURNED_ERROR
               || (result == CURLE_OK && (outcome.status < 200 || outcome.status > 299))) {
        outcome.result = Result::HttpStatus;
    } else if (result == CURLE_OK) {
        outcome.result = Result::Completed;
    } else {
        outcome.errorText = errorBuffer[0] ? errorBuffer : curl_easy_strerror(result);
    }
    return outcome;
}

} // namespace

extern "C" __attribute__((visibility("default"))) HttpTransfer *sudoku_create_http_transfer()
{
    return new CurlTransfer;
}
