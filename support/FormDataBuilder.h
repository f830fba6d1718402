#pragma once

#include <QByteArray>
#include <QString>

// Builds a multipart/form-data body around one fixed boundary: text fields
// and file parts, then the closing delimiter.
class FormDataBuilder
{
public:
    FormDataBuilder();

    // Only before the first part; otherwise warns and keeps the old one.
    bool SetBoundary(const QString& boundary);
    bool AddField(const QString& name, const QString& value);
    bool AddFileData(const QString& name, const QString& fileName, const QByteArray& data);
    // Reads the whole file; false when it cannot be opened.
    bool AddFile(const QString& name, const QString& path);
    // CR LF, the parts, then "--<boundary>--" CR LF.
    QByteArray Finish() const;
    QString Boundary() const;

private:
    QByteArray m_boundary;
    QByteArray m_body;
};
