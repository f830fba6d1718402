#pragma once

#include "MimePart.h"

// A plain-text part in UTF-8, sent as 8bit.
class MimeText : public MimePart
{
    Q_OBJECT
public:
    explicit MimeText(const QString& text = QString(), QObject* parent = nullptr);
    ~MimeText() override;

    QString GetTextContent() const { return m_plainText; }
    void SetText(const QString& text) { m_plainText = text; }

    // Mail lines may not pass 998 bytes: a 7bit or 8bit text with a longer
    // line goes out quoted-printable instead, whose soft breaks keep every
    // line short.
    void Prepare() override;
    bool HasEightBitBody() override;

    static constexpr int kMaxLineBytes = 998;
    static bool HasLongLine(const QByteArray& bytes);

private:
    QString m_plainText;
};
