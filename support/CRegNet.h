#pragma once

// The update check's HTTP client: one libcurl easy handle with the proxy
// settings, the fixed request headers and the time limits.
//
// Thread contract: everything but Abort() runs on the thread that performs
// the transfer (the update worker, or the GUI thread while no check runs).
// Abort() may be called from any thread; `m_multiLock` guards the one field
// it shares with a running transfer.

#include <curl/curl.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>

// libcurl write callback: appends size * count bytes to the std::string that
// `user` points to. With null data or a null string it appends nothing; it
// always reports the whole block as taken.
size_t CurlWriteToString(void* data, size_t size, size_t count, void* user);

class CRegNet
{
public:
    // Proxy kind that stands for "no proxy". Every other kind is handed to
    // libcurl as CURLOPT_PROXYTYPE (CURLPROXY_HTTP for an HTTP proxy).
    static constexpr int kNoProxy = 2;

    struct ProxyRecord {
        int type = kNoProxy;
        std::string host;
        int port = 0;
        std::string user;
        std::string password;
    };

    CRegNet();
    ~CRegNet();
    CRegNet(const CRegNet&) = delete;
    CRegNet& operator=(const CRegNet&) = delete;

    // A new easy handle (the old one is cleaned up) with the stored proxy,
    // the fixed headers and the options. 0, or -1 when no handle could be made.
    int InitSession();
    // Cleans the handle up and runs InitSession again.
    int ResetSession();

    // Stores the proxy and applies it to the handle (when there is one). The
    // kind kNoProxy clears host, port and credentials whatever was given; an
    // empty user name sets no credentials. The password is never logged.
    void SetProxy(int type, const std::string& host, int port, const char* user, const char* password);
    void SetProxy(int type, const char* host, int port, const char* user, const char* password);
    void ApplyStoredProxy();
    const ProxyRecord& Proxy() const { return m_proxy; }

    // Percent-escapes the UTF-8 form of a text for a query value.
    std::string EscapeUrl(const std::string& text);

    // One GET (or multipart POST, one part per entry in map order); the body
    // receives the answer. Returns the libcurl result code (0 success).
    // An answer longer than kAnswerLimit is not read on: the transfer fails
    // (CURLE_FILESIZE_EXCEEDED when the length is announced, else
    // CURLE_WRITE_ERROR), the body is left empty and AnswerTooLarge() is true.
    int HttpGet(const std::string& url, std::string& body);
    int HttpPost(const std::string& url, const std::map<std::string, std::string>& fields,
                 std::string& body);
    // Only empties the body and points the handle's write target and URL at them.
    static void PrepareGet(CURL* handle, const std::string& url, std::string& body);

    // The update answer is a small XML text; a few MB is ample, and a server
    // that sends more must not fill the memory of a program that records.
    static constexpr size_t kAnswerLimit = 4 * 1024 * 1024;
    bool AnswerTooLarge() const { return m_answerTooLarge; }

    // Ends a transfer in progress at once (it returns CURLE_ABORTED_BY_CALLBACK)
    // and makes every later one end the same way. Any thread.
    void Abort();
    bool IsAborted() const { return m_abort.load(); }

    CURL* Handle() const { return m_handle; }

private:
    void CleanUp();
    // Performs the prepared request into `body`, at most kAnswerLimit bytes.
    int PerformInto(std::string& body);
    int Perform();
    static int ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    CURL* m_handle = nullptr;
    ProxyRecord m_proxy;
    // Lives as long as the handle that points at it.
    curl_slist* m_headers = nullptr;
    bool m_answerTooLarge = false;

    std::atomic<bool> m_abort{false};
    std::mutex m_multiLock;
    CURLM* m_multi = nullptr;   // the running transfer's multi handle, for the wake-up
};
