#include "CRegNet.h"

#include "Log.h"
#include "UpdateStrings.h"

#include <mutex>

namespace {
const char* const kSource = "RegNet";

// libcurl's global state is made once, before the first handle, from
// whichever thread gets here first.
void EnsureCurlGlobal()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct BoundedAnswer {
    std::string* body;
    size_t limit;
    bool tooLarge;
};

// Appends like CurlWriteToString up to the limit; a block that would pass
// it is refused, which ends the transfer.
size_t CurlWriteBounded(void* data, size_t size, size_t count, void* user)
{
    auto* answer = static_cast<BoundedAnswer*>(user);
    const size_t bytes = size * count;
    if (bytes > answer->limit - answer->body->size()) {
        answer->tooLarge = true;
        return 0;
    }
    return CurlWriteToString(data, size, count, answer->body);
}
} // namespace

size_t CurlWriteToString(void* data, size_t size, size_t count, void* user)
{
    const size_t bytes = size * count;
    if (data && user)
        static_cast<std::string*>(user)->append(static_cast<const char*>(data), bytes);
    return bytes;
}

CRegNet::CRegNet() = default;

CRegNet::~CRegNet()
{
    CleanUp();
}

void CRegNet::CleanUp()
{
    if (m_handle) {
        curl_easy_cleanup(m_handle);
        m_handle = nullptr;
    }
    curl_slist_free_all(m_headers);
    m_headers = nullptr;
}

int CRegNet::InitSession()
{
    CleanUp();
    EnsureCurlGlobal();
    m_handle = curl_easy_init();
    if (!m_handle)
        return -1;
    ApplyStoredProxy();

    m_headers = curl_slist_append(m_headers, "Connection: Keep-Alive");
    m_headers = curl_slist_append(m_headers, "Accept-Language: zh-CN,en,*");
    m_headers = curl_slist_append(m_headers, "User-Agent: Mozilla/5.0");
    m_headers = curl_slist_append(m_headers, "Accept:");   // drops libcurl's own Accept
    curl_easy_setopt(m_handle, CURLOPT_HTTPHEADER, m_headers);

    curl_easy_setopt(m_handle, CURLOPT_FORBID_REUSE, 0L);
    curl_easy_setopt(m_handle, CURLOPT_FRESH_CONNECT, 0L);
    // Certificates are verified (libcurl's default, set here so no one turns
    // it off by accident): the answer names the download page the user opens.
    curl_easy_setopt(m_handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(m_handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(m_handle, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(m_handle, CURLOPT_TIMEOUT, 30L);
    curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, &CurlWriteToString);
    curl_easy_setopt(m_handle, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(m_handle, CURLOPT_TCP_KEEPIDLE, 30L);
    curl_easy_setopt(m_handle, CURLOPT_TCP_KEEPINTVL, 15L);
    // The transfer runs on a worker thread: no signals, and a progress
    // callback through which Abort() ends it.
    curl_easy_setopt(m_handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_handle, CURLOPT_XFERINFOFUNCTION, &CRegNet::ProgressCallback);
    curl_easy_setopt(m_handle, CURLOPT_XFERINFODATA, this);
    return 0;
}

int CRegNet::ResetSession()
{
    CleanUp();
    return InitSession();
}

void CRegNet::SetProxy(int type, const std::string& host, int port, const char* user,
                       const char* password)
{
    if (type == kNoProxy) {
        m_proxy = ProxyRecord();
        if (m_handle)
            curl_easy_setopt(m_handle, CURLOPT_PROXY, static_cast<const char*>(nullptr));
        return;
    }
    const std::string address = host + ":" + std::to_string(port);
    SC_LOG_INFO(kSource, "CRegNet::SetProxy", "set proxy[%s]", address.c_str());
    const bool credentials = user && *user;
    if (m_handle) {
        curl_easy_setopt(m_handle, CURLOPT_PROXY, address.c_str());
        curl_easy_setopt(m_handle, CURLOPT_PROXYTYPE, static_cast<long>(type));
        if (credentials) {
            const std::string userPassword = std::string(user) + ":" + (password ? password : "");
            curl_easy_setopt(m_handle, CURLOPT_PROXYUSERPWD, userPassword.c_str());
        } else {
            curl_easy_setopt(m_handle, CURLOPT_PROXYUSERPWD, static_cast<const char*>(nullptr));
        }
    }
    if (credentials)
        SC_LOG_INFO(kSource, "CRegNet::SetProxy", "set proxy user[%s]", user);
    ProxyRecord record;
    record.type = type;
    record.host = host;
    record.port = port;
    record.user = user ? user : "";
    record.password = password ? password : "";
    m_proxy = record;
}

void CRegNet::SetProxy(int type, const char* host, int port, const char* user, const char* password)
{
    SetProxy(type, std::string(host ? host : ""), port, user, password);
}

void CRegNet::ApplyStoredProxy()
{
    const ProxyRecord record = m_proxy;
    SetProxy(record.type, record.host, record.port, record.user.c_str(), record.password.c_str());
}

std::string CRegNet::EscapeUrl(const std::string& text)
{
    const std::string utf8 = AnsiToUtf8(text);
    if (utf8.empty())
        return std::string();
    EnsureCurlGlobal();
    char* escaped = curl_easy_escape(m_handle, utf8.data(), static_cast<int>(utf8.size()));
    if (!escaped)
        return std::string();
    std::string result(escaped);
    curl_free(escaped);
    return result;
}

void CRegNet::PrepareGet(CURL* handle, const std::string& url, std::string& body)
{
    body.clear();
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
}

int CRegNet::HttpGet(const std::string& url, std::string& body)
{
    body.clear();
    m_answerTooLarge = false;
    if (!m_handle)
        return CURLE_FAILED_INIT;
    PrepareGet(m_handle, url, body);
    curl_easy_setopt(m_handle, CURLOPT_HTTPGET, 1L);
    return PerformInto(body);
}

int CRegNet::HttpPost(const std::string& url, const std::map<std::string, std::string>& fields,
                      std::string& body)
{
    body.clear();
    m_answerTooLarge = false;
    if (!m_handle)
        return CURLE_FAILED_INIT;
    PrepareGet(m_handle, url, body);
    curl_mime* form = curl_mime_init(m_handle);
    for (const auto& field : fields) {
        curl_mimepart* part = curl_mime_addpart(form);
        curl_mime_name(part, field.first.c_str());
        curl_mime_data(part, field.second.data(), field.second.size());
    }
    curl_easy_setopt(m_handle, CURLOPT_MIMEPOST, form);
    const int result = PerformInto(body);
    // The handle must not point at the freed form.
    curl_easy_setopt(m_handle, CURLOPT_MIMEPOST, static_cast<curl_mime*>(nullptr));
    curl_mime_free(form);
    return result;
}

int CRegNet::PerformInto(std::string& body)
{
    BoundedAnswer answer{&body, kAnswerLimit, false};
    curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, &CurlWriteBounded);
    curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(m_handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kAnswerLimit));
    const int result = Perform();
    // The handle must not point at the gone record.
    curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, &CurlWriteToString);
    curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, static_cast<void*>(nullptr));
    m_answerTooLarge = answer.tooLarge || result == CURLE_FILESIZE_EXCEEDED;
    if (m_answerTooLarge) {
        SC_LOG_INFO(kSource, "CRegNet::PerformInto", "answer longer than %zu bytes: not read",
                    static_cast<size_t>(kAnswerLimit));
        std::string().swap(body);
    }
    return result;
}

