#include "CACRrecognize.h"

#include "AudioSample.h"
#include "CRecognitionJob.h"
#include "IdentifyRequest.h"
#include "RecognitionResult.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QMutexLocker>
#include <QThread>

namespace {
constexpr int kSampleStartSeconds = 0;
constexpr int kSampleSeconds = 12;
} // namespace

CACRrecognize::CACRrecognize() : CACRrecognize(RecognitionSetup::Current()) {}

CACRrecognize::CACRrecognize(const RecognitionSetup& setup)
    : QObject(nullptr)
    , m_setup(setup)
{
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("recognition"));
    m_jobs = new QObject;
    m_jobs->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_jobs, &QObject::deleteLater);
    m_thread->start();
}

CACRrecognize::~CACRrecognize()
{
    Shutdown();
}

void CACRrecognize::Shutdown()
{
    {
        QMutexLocker guard(&m_lock);
        if (m_shutDown)
            return;
        m_shutDown = true;
    }
    // From here no entry point posts another job (they check m_shutDown under
    // the lock), so the jobs stopped here are the last ones.
    QObject* jobs = m_jobs;
    QMetaObject::invokeMethod(
        m_jobs,
        [jobs] {
            const QObjectList running = jobs->children();
            for (QObject* child : running) {
                if (auto* job = qobject_cast<CRecognitionJob*>(child))
                    job->Cancel();
                delete child;
            }
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    // The jobs are gone: what they handed over before is all there is. It
    // is the songs' (the program keeps what has arrived), so it goes out
    // before the client falls silent.
    if (QThread::currentThread() == thread())
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    m_silent = true;
}

void CACRrecognize::Emit(const QVariantMap& result)
{
    emit signalGetResult(result);
    emit signalFinished();
}

void CACRrecognize::DeliverIdentified(QVariantMap result)
{
    if (!m_silent)
        emit signalIdentified(result);
}

void CACRrecognize::DeliverResult(QVariantMap result)
{
    if (!m_silent)
        Emit(result);
}

int CACRrecognize::RecognizeFile(QString path, int id)
{
    QVariantMap result = ResetResult();
    result.insert(QStringLiteral("identify"), id);

    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qDebug() << "Failed to open\n";
        Emit(result);
        return -1;
    }
    file.close();
    if (!m_setup.CanIdentify()) {
        Emit(result);
        return 0;
    }
    Post(result, CreateSampleByFile(path, kSampleStartSeconds, kSampleSeconds));
    return 0;
}

int CACRrecognize::RecognizeBuffer(QByteArray wav, int id)
{
    QVariantMap result = ResetResult();
    result.insert(QStringLiteral("identify"), id);

    if (wav.isEmpty()) {
        Emit(result);
        return -2;
    }
    if (!m_setup.CanIdentify()) {
        Emit(result);
        return 0;
    }
    Post(result, CreateSampleByBuffer(wav, static_cast<int>(wav.size()), kSampleStartSeconds, kSampleSeconds));
    return 0;
}

void CACRrecognize::Post(const QVariantMap& result, const QByteArray& sample)
{
    // A sample that could not be cut is only logged: the form goes out with
    // an empty sample all the same, and the service answers "no result".
    const QString timestamp = QString::number(QDateTime::currentSecsSinceEpoch());
    const QVariantMap form = IdentifyForm(DecodeBase64Text(m_setup.accessKey),
                                          DecodeBase64Text(m_setup.accessSecret), sample, timestamp);
    QMutexLocker guard(&m_lock);
    if (m_shutDown)
        return;
    QObject* jobs = m_jobs;
    QMetaObject::invokeMethod(
        m_jobs,
        [this, jobs, form, result] {
            auto* job = new CRecognitionJob(m_setup, form, result, jobs);
            connect(job, &CRecognitionJob::Identified, this, &CACRrecognize::DeliverIdentified,
                    Qt::QueuedConnection);
            connect(job, &CRecognitionJob::Finished, this, &CACRrecognize::DeliverResult, Qt::QueuedConnection);
            job->Start();
        },
        Qt::QueuedConnection);
}
