#include "MimeContentFormatter.h"

MimeContentFormatter::MimeContentFormatter(int maxLength, QObject* parent)
    : QObject(parent)
    , m_maxLength(maxLength)
{
}

MimeContentFormatter::~MimeContentFormatter() = default;

QString MimeContentFormatter::Format(const QString& content, bool quotedPrintable) const
{
    QString out;
    out.reserve(content.size() + content.size() / qMax(m_maxLength, 1) * 3 + 3);
    int chars = 0;   // characters on the current line, counting the one being placed
    for (const QChar c : content) {
        if (quotedPrintable) {
            if (c == QLatin1Char('\n')) {
                out.append(c);
                chars = 0;
                continue;
            }
            ++chars;
            if (chars > m_maxLength - 1 || (c == QLatin1Char('=') && chars > m_maxLength - 3)) {
                out.append(QLatin1String("=\r\n"));
                chars = 1;
            }
        } else {
            ++chars;
            if (chars > m_maxLength) {
                out.append(QLatin1String("\r\n"));
                chars = 1;
            }
        }
        out.append(c);
    }
    return out;
}
