#include "PostReporter.h"

#include "FormDataBuilder.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QtConcurrent>

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
    int replyTimeoutMs = kReplyTimeoutMs;
    // Forms being read; those the user aborted meanwhile are not sent.
    QList<QFutureWatcher<QByteArray>*> reading;
    QSet<QFutureWatcher<QByteArray>*> abortedReads;
};

namespace {
struct FormFields {
    QString productName;
    QString version;
    QString keyCode;
    QString versionText;
    QString logs;
};

// Runs on a worker: reads the file and builds the whole form.
QByteArray BuildForm(const FormFields& fields, const QString& filePath)
{
    FormDataBuilder form;
    form.AddField(QStringLiteral("proname"), fields.productName);
    form.AddField(QStringLiteral("version"), fields.version);
    form.AddField(QStringLiteral("keycode"), fields.keyCode);
    form.AddField(QStringLiteral("ver"), fields.versionText);
    form.AddField(QStringLiteral("logs"), fields.logs);

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
    return form.Finish();
}
} // namespace

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

void PostReporter::SetReplyTimeout(int ms)
{
    d->replyTimeoutMs = ms > 0 ? ms : kReplyTimeoutMs;
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

    const FormFields fields{d->productName, d->version, d->keyCode, d->versionText, logs};
    auto* watcher = new QFutureWatcher<QByteArray>(this);
    d->reading.append(watcher);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url] {
        d->reading.removeAll(watcher);
        const bool aborted = d->abortedReads.remove(watcher);
        const QByteArray body = watcher->result();
        watcher->deleteLater();
        if (aborted)
            emit requestFinishSignal(QNetworkReply::OperationCanceledError);
        else
            Send(url, body);
    });
    watcher->setFuture(QtConcurrent::run(&BuildForm, fields, filePath));
    return true;
}

void PostReporter::Send(const QUrl& url, const QByteArray& body)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(d->replyTimeoutMs);
    request.setRawHeader("User-Agent", "Mozilla/4.0");
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("multipart/form-data; boundary=") + FormDataBuilder().Boundary());
    QNetworkReply* reply = d->manager->post(request, body);
    d->running.append(reply);
    connect(reply, &QNetworkReply::uploadProgress, this, &PostReporter::uploadProgress);
}

void PostReporter::Abort()
{
    for (QFutureWatcher<QByteArray>* watcher : qAsConst(d->reading))
        d->abortedReads.insert(watcher);
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
