#include "CRecognitionJob.h"

#include "CNetworkReplyTimeout.h"
#include "IdentifyRequest.h"
#include "JsonReader.h"
#include "RecognitionResult.h"

#include <QDebug>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QUrl>

namespace {
// No answer of the services comes near this; a larger body is cut off and
// counts as a failed request instead of filling the memory.
constexpr qint64 kMaxBodyBytes = 16 * 1024 * 1024;
} // namespace

CRecognitionJob::CRecognitionJob(const RecognitionSetup& setup, const QVariantMap& form, const QVariantMap& result,
                                 QObject* parent)
    : QObject(parent)
    , m_setup(setup)
    , m_form(form)
    , m_result(result)
{
}

CRecognitionJob::~CRecognitionJob() = default;

QNetworkRequest CRecognitionJob::Request(const QUrl& url) const
{
    QNetworkRequest request(url);
    // The peer's certificate is checked and nothing older than TLS 1.2 is
    // spoken: the token request carries the client secret.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    if (!m_setup.extraCaCertificates.isEmpty())
        tls.addCaCertificates(m_setup.extraCaCertificates);
    request.setSslConfiguration(tls);
    return request;
}

void CRecognitionJob::Watch(QNetworkReply* reply, int timeoutMs, Handler handler)
{
    m_reply = reply;
    new CNetworkReplyTimeout(reply, timeoutMs);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxBodyBytes && reply->isRunning()) {
            qDebug() << "reply body too large:" << reply->url().toDisplayString();
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, handler);
}

QNetworkReply* CRecognitionJob::TakeReply(int& status, bool& failed)
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply)
        return nullptr;
    reply->deleteLater();
    if (reply == m_reply)
        m_reply = nullptr;
    if (m_done)
        return nullptr;
    status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A 200 whose body was cut off (time-out, size limit) is no answer either.
    failed = status != 200 || reply->error() != QNetworkReply::NoError;
    return reply;
}

QVariantMap CRecognitionJob::ParseBody(QNetworkReply* reply, bool& ok) const
{
    return QVariantJsonParse(QString::fromUtf8(reply->readAll()), ok).toMap();
}

void CRecognitionJob::Start()
{
    m_network = new QNetworkAccessManager(this);
    QHttpMultiPart* multi = BuildMultiPart(m_form);
    m_form.clear();
    QNetworkReply* reply = m_network->post(Request(QUrl(m_setup.identifyBase + QLatin1String(kIdentifyPath))), multi);
    multi->setParent(reply);
    Watch(reply, m_setup.identifyTimeoutMs, &CRecognitionJob::slotNetworkReply);
}

void CRecognitionJob::Cancel()
{
    if (m_done)
        return;
    m_done = true;
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->abort();
    }
}

void CRecognitionJob::slotNetworkReply()
{
    int status = 0;
    bool failed = true;
    QNetworkReply* reply = TakeReply(status, failed);
    if (!reply)
        return;
    qDebug() << "Http status: " << status;
    qDebug() << "Reply error: " << reply->error();
    if (failed) {
        // No network, a server error or the time-out: not recognised.
        Finish();
        return;
    }
    HandleIdentifyReply(reply);
}

void CRecognitionJob::HandleIdentifyReply(QNetworkReply* reply)
{
    bool ok = false;
    const QVariantMap answer = ParseBody(reply, ok);
    if (!ok) {
        qDebug() << "identify answer is no JSON";
        Finish();
        return;
    }
    IdentifyFields fields;
    ParseResult(answer, fields);
    StoreIdentifyFields(fields, reply->error(), m_result);
    m_trackId = fields.trackId;
    if (m_trackId.isEmpty() || !m_setup.CanFetchTrack()) {
        Finish();
        return;
    }
    // The cover takes up to three more round trips; the song's data is
    // the song's already (a program that closes meanwhile keeps it).
    if (m_result.value(QStringLiteral("message")).toString() == QLatin1String("Success"))
        emit Identified(m_result);
    QNetworkRequest request = Request(QUrl(m_setup.accountsBase + QStringLiteral("/api/token")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    const QString pair =
        DecodeBase64Text(m_setup.clientId) + QLatin1Char(':') + DecodeBase64Text(m_setup.clientSecret);
    request.setRawHeader("Authorization", "Basic " + pair.toLatin1().toBase64());
    Watch(m_network->post(request, QByteArrayLiteral("grant_type=client_credentials")), m_setup.serviceTimeoutMs,
          &CRecognitionJob::slotSpotifyReply);
}

QNetworkReply* CRecognitionJob::TakeServiceReply(const char* failure)
{
    int status = 0;
    bool failed = true;
    QNetworkReply* reply = TakeReply(status, failed);
    if (!reply)
        return nullptr;
    qDebug() << "Http status: " << status << " Reply error(spotify): " << reply->error();
    if (failed) {
        qDebug() << failure;
        ServiceFailed(status);
        return nullptr;
    }
    return reply;
}

bool CRecognitionJob::ParseServiceAnswer(QNetworkReply* reply, QVariantMap& answer)
{
    bool ok = false;
    answer = ParseBody(reply, ok);
    if (!ok) {
        qDebug() << "ERROR";
        Finish();
    }
    return ok;
}

void CRecognitionJob::slotSpotifyReply()
{
    if (QNetworkReply* reply = TakeServiceReply("spotify connection error"))
        HandleTokenReply(reply);
}

void CRecognitionJob::HandleTokenReply(QNetworkReply* reply)
{
    QVariantMap answer;
    if (!ParseServiceAnswer(reply, answer))
        return;
    if (!answer.contains(QStringLiteral("access_token"))) {
        qDebug() << "no access_token in the token answer";
        Finish();
        return;
    }
    const QString token = answer.value(QStringLiteral("access_token")).toString();
    // The id came over the network: it stays one path segment.
    const QUrl url(m_setup.apiBase + QStringLiteral("/v1/tracks/")
                   + QString::fromLatin1(QUrl::toPercentEncoding(m_trackId)));
    QNetworkRequest request = Request(url);
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    Watch(m_network->get(request), m_setup.serviceTimeoutMs, &CRecognitionJob::slotImageUrlReply);
}

void CRecognitionJob::slotImageUrlReply()
{
    if (QNetworkReply* reply = TakeServiceReply("url connection error"))
        HandleTrackReply(reply);
}

void CRecognitionJob::HandleTrackReply(QNetworkReply* reply)
{
    QVariantMap answer;
    if (!ParseServiceAnswer(reply, answer))
        return;
    // Only a web address is fetched: the URL came over the network.
    const QUrl url(ChooseImageUrl(answer));
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        qDebug() << "no cover in the track answer";
        Finish();
        return;
    }
    m_network->setProxy(QNetworkProxy::NoProxy);
    Watch(m_network->get(Request(url)), m_setup.serviceTimeoutMs, &CRecognitionJob::slotImageReply);
}

void CRecognitionJob::slotImageReply()
{
    if (QNetworkReply* reply = TakeServiceReply("image error"))
        HandleImageReply(reply);
}

void CRecognitionJob::HandleImageReply(QNetworkReply* reply)
{
    m_result.insert(QStringLiteral("imageBuffer"), reply->readAll());
    Finish();
}

void CRecognitionJob::ServiceFailed(int status)
{
    // The identify data stays: the song is stored without what failed.
    m_result.insert(QStringLiteral("networkError"), status == 200 ? 0 : status);
    Finish();
}

void CRecognitionJob::Finish()
{
    if (m_done)
        return;
    m_done = true;
    emit Finished(m_result);
    deleteLater();
}
