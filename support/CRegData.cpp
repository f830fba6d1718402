#include "CRegData.h"

#include "Base64.h"
#include "CRegNet.h"
#include "Log.h"
#include "UpdateStrings.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>

namespace {
const char* const kSource = "RegData";

// The text of the named child element; null when the element is missing or
// holds no text.
const char* ChildText(const tinyxml2::XMLElement* parent, const char* name)
{
    const tinyxml2::XMLElement* element = parent ? parent->FirstChildElement(name) : nullptr;
    return element ? element->GetText() : nullptr;
}

// The release notes: base64 of UTF-8 text. The XML reader folds the line
// breaks of wrapped base64 into blanks, so every blank, tab and line end is
// dropped first. Empty when there is nothing to decode or the text is not
// base64; cut at kWhatsNewLimit bytes without splitting a character.
std::string DecodeWhatsNew(const char* description)
{
    if (!description)
        return std::string();
    std::string text(description);
    text.erase(std::remove_if(text.begin(), text.end(),
                              [](unsigned char c) { return std::isspace(c) != 0; }),
               text.end());
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    size_t size = 0;
    int code = base64_decode(nullptr, &size, in, text.size());
    if (code != kBase64BufferTooSmall || size == 0) {
        if (code != 0)
            SC_LOG_INFO(kSource, "CRegData::HandleUpdateData", "description is not base64[%d]", code);
        return std::string();
    }
    std::string bytes(size, '\0');
    code = base64_decode(reinterpret_cast<unsigned char*>(&bytes[0]), &size, in, text.size());
    if (code != 0)
        return std::string();
    bytes.resize(size);
    if (bytes.size() > kWhatsNewLimit) {
        size_t cut = kWhatsNewLimit;
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.resize(cut);
    }
    return Utf8ToAnsi(bytes);
}
} // namespace

CRegData::CRegData(CRegNet* net)
    : m_net(net)
{
}

bool CRegData::IsConfigured()
{
    m_table["debugurl"] = std::string();
    return m_configured;
}

int CRegData::MakeUpdateUrl(std::string& url)
{
    CRegNet fallback;   // escaping needs no session
    CRegNet& net = m_net ? *m_net : fallback;
    const std::string language = net.EscapeUrl(m_language);
    const std::string version = net.EscapeUrl(m_version);
    const std::string product = net.EscapeUrl(m_product);
    url = m_serviceUrl + "&product=" + product + "&versioncur=" + version + "&lang=" + language;
    return 0;
}

void CRegData::HandleUpdateData(std::string body)
{
    // An empty answer is no answer: it must not pass for the previous one.
    if (body.empty()) {
        SC_LOG_INFO(kSource, "CRegData::HandleUpdateData", "empty answer");
        m_result.code = kUpdateMalformed;
        return;
    }
    tinyxml2::XMLDocument document(true, tinyxml2::COLLAPSE_WHITESPACE);
    if (document.Parse(body.data(), body.size()) != tinyxml2::XML_SUCCESS) {
        SC_LOG_INFO(kSource, "CRegData::HandleUpdateData", "answer is not XML[%s]",
                    document.ErrorStr());
        m_result.code = kUpdateMalformed;
        return;
    }
    const tinyxml2::XMLElement* root = document.RootElement();
    if (!root) {
        SC_LOG_INFO(kSource, "CRegData::HandleUpdateData", "answer has no root element");
        m_result.code = kUpdateMalformed;
        return;
    }

    const char* code = ChildText(root, "upd:ProductCode");
    const std::string productCode = code ? code : "";
    if (const char* name = ChildText(root, "upd:ProductDisplayName"))
        m_result.displayName = name;
    const char* serverVersion = ChildText(root, "upd:ProductVer");
    if (serverVersion)
        m_result.serverVersion = serverVersion;
    const char* download = ChildText(root, "upd:DownloadURL");
    const char* onlineDownload = ChildText(root, "upd:OnlineDownURL");
    const char* description = ChildText(root->FirstChildElement("upd:WhatsNew"), "upd:Description");
    m_result.whatsNew = DecodeWhatsNew(description);
    SC_LOG_INFO(kSource, "CRegData::HandleUpdateData", "whatsnew[%s]", m_result.whatsNew.c_str());
    SC_LOG_INFO(kSource, "CRegData::HandleUpdateData", "server version[%s]",
                m_result.serverVersion.c_str());

    // Without its product code or a version the answer says nothing about an update.
    if (productCode.empty() || !serverVersion || !*serverVersion) {
        m_result.code = kUpdateNoProduct;
        return;
    }
    if (CompareVersionString(m_result.serverVersion, m_version) > 0) {
        m_result.downloadUrl = std::string(download ? download : "") + "?product=" + productCode;
        m_result.onlineDownloadUrl = onlineDownload ? onlineDownload : "";
        m_result.code = kUpdateNewer;
    } else {
        m_result.code = kUpdateNotNewer;
    }
}

void CRegData::SetCallBack(UpdateResultCallback callback, void* user)
{
    m_callback = callback;
    m_callbackUser = user;
}

void CRegData::DoCallBack(int code, int /*mode*/)
{
    if (m_callback)
        m_callback(m_callbackUser, code, m_callbackTag);
    SC_LOG_INFO(kSource, "CRegData::DoCallBack", "end_call_back[%d][%d]", code, m_callbackTag);
}
