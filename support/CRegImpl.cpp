#include "CRegImpl.h"

#include "CRegData.h"
#include "Log.h"

namespace {
const char* const kSource = "RegImpl";
// DoCallBack's mode for an update check; the callback does not see it.
constexpr int kUpdateCallbackMode = 100;
} // namespace

CRegImpl::CRegImpl(CRegData* data)
    : m_data(data)
{
    m_data->SetNet(&m_net);
}

int CRegImpl::CombineUpdateState()
{
    SC_LOG_INFO(kSource, "CRegImpl::CombineUpdateState", "CombineUpdateState begin=================");
    if (!m_data->IsConfigured()) {
        m_data->SetResult(kUpdateNotConfigured);
        SC_LOG_INFO(kSource, "CRegImpl::CombineUpdateState", "not configured");
        return kUpdateNotConfigured;
    }
    if (m_net.InitSession() < 0) {
        m_data->SetResult(kUpdateNoHandle);
        SC_LOG_INFO(kSource, "CRegImpl::CombineUpdateState", "no session");
        return kUpdateNoHandle;
    }
    std::string url;
    m_data->MakeUpdateUrl(url);
    SC_LOG_INFO(kSource, "CRegImpl::CombineUpdateState", "req updata-url[%s]", url.c_str());

    std::string body;
    const int transfer = m_net.HttpGet(url, body);
    if (transfer != 0 && m_net.AnswerTooLarge()) {
        // No update answer is that long: the server sent something else.
        m_data->SetResult(kUpdateMalformed);
    } else if (transfer != 0) {
        SC_LOG_INFO(kSource, "CRegImpl::CombineUpdateState", "transfer failed[%d][%s]", transfer,
                    curl_easy_strerror(static_cast<CURLcode>(transfer)));
        m_data->SetResult(transfer);
    } else {
        m_data->HandleUpdateData(body);
    }
    const int code = m_data->GetResult();
    m_data->DoCallBack(code, kUpdateCallbackMode);
    SC_LOG_INFO(kSource, "CRegImpl::CombineUpdateState", "CheckUpdateState end===============%d", code);
    return code;
}

void CRegImpl::SetProduct(const char* product)
{
    m_data->SetProduct(product ? product : "");
}

void CRegImpl::SetVersion(const char* version)
{
    m_data->SetVersion(version ? version : "");
}

void CRegImpl::SetLanguage(const char* language)
{
    m_data->SetLanguage(language ? language : "");
}

void CRegImpl::SetCallBack(void (*callback)(void*, int, int), void* user)
{
    m_data->SetCallBack(callback, user);
}
