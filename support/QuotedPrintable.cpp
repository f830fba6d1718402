#include "QuotedPrintable.h"

namespace {
int HexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}
} // namespace

QString QuotedPrintable::Encode(const QByteArray& input)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(input.size() * 3);
    for (const char ch : input) {
        const unsigned char byte = static_cast<unsigned char>(ch);
        if (byte == ' ') {
            out.append(QLatin1Char(' '));
        } else if (byte < 33 || byte > 126 || byte == '=') {
            out.append(QLatin1Char('='));
            out.append(QLatin1Char(hex[byte >> 4]));
            out.append(QLatin1Char(hex[byte & 0x0F]));
        } else {
            out.append(QLatin1Char(static_cast<char>(byte)));
        }
    }
    return out;
}

QByteArray QuotedPrintable::Decode(const QString& input)
{
    QByteArray out;
    out.reserve(input.size());
    const int n = input.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = input.at(i);
        if (c == QLatin1Char('=')) {
            if (i + 2 < n && HexValue(input.at(i + 1)) >= 0 && HexValue(input.at(i + 2)) >= 0) {
                out.append(static_cast<char>(HexValue(input.at(i + 1)) * 16 + HexValue(input.at(i + 2))));
                i += 2;
                continue;
            }
            if (i + 1 < n && input.at(i + 1) == QLatin1Char('\n')) {
                i += 1;
                continue;
            }
            if (i + 2 < n && input.at(i + 1) == QLatin1Char('\r') && input.at(i + 2) == QLatin1Char('\n')) {
                i += 2;
                continue;
            }
        }
        out.append(c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '\0');
    }
    return out;
}
