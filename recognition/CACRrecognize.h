#pragma once

#include "RecognitionSetup.h"

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>

#include <atomic>

class QThread;

// The recognition client: identifies a new song from its first 12 seconds
// through the recognition service, completes its cover through the track
// service, and delivers the song data as one map through signalGetResult
// (keys in RecognitionResult.h; "message" is "Success" when the song was
// recognised), followed by signalFinished.
//
// Every recognition that an entry point accepts ends in exactly one
// signalGetResult, whatever happens on the network, until Shutdown. When the
// song was recognised and its cover is still to be fetched, signalIdentified
// comes first with the song's data (the same map without "imageBuffer"), so
// that the data is the song's while the cover is on its way.
//
// Thread contract: the object lives on the GUI thread. The entry points may
// run on any thread (the engine's processing thread in the program) and at
// the same time: each builds its request on its caller's thread and hands it
// to a job of its own (CRecognitionJob) on the client's recognition thread,
// which owns every network manager and reply, and returns without waiting
// for the network: its caller is the engine's processing thread, whose lock
// the user's Stop needs. Results of jobs are emitted on the GUI thread; the
// early ones (nothing to read, nothing configured) on the caller's thread.
// m_shutDown is guarded by m_lock; m_silent is set once by Shutdown and read
// by the deliveries on the GUI thread; m_setup never changes after
// construction.
class CACRrecognize : public QObject
{
    Q_OBJECT
public:
    // With RecognitionSetup::Current(): the compiled-in services.
    CACRrecognize();
    explicit CACRrecognize(const RecognitionSetup& setup);
    // Shuts down first.
    ~CACRrecognize() override;

    // Identifies the song in the audio file at `path`. 0 when the request
    // went out (or nothing is configured: the "not recognised" result is
    // emitted at once), -1 when the path is empty or the file does not open
    // (the reset result is emitted at once).
    int RecognizeFile(QString path, int id);
    // The same for the complete bytes of an audio file (a WAV image) held in
    // memory; -2 for a null or empty buffer.
    int RecognizeBuffer(QByteArray wav, int id);

    // The program closes: running recognitions stop at once, and later calls
    // send and emit nothing. What already came back and was not delivered
    // yet (a result, a song's data) is delivered now, on the calling thread
    // when that is the client's own; nothing is emitted afterwards.
    void Shutdown();

signals:
    void signalIdentified(QMap<QString, QVariant> result);
    void signalGetResult(QMap<QString, QVariant> result);
    void signalFinished();

private slots:
    void DeliverIdentified(QVariantMap result);
    void DeliverResult(QVariantMap result);

private:
    void Emit(const QVariantMap& result);
    // Hands the request to a job on the recognition thread.
    void Post(const QVariantMap& result, const QByteArray& sample);

    const RecognitionSetup m_setup;
    QThread* m_thread = nullptr;
    QObject* m_jobs = nullptr;   // on the recognition thread: the parent of every running job
    QMutex m_lock;
    bool m_shutDown = false;   // no new recognition is taken
    std::atomic<bool> m_silent{false};   // nothing is emitted any more
};
