#include "MimeText.h"

MimeText::MimeText(const QString& text, QObject* parent)
    : MimePart(parent)
    , m_plainText(text)
{
    m_contentType = QStringLiteral("text/plain");
    m_charset = QStringLiteral("utf-8");
    m_encoding = Encoding8Bit;
}

MimeText::~MimeText() = default;

bool MimeText::HasLongLine(const QByteArray& bytes)
{
    int length = 0;
    for (const char c : bytes) {
        if (c == '\n' || c == '\r') {
            length = 0;
            continue;
        }
        if (++length > kMaxLineBytes)
            return true;
    }
    return false;
}

void MimeText::Prepare()
{
    m_content = m_plainText.toUtf8();
    if ((m_encoding == Encoding7Bit || m_encoding == Encoding8Bit) && HasLongLine(m_content))
        m_encoding = EncodingQuotedPrintable;
    MimePart::Prepare();
}

bool MimeText::HasEightBitBody()
{
    // The content is made from the text only when the part is prepared.
    return SendsContentAsIs() && !IsAscii(m_plainText.toUtf8());
}
