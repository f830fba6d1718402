#include "CGUITavrelRegister.h"

#include "CAppSettings.h"
#include "CRegNet.h"
#include "CRegUpdater.h"
#include "Log.h"
#include "UpdateStrings.h"

#include <QDate>
#include <QNetworkProxy>
#include <QStringList>

#ifndef SONACAP_UPDATE_SERVICE
#define SONACAP_UPDATE_SERVICE ""
#endif

namespace {
const char* const kSource = "GUITavrelRegister";

CGUITavrelRegister* g_instance = nullptr;   // GUI thread only

QString& ServiceAddressField()   // GUI thread only
{
    static QString address = QString::fromUtf8(SONACAP_UPDATE_SERVICE);
    return address;
}

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}
} // namespace

CGUITavrelRegister* CGUITavrelRegister::GetInstance()
{
    if (!g_instance)
        g_instance = new CGUITavrelRegister;
    return g_instance;
}

void CGUITavrelRegister::ReleaseInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

QString CGUITavrelRegister::ServiceAddress()
{
    return ServiceAddressField();
}

void CGUITavrelRegister::SetServiceAddress(const QString& address)
{
    ServiceAddressField() = address;
}

CGUITavrelRegister::CGUITavrelRegister()
    : QObject(nullptr)
    , m_updater(std::make_unique<CRegUpdater>())
{
    // The update check writes its own dated log in a folder of its own: the
    // log library deletes every old file of its folder.
    const QString folder = CAppSettings::GetInstance()->GetLogPath() + QStringLiteral("/log/");
    InitLogSystem("Update", folder.toUtf8().constData(), 0, 2, 0);
    m_logStarted = true;

    connect(this, &CGUITavrelRegister::updateCheckFinished, this, &CGUITavrelRegister::OnCheckFinished,
            Qt::QueuedConnection);
    m_updater->SetCallBack(&CGUITavrelRegister::LibraryCallback, this);
}

CGUITavrelRegister::~CGUITavrelRegister()
{
    // First end the worker: its call back must not meet a half-destroyed object.
    m_updater->Shutdown();
    m_updater.reset();
    if (m_logStarted)
        ReleaseLogSystem();
}

void CGUITavrelRegister::InitUpdateCheck()
{
    CAppSettings* settings = CAppSettings::GetInstance();
    m_updater->Configure(Utf8(settings->GetProductName()), Utf8(settings->GetCurrentVersion()),
                         CRegUpdater::ServiceUrlFor(Utf8(ServiceAddress())));
    m_updater->SetLanguage(Utf8(settings->GetLanguage()));
    ApplyProxy();
}

void CGUITavrelRegister::ApplyProxy()
{
    CAppSettings* settings = CAppSettings::GetInstance();
    ProxyInfo info;
    settings->GetProxyInfo(&info);
    const bool enabled = settings->GetProxyEnabled() != 0 && info.type > -1;
    const QNetworkProxy proxy(enabled ? QNetworkProxy::HttpProxy : QNetworkProxy::NoProxy,
                              QString::fromUtf8(info.host), static_cast<quint16>(info.port),
                              QString::fromUtf8(info.user), QString::fromUtf8(info.password));
    if (proxy.type() == QNetworkProxy::HttpProxy)
        m_updater->SetProxy(CURLPROXY_HTTP, Utf8(proxy.hostName()), proxy.port(), Utf8(proxy.user()),
                            Utf8(proxy.password()));
    else
        m_updater->SetProxy(CRegNet::kNoProxy, std::string(), 0, std::string(), std::string());
}

void CGUITavrelRegister::SetLanguage()
{
    m_updater->SetLanguage(Utf8(CAppSettings::GetInstance()->GetLanguage()));
}

void CGUITavrelRegister::OnUpdateResult(int fromStartup)
{
    if (fromStartup == 0) {
        // The judgement follows in OnCheckFinished; a running check answers for this one too.
        m_updater->StartCheck();
        return;
    }
    Judge();
    emit tavrelUpdateCallBack();
}

bool CGUITavrelRegister::IsChecking() const
{
    return m_updater->IsChecking();
}

void CGUITavrelRegister::LibraryCallback(void* user, int code, int /*tag*/)
{
    emit static_cast<CGUITavrelRegister*>(user)->updateCheckFinished(code);
}

void CGUITavrelRegister::OnCheckFinished(int code)
{
    Judge();
    // A check that got its answer counts for the automatic check's interval;
    // one that failed is tried again at the next start.
    if (m_status == kStatusNewer || m_status == kStatusNewest) {
        const QDate today = QDate::currentDate();
        CAppSettings::GetInstance()->SetUpdateDate(today.year(), today.month(), today.day());
    }
    SC_LOG_INFO(kSource, "CGUITavrelRegister::OnCheckFinished", "code[%d] status[%d]", code, m_status);
    emit tavrelUpdateCallBack();
}

void CGUITavrelRegister::Judge()
{
    const UpdateResult result = m_updater->Result();
    CAppSettings* settings = CAppSettings::GetInstance();
    const QString installed = settings->GetCurrentVersion();
    const QString server = QString::fromUtf8(result.serverVersion.c_str());
    const bool answered = result.code == kUpdateNewer || result.code == kUpdateNotNewer;
    if (result.code == kUpdateNewer && CompareVersion(server, installed) > 0) {
        m_status = kStatusNewer;
        m_downloadUrl = QString::fromUtf8(result.downloadUrl.c_str());
        m_whatsNew = QString::fromUtf8(result.whatsNew.c_str());
        m_message = tr("A new version of %1 found! \nCurrent version: %2\nNew version: "
                       "%3\n\nWould you like to update the product?")
                        .arg(settings->GetDisplayName(), 0, QLatin1Char(' '))
                        .arg(installed, 0, QLatin1Char(' '))
                        .arg(server, 0, QLatin1Char(' '));
    } else if (answered) {
        m_status = kStatusNewest;
        m_message = tr("You are using the newest version");
    } else if (result.code == 0) {
        m_status = kStatusNone;   // no check has ended yet
        m_message.clear();
    } else {
        m_status = kStatusFailed;
        m_message = tr("Could not check for updates");
    }
}

int CGUITavrelRegister::CompareVersion(const QString& a, const QString& b)
{
    if (a == b)
        return 0;
    const QStringList partsA = a.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    const QStringList partsB = b.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    const int count = qMax(partsA.size(), partsB.size());
    for (int i = 0; i < count; ++i) {
        const std::string va = i < partsA.size() ? VersionFieldNumber(Utf8(partsA.at(i)), true) : "0";
        const std::string vb = i < partsB.size() ? VersionFieldNumber(Utf8(partsB.at(i)), true) : "0";
        const int order = CompareDecimalNumbers(va, vb);
        if (order != 0)
            return order;
    }
    return 0;
}
