#include "CACRrecognize.h"

#include <QDebug>
#include <QFile>

CACRrecognize::CACRrecognize()
    : QObject(nullptr)
{
    ResetResult();
}

CACRrecognize::~CACRrecognize() = default;

void CACRrecognize::ResetResult()
{
    m_title.clear();
    m_album.clear();
    m_artist.clear();
    m_releaseDate.clear();
    m_genre.clear();
    m_message.clear();
    m_duration = 0;
    m_networkError = 0;
    m_imageBytes.clear();
    m_result.clear();

    m_result.insert(QStringLiteral("title"), m_title);
    m_result.insert(QStringLiteral("album"), m_album);
    m_result.insert(QStringLiteral("artist"), m_artist);
    m_result.insert(QStringLiteral("releaseDate"), m_releaseDate);
    m_result.insert(QStringLiteral("genre"), m_genre);
    m_result.insert(QStringLiteral("duration"), m_duration);
    m_result.insert(QStringLiteral("message"), m_message);
    m_result.insert(QStringLiteral("imageBuffer"), m_imageBytes);
    m_result.insert(QStringLiteral("networkError"), m_networkError);
}

void CACRrecognize::EmitResult()
{
    // A copy: the receiver runs later on the GUI thread while this thread may
    // already reset the fields for the next song.
    const QVariantMap copy = m_result;
    emit signalGetResult(copy);
    emit signalFinished();
}

int CACRrecognize::RecognizeFile(QString path, int id)
{
    ResetResult();
    m_result.insert(QStringLiteral("identify"), id);

    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qDebug() << "Failed to open\n";
        EmitResult();
        return -1;
    }
    file.close();

    // Without the service the song stays unrecognised: the reset values.
    EmitResult();
    return 0;
}

int CACRrecognize::RecognizeBuffer(QByteArray wav, int id)
{
    ResetResult();
    m_result.insert(QStringLiteral("identify"), id);

    if (wav.isNull() || wav.isEmpty()) {
        EmitResult();
        return -2;
    }

    EmitResult();
    return 0;
}
