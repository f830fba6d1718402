#pragma once

#include "MimePart.h"

#include <QList>

// A container of parts between boundary lines. The parts belong to the caller.
class MimeMultiPart : public MimePart
{
    Q_OBJECT
public:
    enum MultiPartType {
        Mixed = 0,
        Digest = 1,
        Alternative = 2,
        Related = 3,
        Report = 4,
        Signed = 5,
        Encrypted = 6,
    };

    explicit MimeMultiPart(MultiPartType type = Related, QObject* parent = nullptr);
    ~MimeMultiPart() override;

    void AddPart(MimePart* part);
    const QList<MimePart*>& GetParts() const { return m_parts; }
    void SetMimeType(MultiPartType type);
    MultiPartType GetMimeType() const { return m_type; }

    void Prepare() override;
    // Piece by piece: the header, then each part as it writes itself.
    bool WriteText(const TextSink& sink) override;
    qint64 TextSize() override;
    // The body is its parts: 8-bit when one of them is; each of them made
    // ASCII, the container's own label stays.
    bool HasEightBitBody() override;
    void UseSevenBitBody() override;

    // "multipart/<subtype>" of a type; "multipart/mixed" for a value outside
    // the table.
    static QString ContentTypeOf(MultiPartType type);

private:
    // Whether WriteText and TextSize can do without the whole text.
    bool Streams() const;

    QList<MimePart*> m_parts;
    MultiPartType m_type;
};
