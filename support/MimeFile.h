#pragma once

#include "MimePart.h"

class QFile;

// A file part, read when it is prepared and sent as base64.
class MimeFile : public MimePart
{
    Q_OBJECT
public:
    // Takes ownership of the file; the part is named after the file name
    // without its folder.
    explicit MimeFile(QFile* file, QObject* parent = nullptr);
    MimeFile(const QByteArray& stream, const QString& fileName, QObject* parent = nullptr);
    ~MimeFile() override;

    void Prepare() override;

protected:
    QFile* m_file = nullptr;
};
