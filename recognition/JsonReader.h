#pragma once

#include <QString>
#include <QVariant>

// The recognition client's JSON reader: turns the services' answers into
// QVariantMap, QVariantList, QString, numbers and bool, null into an invalid
// QVariant.
//
// It is lenient on purpose, as the answers it was written for are: commas are
// optional (and extra ones are skipped), text after the first value is never
// read, and true, false and null are known by their letters alone. Numbers
// become, by their text: a double when it holds a ".", else a signed 32-bit
// and then 64-bit integer when it starts with "-", else an unsigned 32-bit and
// then 64-bit integer, and the text itself (a QString) when none fits.
//
// `ok` turns false when no value stands where one must, a key lacks its colon,
// a string or a container is cut off by the end of the text, or containers
// nest deeper than JsonReaderMaxDepth. Callers look at `ok`, not at the value:
// after a failure the value is an empty map, list or an invalid QVariant. A
// null `json` is no failure: the value is invalid and `ok` true.
QVariant QVariantJsonParse(const QString& json, bool& ok);

// Objects and arrays nested deeper than this make the text unacceptable: no
// answer of the services comes near it, and deep input must not exhaust the
// stack of the thread that reads it.
constexpr int JsonReaderMaxDepth = 256;
