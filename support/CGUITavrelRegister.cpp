#include "CGUITavrelRegister.h"

#include "CAppSettings.h"

#include <QStringList>

namespace {
CGUITavrelRegister* g_instance = nullptr;   // GUI thread only

CGUITavrelRegister::Checker& CurrentChecker()
{
    static CGUITavrelRegister::Checker checker;
    return checker;
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

CGUITavrelRegister::Checker CGUITavrelRegister::SetChecker(Checker checker)
{
    Checker previous = CurrentChecker();
    CurrentChecker() = std::move(checker);
    return previous;
}

CGUITavrelRegister::CGUITavrelRegister()
    : QObject(nullptr)
{
}

CGUITavrelRegister::~CGUITavrelRegister() = default;

void CGUITavrelRegister::InitUpdateCheck()
{
    CAppSettings* settings = CAppSettings::GetInstance();
    m_inputs.productName = settings->GetProductName();
    m_inputs.productShortName = settings->GetProductShortName();
    m_inputs.version = settings->GetCurrentVersion();
    m_inputs.language = settings->GetLanguage();
    ApplyProxy();
}

void CGUITavrelRegister::ApplyProxy()
{
    CAppSettings* settings = CAppSettings::GetInstance();
    ProxyInfo proxy;
    settings->GetProxyInfo(&proxy);
    if (settings->GetProxyEnabled() != 0 && proxy.type > -1) {
        m_inputs.proxyType = 0;   // HTTP proxy
        m_inputs.proxyHost = QString::fromUtf8(proxy.host);
        m_inputs.proxyPort = proxy.port;
        m_inputs.proxyUser = QString::fromUtf8(proxy.user);
        m_inputs.proxyPassword = QString::fromUtf8(proxy.password);
    } else {
        m_inputs.proxyType = 2;   // no proxy
        m_inputs.proxyHost.clear();
        m_inputs.proxyPort = 0;
        m_inputs.proxyUser.clear();
        m_inputs.proxyPassword.clear();
    }
}

void CGUITavrelRegister::SetLanguage()
{
    m_inputs.language = CAppSettings::GetInstance()->GetLanguage();
}

int CGUITavrelRegister::CompareVersion(const QString& a, const QString& b)
{
    if (a == b)
        return 0;
    const QStringList partsA = a.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    const QStringList partsB = b.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    const int count = qMax(partsA.size(), partsB.size());
    for (int i = 0; i < count; ++i) {
        const int va = i < partsA.size() ? partsA.at(i).toInt() : 0;
        const int vb = i < partsB.size() ? partsB.at(i).toInt() : 0;
        if (va != vb)
            return va < vb ? -1 : 1;
    }
    return 0;
}

void CGUITavrelRegister::OnUpdateResult(int fromStartup)
{
    if (fromStartup == 0 && CurrentChecker())
        m_lastResult = CurrentChecker()(m_inputs);

    CAppSettings* settings = CAppSettings::GetInstance();
    const QString installed = settings->GetCurrentVersion();
    // A check that found nothing has no server version: nothing newer.
    const int order = m_lastResult.serverVersion.isEmpty()
        ? 0
        : CompareVersion(m_lastResult.serverVersion, installed);
    if (order <= 0) {
        m_status = 2;
        m_message = tr("You are using the newest version");
    } else {
        m_status = 1;
        m_downloadUrl = m_lastResult.downloadUrl;
        m_whatsNew = m_lastResult.whatsNew;
        m_message = tr("A new version of %1 found! \nCurrent version: %2\nNew version: "
                       "%3\n\nWould you like to update the product?")
                        .arg(settings->GetDisplayName(), 0, QLatin1Char(' '))
                        .arg(installed, 0, QLatin1Char(' '))
                        .arg(m_lastResult.serverVersion, 0, QLatin1Char(' '));
    }
    emit tavrelUpdateCallBack();
}
