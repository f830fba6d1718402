#include "MimeAttachment.h"

namespace {
const char* const kDisposition = "Content-disposition: attachment";
}

MimeAttachment::MimeAttachment(QFile* file, QObject* parent)
    : MimeFile(file, parent)
{
}

MimeAttachment::MimeAttachment(const QByteArray& stream, const QString& fileName, QObject* parent)
    : MimeFile(stream, fileName, parent)
{
}

MimeAttachment::~MimeAttachment() = default;

void MimeAttachment::AddPartHeaderLines()
{
    // A second preparation must not repeat the header line.
    if (!m_header.contains(QLatin1String(kDisposition)))
        AddHeaderLine(QLatin1String(kDisposition));
}
