#pragma once

#include "MimePart.h"

class QFile;

// A file part, read when it is prepared and sent as base64.
//
// Written piece by piece (WriteText), a base64 part reads its file one piece
// at a time, so a large file never stands in memory whole, nor as text.
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
    bool WriteText(const TextSink& sink) override;
    qint64 TextSize() override;
    // A file is not read for the check: a 7bit or 8bit file part counts as
    // 8-bit, and goes base64 instead.
    bool HasEightBitBody() override;
    void UseSevenBitBody() override;

    // The bytes read and encoded at a time: whole base64 lines (57 bytes
    // make one line of 76 characters).
    static constexpr int kReadPiece = 57 * 4096;
    // The length of the base64 body, folded into lines of 76 characters with
    // CR LF after each, of `bytes` bytes (2 for none: the empty line).
    static qint64 Base64BodySize(qint64 bytes);

protected:
    // Header lines a kind of file part adds before its header is written.
    virtual void AddPartHeaderLines() {}

    QFile* m_file = nullptr;

private:
    // Whether WriteText and TextSize can do without the whole text.
    bool Streams() const;
};
