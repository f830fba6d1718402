#include "PostReporter.h"

#include "FormDataBuilder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#ifndef SONACAP_UPLOAD_HOST
#define SONACAP_UPLOAD_HOST ""
#endif

struct PostReporter::Private {
    QString uploadUrl;
    QString productName;
    QString version;
    QString keyCode;
    QString versionText;
    PostReporter* owner = nullptr;
    QNetworkAccessManager* manager = nullptr;
    QList<QPointer<QNetworkReply>> running;
};

QString PostReporter::DefaultUploadUrl()
{
    const QString host = QString::fromUtf8(SONACAP_UPLOAD_HOST);
    if (host.isEmpty())
        return QString();
    return QStringLiteral("http://") + host + QStringLiteral("/bug-report/plugin.php?default=bug");
}

PostReporter::PostReporter(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<Private>())
{
    d->uploadUrl = DefaultUploadUrl();
    d->owner = this;
    d->manager = new QNetworkAccessManager(this);
    connect(d->manager, &QNetworkAccessManager::finished, this, &PostReporter::requestFinish);
}

PostReporter::~PostReporter() = default;

void PostReporter::SetUploadUrl(const QString& url)
{
    d->uploadUrl = url;
}

QString PostReporter::UploadUrl() const
{
    return d->uploadUrl;
}

void PostReporter::SetProductName(const QString& name)
{
    d->productName = name;
}

void PostReporter::SetVersion(const QString& version)
{
    d->version = version;
}

void PostReporter::SetKeyCode(const QString& keyCode)
{
    d->keyCode = keyCode;
}

void PostReporter::SetVersionText(const QString& text)
{
    d->versionText = text;
}

void PostReporter::SetProxy(const QNetworkProxy& proxy)
{
    d->manager->setProxy(proxy);
}

bool PostReporter::Post(const QString& filePath, const QString& logs)
{
    const QUrl url(d->uploadUrl);
    if (d->uploadUrl.isEmpty() || !url.isValid() || url.host().isEmpty()) {
        qWarning() << "PostReporter::Post no upload service configured, nothing sent";
        // Queued, so that the caller has finished its own bookkeeping first.
        QTimer::singleShot(0, this, [this] { emit requestFinishSignal(QNetworkReply::HostNotFoundError); });
        return false;
    }

    FormDataBuilder form;
    form.AddField(QStringLiteral("proname"), d->productName);
    form.AddField(QStringLiteral("version"), d->version);
    form.AddField(QStringLiteral("keycode"), d->keyCode);
    form.AddField(QStringLiteral("ver"), d->versionText);
    form.AddField(QStringLiteral("logs"), logs);

    QFile file(filePath);
    QByteArray unique;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray data = file.readAll();
        file.close();
        form.AddFileData(QStringLiteral("upload"), filePath, data);
        unique = QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex();
    } else {
        const QByteArray now = QDateTime::currentDateTime().toString(QStringLiteral("yyMMddhhmmsszzz")).toLocal8Bit();
        unique = QCryptographicHash::hash(now, QCryptographicHash::Md5).toHex();
    }
    // The service reads the field under this spelling.
    form.AddField(QStringLiteral("unqiue"), QString::fromLatin1(unique));

    const QByteArray body = form.Finish();
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", "Mozilla/4.0");
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("multipart/form-data; boundary=") + form.Boundary());
    QNetworkReply* reply = d->manager->post(request, body);
    d->running.append(reply);
    connect(reply, &QNetworkReply::uploadProgress, this, &PostReporter::uploadProgress);
    return true;
}

void PostReporter::Abort()
{
    const QList<QPointer<QNetworkReply>> running = d->running;
    for (const QPointer<QNetworkReply>& reply : running) {
        if (reply && reply->isRunning())
            reply->abort();
    }
}

void PostReporter::requestFinish(QNetworkReply* reply)
{
    d->running.removeAll(reply);
    d->running.removeAll(nullptr);
    if (reply->error() == QNetworkReply::NoError) {
        const int answer = QString::fromUtf8(reply->readAll()).trimmed().toInt();
        emit requestFinishSignal(answer == 1 ? 0 : -1);
    } else {
        qDebug() << QStringLiteral("Reporter error code:%1; description:%2")
                        .arg(int(reply->error()))
                        .arg(reply->errorString());
        emit requestFinishSignal(int(reply->error()));
    }
    // Finished replies would otherwise pile up under the manager.
    reply->deleteLater();
}

void PostReporter::uploadProgress(qint64 sent, qint64 total)
{
    emit uploadProgressSignal(sent, total);
}
