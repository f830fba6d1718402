#pragma once

#include <QString>
#include <QVariantMap>

// The result map of one recognition and the readers of the services' answers
// that fill it.
//
// Result map keys: "identify" (int, the caller's id), "title", "album",
// "artist", "releaseDate", "genre", "message" (strings; "message" is
// "Success" when the song was recognised), "duration" (int, seconds),
// "networkError" (int) and "imageBuffer" (QByteArray, the cover as received).

// The song data an identify answer holds.
struct IdentifyFields {
    QString title;
    QString album;
    QString artist;
    QString releaseDate;
    QString genre;
    int duration = 0;   // whole seconds
    QString message;    // the service's status message
    QString trackId;    // the track's id at the track service
};

// Every key but "identify", with empty texts, 0 and an empty image.
QVariantMap ResetResult();

// Walks a parsed identify answer depth-first in ascending key order. Title,
// release date, album, artist and genre keep the first non-empty value met,
// the duration the first "duration_ms" of at least a second, the message and
// the track id the last one met; a "msg" other than "Success" ends the walk
// of the object that holds it.
void ParseResult(const QVariantMap& answer, IdentifyFields& fields);

// Copies the identify data into the result map; `networkError` is the
// identify reply's error code.
void StoreIdentifyFields(const IdentifyFields& fields, int networkError, QVariantMap& result);

// The cover to fetch from a track answer: the URL of the last image of
// "album"/"images" whose height is 201 to 399 pixels; empty when none is.
QString ChooseImageUrl(const QVariantMap& track);
