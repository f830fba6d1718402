#pragma once

#include "MimeFile.h"

// A file part the reader offers to save ("Content-disposition: attachment").
class MimeAttachment : public MimeFile
{
    Q_OBJECT
public:
    explicit MimeAttachment(QFile* file, QObject* parent = nullptr);
    MimeAttachment(const QByteArray& stream, const QString& fileName, QObject* parent = nullptr);
    ~MimeAttachment() override;

protected:
    void AddPartHeaderLines() override;
};
