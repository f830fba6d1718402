#pragma once

// The update library's outer face: keeps the check's configuration, runs each
// check on a worker thread of its own and hands the result code to one
// callback, exactly once per check started.
//
// Thread contract: Configure, SetLanguage, SetProxy, SetCallBack, StartCheck
// and Shutdown are called from one thread (the GUI thread). The worker owns
// `m_data` and `m_impl` from StartCheck until it delivers; the GUI thread
// touches them only while no worker runs (after joining it). `m_lock` guards
// the configuration, the callback, the copy of the last result and the
// flags; the callback is called on the worker without the lock held.

#include "CRegData.h"
#include "CRegImpl.h"

#include <mutex>
#include <string>
#include <thread>

class CRegUpdater
{
public:
    CRegUpdater();
    ~CRegUpdater();   // Shutdown()
    CRegUpdater(const CRegUpdater&) = delete;
    CRegUpdater& operator=(const CRegUpdater&) = delete;

    // The query address of a service at `address` (scheme, host and port,
    // e.g. "http://updates.example.com"); empty for an empty address.
    static std::string ServiceUrlFor(const std::string& address);

    // Product id and current version as the service expects them, and the
    // service's query address; a check without a service address or product
    // reports kUpdateNotConfigured and sends nothing. Applies from the next check.
    void Configure(const std::string& product, const std::string& version, const std::string& serviceUrl);
    void SetLanguage(const std::string& language);
    // Kind CRegNet::kNoProxy for none, otherwise libcurl's proxy kind.
    void SetProxy(int type, const std::string& host, int port, const std::string& user,
                  const std::string& password);
    // callback(user, code, tag) runs on the worker thread; tag numbers the checks.
    void SetCallBack(UpdateResultCallback callback, void* user);

    // Starts a check on the worker thread. False when a check is running
    // already (its result then answers this request too) or after Shutdown.
    bool StartCheck();
    bool IsChecking() const;
    // The record of the last check that delivered (code 0 before the first).
    UpdateResult Result() const;

    // Ends a running check at once and waits for its thread. No callback
    // runs after it returns, and no check starts any more.
    void Shutdown();

private:
    struct Configuration {
        std::string product;
        std::string version;
        std::string language;
        std::string serviceUrl;
        CRegNet::ProxyRecord proxy;
    };

    void Run();
    static void Deliver(void* self, int code, int tag);

    mutable std::mutex m_lock;
    Configuration m_config;
    UpdateResultCallback m_callback = nullptr;
    void* m_callbackUser = nullptr;
    UpdateResult m_result;
    int m_serial = 0;
    bool m_running = false;
    bool m_delivered = false;
    bool m_shutdown = false;

    std::thread m_worker;   // started and joined on the calling thread only
    CRegData m_data;
    CRegImpl m_impl;
};
