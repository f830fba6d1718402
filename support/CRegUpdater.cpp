#include "CRegUpdater.h"

#include "Log.h"

namespace {
const char* const kSource = "RegUpdater";
const char* const kServicePath = "/update-product-info/update.php?action=getinfo";
} // namespace

CRegUpdater::CRegUpdater()
    : m_impl(&m_data)
{
    m_impl.SetCallBack(&CRegUpdater::Deliver, this);
}

CRegUpdater::~CRegUpdater()
{
    Shutdown();
}

std::string CRegUpdater::ServiceUrlFor(const std::string& address)
{
    std::string base = address;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base.empty() ? std::string() : base + kServicePath;
}

void CRegUpdater::Configure(const std::string& product, const std::string& version,
                            const std::string& serviceUrl)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_config.product = product;
    m_config.version = version;
    m_config.serviceUrl = serviceUrl;
}

void CRegUpdater::SetLanguage(const std::string& language)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_config.language = language;
}

void CRegUpdater::SetProxy(int type, const std::string& host, int port, const std::string& user,
                           const std::string& password)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_config.proxy.type = type;
    m_config.proxy.host = host;
    m_config.proxy.port = port;
    m_config.proxy.user = user;
    m_config.proxy.password = password;
}

void CRegUpdater::SetCallBack(UpdateResultCallback callback, void* user)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_callback = callback;
    m_callbackUser = user;
}

bool CRegUpdater::StartCheck()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_shutdown)
            return false;
        if (m_running) {
            SC_LOG_INFO(kSource, "CRegUpdater::StartCheck", "a check is running: joined");
            return false;
        }
    }
    // The last check has delivered; its thread is at most finishing its log line.
    if (m_worker.joinable())
        m_worker.join();

    std::lock_guard<std::mutex> guard(m_lock);
    m_running = true;
    m_delivered = false;
    ++m_serial;
    m_data.SetProduct(m_config.product);
    m_data.SetVersion(m_config.version);
    m_data.SetLanguage(m_config.language);
    m_data.SetServiceUrl(m_config.serviceUrl);
    m_data.SetConfigured(!m_config.serviceUrl.empty() && !m_config.product.empty());
    m_data.SetCallBackTag(m_serial);
    const CRegNet::ProxyRecord& proxy = m_config.proxy;
    m_impl.Net().SetProxy(proxy.type, proxy.host, proxy.port, proxy.user.c_str(), proxy.password.c_str());
    m_worker = std::thread(&CRegUpdater::Run, this);
    return true;
}

bool CRegUpdater::IsChecking() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_running;
}

UpdateResult CRegUpdater::Result() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_result;
}

void CRegUpdater::Shutdown()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_shutdown = true;
    }
    m_impl.Net().Abort();
    if (m_worker.joinable())
        m_worker.join();
}

void CRegUpdater::Run()
{
    SetLogThreadName("update check");
    const int code = m_impl.CombineUpdateState();
    // Not configured and no handle end before the callback: deliver them here.
    Deliver(this, code, m_data.CallBackTag());
    SetLogThreadName(nullptr);
}

void CRegUpdater::Deliver(void* self, int code, int tag)
{
    auto* updater = static_cast<CRegUpdater*>(self);
    UpdateResultCallback callback = nullptr;
    void* user = nullptr;
    {
        std::lock_guard<std::mutex> guard(updater->m_lock);
        if (updater->m_delivered)
            return;
        updater->m_delivered = true;
        updater->m_result = updater->m_data.Result();
        updater->m_result.code = code;
        updater->m_running = false;
        if (updater->m_shutdown)
            return;
        callback = updater->m_callback;
        user = updater->m_callbackUser;
    }
    if (callback)
        callback(user, code, tag);
}
