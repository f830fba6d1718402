#pragma once

#include "RecognitionSetup.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QUrl;

// One recognition once its form is built: the identify request, then, when
// the answer names a track, the track service's token, track and cover
// requests one after the other. Every way it ends (an answer, an HTTP error,
// a body that is no JSON or lacks what the next step needs, a time-out)
// emits Finished exactly once, with the data gathered so far, and then the
// job deletes itself. Only Cancel ends it without Finished.
//
// A recognised song's data does not wait for its cover: when the identify
// answer recognised the song and the track service's requests follow,
// Identified carries the data at once, before any of them is sent; Finished
// repeats it, with the cover when one came.
//
// Thread contract: created, run and deleted on the recognition thread, which
// owns the job's network manager and replies; no field is shared. Only the
// Identified and Finished signals cross threads, reaching the client queued.
class CRecognitionJob : public QObject
{
    Q_OBJECT
public:
    CRecognitionJob(const RecognitionSetup& setup, const QVariantMap& form, const QVariantMap& result,
                    QObject* parent);
    ~CRecognitionJob() override;

    // Posts the identify request.
    void Start();
    // Ends the recognition at once without a result (the program closes).
    void Cancel();

signals:
    void Identified(QVariantMap result);
    void Finished(QVariantMap result);

private:
    using Handler = void (CRecognitionJob::*)();

    QNetworkRequest Request(const QUrl& url) const;
    void Watch(QNetworkReply* reply, int timeoutMs, Handler handler);
    // The finished reply that called the handler, scheduled for deletion;
    // null once the job is done. `status` is its HTTP status (0 without one),
    // `failed` whether it ended without a complete 200 answer.
    QNetworkReply* TakeReply(int& status, bool& failed);
    QVariantMap ParseBody(QNetworkReply* reply, bool& ok) const;
    // A finished track-service reply that answered; null when the
    // recognition ended with it (logged as `failure`, its status kept as the
    // network error).
    QNetworkReply* TakeServiceReply(const char* failure);
    // The reply's body as a JSON object; false (and the recognition ended)
    // when it is no JSON.
    bool ParseServiceAnswer(QNetworkReply* reply, QVariantMap& answer);

    // One slot per request, each taking its finished reply; the handler
    // reads an answer that came with HTTP status 200 and sends the next request.
    void slotNetworkReply();    // identify
    void HandleIdentifyReply(QNetworkReply* reply);
    void slotSpotifyReply();    // token
    void HandleTokenReply(QNetworkReply* reply);
    void slotImageUrlReply();   // track
    void HandleTrackReply(QNetworkReply* reply);
    void slotImageReply();      // cover
    void HandleImageReply(QNetworkReply* reply);

    void ServiceFailed(int status);
    void Finish();

    const RecognitionSetup m_setup;
    QVariantMap m_form;
    QVariantMap m_result;
    QString m_trackId;
    bool m_done = false;
    QNetworkAccessManager* m_network = nullptr;
    QNetworkReply* m_reply = nullptr;   // the request in flight
};
