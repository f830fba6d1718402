#include "RecognitionSetup.h"

#include <QMutex>
#include <QMutexLocker>

#include <optional>

// The build defines these for this file alone; empty means "none".
#ifndef SONACAP_ACRCLOUD_IDENTIFY_BASE
#define SONACAP_ACRCLOUD_IDENTIFY_BASE ""
#endif
#ifndef SONACAP_ACRCLOUD_ACCESS_KEY_BASE64
#define SONACAP_ACRCLOUD_ACCESS_KEY_BASE64 ""
#endif
#ifndef SONACAP_ACRCLOUD_ACCESS_SECRET_BASE64
#define SONACAP_ACRCLOUD_ACCESS_SECRET_BASE64 ""
#endif
#ifndef SONACAP_SPOTIFY_ACCOUNTS_BASE
#define SONACAP_SPOTIFY_ACCOUNTS_BASE ""
#endif
#ifndef SONACAP_SPOTIFY_API_BASE
#define SONACAP_SPOTIFY_API_BASE ""
#endif
#ifndef SONACAP_SPOTIFY_CLIENT_ID_BASE64
#define SONACAP_SPOTIFY_CLIENT_ID_BASE64 ""
#endif
#ifndef SONACAP_SPOTIFY_CLIENT_SECRET_BASE64
#define SONACAP_SPOTIFY_CLIENT_SECRET_BASE64 ""
#endif

bool RecognitionSetup::CanIdentify() const
{
    return !identifyBase.isEmpty() && !accessKey.isEmpty() && !accessSecret.isEmpty();
}

bool RecognitionSetup::CanFetchTrack() const
{
    return !accountsBase.isEmpty() && !apiBase.isEmpty() && !clientId.isEmpty() && !clientSecret.isEmpty();
}

RecognitionSetup RecognitionSetup::CompiledIn()
{
    RecognitionSetup setup;
    setup.identifyBase = QString::fromUtf8(SONACAP_ACRCLOUD_IDENTIFY_BASE);
    setup.accountsBase = QString::fromUtf8(SONACAP_SPOTIFY_ACCOUNTS_BASE);
    setup.apiBase = QString::fromUtf8(SONACAP_SPOTIFY_API_BASE);
    setup.accessKey = QByteArray(SONACAP_ACRCLOUD_ACCESS_KEY_BASE64);
    setup.accessSecret = QByteArray(SONACAP_ACRCLOUD_ACCESS_SECRET_BASE64);
    setup.clientId = QByteArray(SONACAP_SPOTIFY_CLIENT_ID_BASE64);
    setup.clientSecret = QByteArray(SONACAP_SPOTIFY_CLIENT_SECRET_BASE64);
    return setup;
}

namespace {
QMutex g_currentLock;
std::optional<RecognitionSetup> g_current;   // guarded by g_currentLock
} // namespace

RecognitionSetup RecognitionSetup::Current()
{
    QMutexLocker guard(&g_currentLock);
    return g_current ? *g_current : CompiledIn();
}

void RecognitionSetup::SetCurrent(const RecognitionSetup& setup)
{
    QMutexLocker guard(&g_currentLock);
    g_current = setup;
}

void RecognitionSetup::ResetCurrent()
{
    QMutexLocker guard(&g_currentLock);
    g_current.reset();
}
