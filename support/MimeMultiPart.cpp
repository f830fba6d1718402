#include "MimeMultiPart.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

MimeMultiPart::MimeMultiPart(MultiPartType type, QObject* parent)
    : MimePart(parent)
    , m_type(type)
{
    m_contentType = ContentTypeOf(type);
    m_encoding = Encoding8Bit;
    const QByteArray seed(1, static_cast<char>(QRandomGenerator::global()->generate() & 0xFF));
    m_boundary = QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Md5).toHex());
}

MimeMultiPart::~MimeMultiPart() = default;

QString MimeMultiPart::ContentTypeOf(MultiPartType type)
{
    static const char* const types[] = {
        "multipart/mixed",  "multipart/digest", "multipart/alternative", "multipart/related",
        "multipart/report", "multipart/signed", "multipart/encrypted",
    };
    const int index = static_cast<int>(type);
    if (index < 0 || index >= int(sizeof(types) / sizeof(types[0])))
        return QString::fromLatin1(types[0]);
    return QString::fromLatin1(types[index]);
}

void MimeMultiPart::AddPart(MimePart* part)
{
    m_parts.append(part);
}

void MimeMultiPart::SetMimeType(MultiPartType type)
{
    m_type = type;
    m_contentType = ContentTypeOf(type);
}

void MimeMultiPart::Prepare()
{
    QString body;
    for (MimePart* part : qAsConst(m_parts)) {
        body += QLatin1String("--") + m_boundary + QLatin1String("\r\n");
        part->Prepare();
        body += part->GetText();
    }
    body += QLatin1String("--") + m_boundary + QLatin1String("--\r\n");
    m_content = body.toUtf8();
    MimePart::Prepare();
}
