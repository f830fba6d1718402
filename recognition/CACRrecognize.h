#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

// The recognition client: identifies a new song from its first seconds and
// delivers the song data as one map through signalGetResult.
//
// Result map keys: "identify" (int, the caller's id), "title", "album",
// "artist", "releaseDate", "genre", "message" (strings; "message" is
// "Success" when the song was recognised), "duration" (int), "networkError"
// (int) and "imageBuffer" (QByteArray, the cover picture).
//
// Thread contract: the object lives on the GUI thread; RecognizeFile and
// RecognizeBuffer run on their caller's thread (the engine's processing
// thread) and one recognition runs at a time. The signals cross to the GUI
// thread through the caller's automatic connection.
//
// The service part is not wired in yet: every recognition ends at once with
// the reset values, that is "not recognised" ("message" empty), and the client
// never opens a network connection.
class CACRrecognize : public QObject
{
    Q_OBJECT
public:
    CACRrecognize();
    ~CACRrecognize() override;

    // Identifies the song in the audio file at `path`. 0 when the request
    // went out, -1 when the path is empty or the file does not open (the
    // reset result is emitted at once either way).
    int RecognizeFile(QString path, int id);
    // The same for the complete bytes of a WAV file held in memory; -2 for a
    // null or empty buffer.
    int RecognizeBuffer(QByteArray wav, int id);

    // Clears the song fields and refills the result map (every key but
    // "identify").
    void ResetResult();

    // The map of the last recognition.
    QVariantMap Result() const { return m_result; }

signals:
    void signalGetResult(QMap<QString, QVariant> result);
    void signalFinished();

private:
    void EmitResult();

    QString m_title;
    QString m_album;
    QString m_artist;
    QString m_releaseDate;
    QString m_genre;
    int m_duration = 0;
    QByteArray m_imageBytes;
    int m_networkError = 0;
    QString m_message;
    QVariantMap m_result;
};
