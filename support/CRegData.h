#pragma once

// The update check's data: its configuration (product id, current version,
// language, service address), the result callback and the record of the
// last answer; reads the service's XML answer.
//
// Thread contract: owned by CRegUpdater, which touches it only from the
// thread running a check, or from the GUI thread while no check runs.

#include <map>
#include <string>

class CRegNet;

// Result codes of one check. A positive code is libcurl's result code of a
// failed transfer (no answer was read).
constexpr int kUpdateNoProduct = -11;        // the answer names no product code or no version
constexpr int kUpdateNewer = -12;            // the server's version is newer; download URLs set
constexpr int kUpdateNotNewer = -13;         // the server's version is not newer
constexpr int kUpdateMalformed = -14;        // empty, not well-formed XML, or no root element
constexpr int kUpdateNotConfigured = -20;    // no service address or product: nothing sent
constexpr int kUpdateNoHandle = -21;         // libcurl gave no handle

// The release notes are cut at this many bytes (on a character boundary).
constexpr size_t kWhatsNewLimit = 5120;

// void callback(user pointer, result code, callback tag)
using UpdateResultCallback = void (*)(void* user, int code, int tag);

// What the last check found out. Texts are UTF-8.
struct UpdateResult {
    std::string serverVersion;       // upd:ProductVer
    std::string displayName;         // upd:ProductDisplayName
    std::string whatsNew;            // decoded upd:WhatsNew/upd:Description
    std::string downloadUrl;         // upd:DownloadURL + "?product=" + upd:ProductCode
    std::string onlineDownloadUrl;   // upd:OnlineDownURL
    int code = 0;                    // 0 before the first check
};

class CRegData
{
public:
    explicit CRegData(CRegNet* net = nullptr);

    // The HTTP client whose escaping MakeUpdateUrl uses.
    void SetNet(CRegNet* net) { m_net = net; }

    void SetProduct(const std::string& product) { m_product = product; }
    void SetVersion(const std::string& version) { m_version = version; }
    void SetLanguage(const std::string& language) { m_language = language; }
    // The service's query address, up to and including "?action=getinfo".
    void SetServiceUrl(const std::string& url) { m_serviceUrl = url; }
    void SetConfigured(bool configured) { m_configured = configured; }
    const std::string& Product() const { return m_product; }
    const std::string& Version() const { return m_version; }
    const std::string& Language() const { return m_language; }

    // Empties the table entry "debugurl", then tells whether the
    // configuration code has run.
    bool IsConfigured();

    // The service URL followed by product, versioncur and lang, each escaped.
    int MakeUpdateUrl(std::string& url);

    // Reads one answer body into the result record and sets its code.
    void HandleUpdateData(std::string body);

    void SetCallBack(UpdateResultCallback callback, void* user);
    void SetCallBackTag(int tag) { m_callbackTag = tag; }
    int CallBackTag() const { return m_callbackTag; }
    // Calls the callback (when one is registered) with the code and the tag.
    void DoCallBack(int code, int mode);

    int GetResult() const { return m_result.code; }
    void SetResult(int code) { m_result.code = code; }
    const UpdateResult& Result() const { return m_result; }

    std::map<std::string, std::string>& Table() { return m_table; }

private:
    CRegNet* m_net = nullptr;
    UpdateResultCallback m_callback = nullptr;
    void* m_callbackUser = nullptr;
    std::string m_product;
    std::string m_version;
    std::string m_language;
    std::string m_serviceUrl;
    int m_callbackTag = 0;
    bool m_configured = false;
    std::map<std::string, std::string> m_table;
    UpdateResult m_result;
};
