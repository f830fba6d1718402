#include "MimePart.h"

#include "QuotedPrintable.h"

MimePart::MimePart(QObject* parent)
    : QObject(parent)
    , m_formatter(76)
{
}

MimePart::~MimePart() = default;

void MimePart::AddHeaderLine(const QString& line)
{
    m_header += line + QLatin1String("\r\n");
}

QString MimePart::GetText()
{
    if (!m_prepared)
        Prepare();
    return m_text;
}

QString MimePart::EncodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding7Bit:
        return QStringLiteral("7bit");
    case Encoding8Bit:
        return QStringLiteral("8bit");
    case EncodingQuotedPrintable:
        return QStringLiteral("quoted-printable");
    case EncodingBase64:
    default:
        return QStringLiteral("base64");
    }
}

bool MimePart::WriteText(const TextSink& sink)
{
    return sink(GetText().toUtf8());
}

qint64 MimePart::TextSize()
{
    return GetText().toUtf8().size();
}

bool MimePart::IsAscii(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (uchar(c) > 0x7F)
            return false;
    }
    return true;
}

bool MimePart::HasEightBitBody()
{
    return SendsContentAsIs() && !IsAscii(m_content);
}

void MimePart::UseSevenBitBody()
{
    if (!HasEightBitBody())
        return;
    m_encoding = EncodingQuotedPrintable;
    m_prepared = false;
}

QString MimePart::HeaderBlock() const
{
    QString text = QLatin1String("Content-Type: ") + m_contentType;
    if (!m_contentName.isEmpty())
        text += QLatin1String("; name=\"") + m_contentName + QLatin1Char('"');
    if (!m_charset.isEmpty())
        text += QLatin1String("; charset=") + m_charset;
    if (!m_boundary.isEmpty())
        text += QLatin1String("; boundary=") + m_boundary;
    text += QLatin1String("\r\n");

    text += QLatin1String("Content-Transfer-Encoding: ") + EncodingName(m_encoding) + QLatin1String("\r\n");
    if (!m_contentId.isEmpty())
        text += QLatin1String("Content-ID: <") + m_contentId + QLatin1String(">\r\n");
    text += m_header + QLatin1String("\r\n");
    return text;
}

void MimePart::Prepare()
{
    m_text = HeaderBlock();

    switch (m_encoding) {
    case Encoding7Bit:
        m_text += QString::fromLatin1(QString::fromUtf8(m_content).toLatin1());
        break;
    case Encoding8Bit:
        m_text += QString::fromUtf8(m_content);
        break;
    case EncodingQuotedPrintable:
        m_text += m_formatter.Format(QuotedPrintable::Encode(m_content), true);
        break;
    case EncodingBase64:
    default:
        m_text += m_formatter.Format(QString::fromLatin1(m_content.toBase64()), false);
        break;
    }
    m_text += QLatin1String("\r\n");
    m_prepared = true;
}
