#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QNetworkProxy;
class QNetworkReply;
class QUrl;

// Uploads a report file with a few text fields to the bug-report web service
// as one multipart/form-data POST and turns the answer into a result:
// 0 when the service answered 1, -1 for any other answer, the network error
// code when the request failed. Every Post ends in exactly one
// requestFinishSignal, also when no service is configured (then at once,
// without a connection, with QNetworkReply::HostNotFoundError).
//
// The file and its checksum are read on a worker of the global thread pool
// (the form is built there); the request goes out from the GUI thread once
// they are ready. A request whose answer stops coming (no byte moves for the
// reply time-out) is aborted and reported like any network failure.
//
// Thread contract: a GUI-thread object; the replies and their signals stay on
// that thread. The worker gets copies of the fields and returns the built
// form; it touches nothing of this object.
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
    // How long a request may go without a byte moving (the update check's
    // 30 s unless replaced); 0 or less restores the default.
    void SetReplyTimeout(int ms);
    static constexpr int kReplyTimeoutMs = 30000;

    // Starts the form on its way: true once it is being read and sent (the
    // answer comes through requestFinishSignal).
    bool Post(const QString& filePath, const QString& logs);
    // Ends a running upload (its answer then reports the cancellation).
    void Abort();

signals:
    void uploadProgressSignal(qint64 sent, qint64 total);
    // Emitted while the reporter (and its network reply) still handle the
    // answer: a receiver that may destroy the reporter before its slot
    // returns (say, in a message's event loop its owner goes in) connects
    // queued.
    void requestFinishSignal(int result);

public slots:
    void requestFinish(QNetworkReply* reply);
    void uploadProgress(qint64 sent, qint64 total);

private:
    void Send(const QUrl& url, const QByteArray& body);

    struct Private;
    std::unique_ptr<Private> d;
};
