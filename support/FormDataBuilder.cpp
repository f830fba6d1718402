#include "FormDataBuilder.h"

#include <QDebug>
#include <QFile>

FormDataBuilder::FormDataBuilder()
    : m_boundary("-----------------------------7d935033608e2d4gu67jgfdy657hyu76rth45632d3")
{
}

bool FormDataBuilder::SetBoundary(const QString& boundary)
{
    if (!m_body.isEmpty()) {
        qWarning() << "boundary has seted!";
        return false;
    }
    m_boundary = boundary.toLatin1();
    return true;
}

bool FormDataBuilder::AddField(const QString& name, const QString& value)
{
    m_body += "--" + m_boundary + "\r\n";
    m_body += "Content-Disposition: form-data; name=\"" + name.toUtf8() + "\"\r\n";
    m_body += "\r\n";
    m_body += value.toUtf8();
    m_body += "\r\n";
    return true;
}

bool FormDataBuilder::AddFileData(const QString& name, const QString& fileName, const QByteArray& data)
{
    m_body += "--" + m_boundary + "\r\n";
    m_body += "Content-Disposition: form-data; name=\"" + name.toUtf8() + "\"; filename=\"" + fileName.toUtf8()
        + "\"\r\n";
    m_body += "Content-Type: application/x-compress\r\n";
    m_body += "\r\n";
    m_body += data;
    m_body += "\r\n";
    return true;
}

bool FormDataBuilder::AddFile(const QString& name, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    file.close();
    return AddFileData(name, path, data);
}

QByteArray FormDataBuilder::Finish() const
{
    return "\r\n" + m_body + "--" + m_boundary + "--\r\n";
}

QString FormDataBuilder::Boundary() const
{
    return QString::fromLatin1(m_boundary);
}
