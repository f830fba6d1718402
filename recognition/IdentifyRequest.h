#pragma once

#include <QByteArray>
#include <QString>
#include <QVariantMap>

class QHttpMultiPart;

// The identify request: its signature and its multipart form.
//
// The sample is the song's audio itself (a small WAV, see samplecut), so the
// form's "data_type" and the fourth line of the signed text are both
// kIdentifyDataType.

extern const char kIdentifyDataType[];   // "audio"
extern const char kIdentifyPath[];       // "/v1/identify"

// A stored credential in clear: the base64 text decoded, its bytes read as UTF-8.
QString DecodeBase64Text(const QByteArray& text);

// HMAC-SHA1 (RFC 2104) of `message` under `key`, as base64 text.
QByteArray HmacSha1(const QByteArray& message, const QByteArray& key);

// The six lines that are signed: method, path, access key, data type,
// signature version and timestamp, joined by line feeds.
QByteArray IdentifySignedText(const QString& accessKey, const QString& timestamp);

// The form's parts by name; text parts are QStrings, the sample a QByteArray.
QVariantMap IdentifyForm(const QString& accessKey, const QString& accessSecret, const QByteArray& sample,
                         const QString& timestamp);

// The form as a multipart/form-data body, its parts in ascending name order:
// a QString becomes a text part (Latin-1), a QByteArray a file part named after
// its key with the type application/octet-stream; other values are skipped.
// The caller owns the result.
QHttpMultiPart* BuildMultiPart(const QVariantMap& form);
