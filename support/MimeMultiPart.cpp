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

bool MimeMultiPart::Streams() const
{
    // The 8bit body stands as it is; a prepared part has its text already.
    return !m_prepared && m_encoding == Encoding8Bit;
}

bool MimeMultiPart::WriteText(const TextSink& sink)
{
    if (!Streams())
        return MimePart::WriteText(sink);
    if (!sink(HeaderBlock().toUtf8()))
        return false;
    const QByteArray delimiter = "--" + m_boundary.toUtf8() + "\r\n";
    for (MimePart* part : qAsConst(m_parts)) {
        if (!sink(delimiter) || !part->WriteText(sink))
            return false;
    }
    return sink("--" + m_boundary.toUtf8() + "--\r\n\r\n");
}

qint64 MimeMultiPart::TextSize()
{
    if (!Streams())
        return MimePart::TextSize();
    const qint64 delimiter = m_boundary.toUtf8().size() + 4;
    qint64 size = HeaderBlock().toUtf8().size();
    for (MimePart* part : qAsConst(m_parts))
        size += delimiter + part->TextSize();
    return size + delimiter + 2 + 2;
}

bool MimeMultiPart::HasEightBitBody()
{
    for (MimePart* part : qAsConst(m_parts)) {
        if (part->HasEightBitBody())
            return true;
    }
    return false;
}

void MimeMultiPart::UseSevenBitBody()
{
    for (MimePart* part : qAsConst(m_parts))
        part->UseSevenBitBody();
    m_prepared = false;
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
