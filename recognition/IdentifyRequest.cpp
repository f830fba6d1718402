#include "IdentifyRequest.h"

#include <QCryptographicHash>
#include <QHttpMultiPart>
#include <QHttpPart>
#include <QMessageAuthenticationCode>
#include <QNetworkRequest>
#include <QStringList>

const char kIdentifyDataType[] = "audio";
const char kIdentifyPath[] = "/v1/identify";

namespace {
const char kSignatureVersion[] = "1";
}

QString DecodeBase64Text(const QByteArray& text)
{
    return QString::fromUtf8(QByteArray::fromBase64(text));
}

QByteArray HmacSha1(const QByteArray& message, const QByteArray& key)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha1).toBase64();
}

QByteArray IdentifySignedText(const QString& accessKey, const QString& timestamp)
{
    const QStringList lines = {QStringLiteral("POST"), QLatin1String(kIdentifyPath), accessKey,
                               QLatin1String(kIdentifyDataType), QLatin1String(kSignatureVersion), timestamp};
    return lines.join(QLatin1Char('\n')).toLatin1();
}

QVariantMap IdentifyForm(const QString& accessKey, const QString& accessSecret, const QByteArray& sample,
                         const QString& timestamp)
{
    QVariantMap form;
    form.insert(QStringLiteral("access_key"), accessKey);
    form.insert(QStringLiteral("data_type"), QString::fromLatin1(kIdentifyDataType));
    form.insert(QStringLiteral("sample"), sample);
    form.insert(QStringLiteral("sample_bytes"), QString::number(sample.size()));
    form.insert(QStringLiteral("signature"),
                QString::fromLatin1(HmacSha1(IdentifySignedText(accessKey, timestamp), accessSecret.toUtf8())));
    form.insert(QStringLiteral("signature_version"), QString::fromLatin1(kSignatureVersion));
    form.insert(QStringLiteral("timestamp"), timestamp);
    return form;
}

QHttpMultiPart* BuildMultiPart(const QVariantMap& form)
{
    auto* multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    for (auto it = form.cbegin(); it != form.cend(); ++it) {
        QHttpPart part;
        switch (it.value().userType()) {
        case QMetaType::QString:
            part.setHeader(QNetworkRequest::ContentDispositionHeader,
                           QStringLiteral("form-data; name=\"%1\"").arg(it.key()));
            part.setBody(it.value().toString().toLatin1());
            break;
        case QMetaType::QByteArray:
            part.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/octet-stream"));
            part.setHeader(QNetworkRequest::ContentDispositionHeader,
                           QStringLiteral("form-data; name=\"%1\"; filename=\"%2\"").arg(it.key(), it.key()));
            part.setBody(it.value().toByteArray());
            break;
        default:
            continue;
        }
        multi->append(part);
    }
    return multi;
}
