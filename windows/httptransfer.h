#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The network side of HttpDownload: one blocking HTTP/1.0 GET. It lives in
// the download module (sudoku-download.so, built on libcurl), which the game
// loads with its first download, so that libcurl and the dozens of libraries
// it brings are not loaded at start. The module exports
//     extern "C" HttpTransfer *sudoku_create_http_transfer();
// Plain C++ types only: the module and the program share no Qt classes.
class HttpTransfer
{
public:
    // Called on the thread that runs fetch().
    struct Sink
    {
        virtual void headerLine(const char *data, std::size_t size) = 0; // with its line end
        // Returns false to stop the transfer (write error, too large, aborted).
        virtual bool body(const char *data, std::size_t size) = 0;

    protected:
        ~Sink() = default;
    };

    struct Request
    {
        std::string url;
        std::string userAgent;
        std::string accept;
        std::int64_t maxBytes = 0;
    };

    enum class Result {
        Completed,  // the server answered 2xx and the whole body went to the sink
        HttpStatus, // the server answered with a failing status
        Failed,     // anything else, including a stop asked by the sink or abort()
    };

    struct Outcome
    {
        Result result = Result::Failed;
        long status = 0;
        std::string errorText; // for Failed: the library's own words
    };

    virtual ~HttpTransfer() = default;
    // Runs the transfer to its end; once per object.
    virtual Outcome fetch(const Request &request, Sink &sink) = 0;
    // From any thread, before or during fetch(): fetch() returns soon.
    virtual void abort() = 0;
};

#define SUDOKU_HTTP_TRANSFER_FACTORY "sudoku_create_http_transfer"
