#include "MimeFile.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

MimeFile::MimeFile(QFile* file, QObject* parent)
    : MimePart(parent)
    , m_file(file)
{
    m_contentType = QStringLiteral("application/octet-stream");
    m_encoding = EncodingBase64;
    if (m_file)
        m_contentName = QFileInfo(*m_file).fileName();
}

MimeFile::MimeFile(const QByteArray& stream, const QString& fileName, QObject* parent)
    : MimePart(parent)
{
    m_contentType = QStringLiteral("application/octet-stream");
    m_encoding = EncodingBase64;
    m_content = stream;
    m_contentName = fileName;
}

MimeFile::~MimeFile()
{
    delete m_file;
}

void MimeFile::Prepare()
{
    if (m_file) {
        if (m_file->open(QIODevice::ReadOnly)) {
            m_content = m_file->readAll();
            m_file->close();
        } else {
            qWarning() << "MimeFile::Prepare cannot read" << m_file->fileName() << m_file->errorString();
        }
    }
    MimePart::Prepare();
}
