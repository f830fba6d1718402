#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QNetworkProxy;
class QNetworkReply;

// Uploads a report file with a few text fields to the bug-report web service
// as one multipart/form-data POST and turns the answer into a result:
// 0 when the service answered 1, -1 for any other answer, the network error
// code when the request failed. Every Post ends in exactly one
// requestFinishSignal, also when no service is configured (then at once,
// without a connection, with QNetworkReply::HostNotFoundError).
//
// Thread contract: a GUI-thread object; the replies and their signals stay on
// that thread.
class PostReporter : public QObject
{
    Q_OBJECT
public:
    explicit PostReporter(QObject* parent = nullptr);
    ~PostReporter() override;

    // "http://<host>/bug-report/plugin.php?default=bug" with the build's
    // SONACAP_UPLOAD_HOST; with no host set, empty.
    static QString DefaultUploadUrl();

    void SetUploadUrl(const QString& url);
    QString UploadUrl() const;
    void SetProductName(const QString& name);
    void SetVersion(const QString& version);
    void SetKeyCode(const QString& keyCode);
    void SetVersionText(const QString& text);
    void SetProxy(const QNetworkProxy& proxy);

    // Sends the form; true once the request is on its way.
    bool Post(const QString& filePath, const QString& logs);
    // Ends a running upload (its answer then reports the cancellation).
    void Abort();

signals:
    void uploadProgressSignal(qint64 sent, qint64 total);
    void requestFinishSignal(int result);

public slots:
    void requestFinish(QNetworkReply* reply);
    void uploadProgress(qint64 sent, qint64 total);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
