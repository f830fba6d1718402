#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

// Where the recognition client sends its requests and with which accounts.
//
// The program's values are compiled in from the build's cache variables (see
// recognition/CMakeLists.txt), which are empty unless a distributor with
// accounts at the two services sets them. Tests make their own for servers on
// 127.0.0.1.
struct RecognitionSetup {
    // scheme://host[:port] of each service; the client adds the paths.
    QString identifyBase;   // the recognition service ("/v1/identify")
    QString accountsBase;   // the track service's token endpoint ("/api/token")
    QString apiBase;        // the track service's web API ("/v1/tracks/<id>")

    // The credentials as stored: base64 texts, decoded where they are used.
    QByteArray accessKey;      // recognition service
    QByteArray accessSecret;   // recognition service, the signing key
    QByteArray clientId;       // track service
    QByteArray clientSecret;   // track service

    // How long each request may take before it is aborted.
    int identifyTimeoutMs = 5000;
    int serviceTimeoutMs = 10000;   // token, track and cover

    // Test seam: certificates trusted in addition to the system's.
    QList<QSslCertificate> extraCaCertificates;

    // The identify request can be sent at all.
    bool CanIdentify() const;
    // The track service's requests can be sent.
    bool CanFetchTrack() const;

    static RecognitionSetup CompiledIn();
    // The setup a client made without one uses: the compiled-in one unless a
    // test replaced it (any thread; guarded by a lock).
    static RecognitionSetup Current();
    static void SetCurrent(const RecognitionSetup& setup);
    static void ResetCurrent();
};
