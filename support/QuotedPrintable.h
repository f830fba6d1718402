#pragma once

#include <QByteArray>
#include <QString>

// The quoted-printable transfer encoding of mail bodies and header words.
class QuotedPrintable
{
public:
    // Blanks and the printable bytes 33..126 stay, except "="; every other
    // byte (controls, CR, LF, everything from 0x80) becomes "=XX" with
    // upper-case hexadecimal digits.
    static QString Encode(const QByteArray& input);
    // "=XX" (either case) gives its byte, a soft break ("=" before a line
    // end) gives nothing, every other character its Latin-1 byte (0 outside
    // Latin-1).
    static QByteArray Decode(const QString& input);
};