// The transfer runs through a multi handle of its own so that Abort() can wake
// it from its wait; the progress callback ends it from inside libcurl.
int CRegNet::Perform()
{
    if (m_abort.load())
        return CURLE_ABORTED_BY_CALLBACK;
    CURLM* multi = curl_multi_init();
    if (!multi)
        return CURLE_OUT_OF_MEMORY;
    if (curl_multi_add_handle(multi, m_handle) != CURLM_OK) {
        curl_multi_cleanup(multi);
        return CURLE_FAILED_INIT;
    }
    {
        std::lock_guard<std::mutex> guard(m_multiLock);
        m_multi = multi;
    }

    int result = CURLE_OK;
    for (;;) {
        if (m_abort.load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        bool done = false;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == m_handle) {
                result = message->data.result;
                done = true;
            }
        }
        if (done)
            break;
        if (running == 0) {   // ended without a report: should not happen
            result = CURLE_FAILED_INIT;
            break;
        }
        if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }

    {
        std::lock_guard<std::mutex> guard(m_multiLock);
        m_multi = nullptr;
    }
    curl_multi_remove_handle(multi, m_handle);
    curl_multi_cleanup(multi);
    return result;
}

void CRegNet::Abort()
{
    m_abort.store(true);
    std::lock_guard<std::mutex> guard(m_multiLock);
    if (m_multi)
        curl_multi_wakeup(m_multi);
}

int CRegNet::ProgressCallback(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<CRegNet*>(self)->m_abort.load() ? 1 : 0;
}
