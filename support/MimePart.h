#pragma once

#include "MimeContentFormatter.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

// One body part of a mail: its header block and its encoded content, made
// once by Prepare and then returned by GetText.
class MimePart : public QObject
{
    Q_OBJECT
public:
    enum Encoding {
        Encoding7Bit = 0,
        Encoding8Bit = 1,
        EncodingBase64 = 2,
        EncodingQuotedPrintable = 3,
    };

    explicit MimePart(QObject* parent = nullptr);
    ~MimePart() override;

    // Prepares the part when it is not prepared yet, then returns its text.
    virtual QString GetText();
    // Makes the part text (header lines, blank line, encoded body, CR LF).
    virtual void Prepare();

    // Receives the text piece by piece; returns false to stop.
    using TextSink = std::function<bool(const QByteArray& piece)>;
    // Hands the part's text, in UTF-8, to `sink` piece by piece: the pieces
    // together are GetText() in UTF-8. Parts that can (a file, a multipart)
    // never hold their whole text for it; the others hand over GetText().
    // False when the sink stopped or the content could not be read.
    virtual bool WriteText(const TextSink& sink);
    // The UTF-8 length of GetText(), without building the text of a part
    // that can write it piece by piece.
    virtual qint64 TextSize();

    // Whether the body goes out with bytes above 127: a 7bit or 8bit body
    // whose content is not ASCII. Only a server that offers 8BITMIME takes
    // such a body as it is.
    virtual bool HasEightBitBody();
    // Re-encodes such a body in ASCII (quoted-printable; a file part base64)
    // and has the part prepared anew; a body that is ASCII already stays.
    virtual void UseSevenBitBody();

    QString GetHeader() const { return m_header; }
    void SetHeader(const QString& header) { m_header = header; }
    // Appends the line and CR LF to the extra header lines.
    void AddHeaderLine(const QString& line);

    QByteArray GetContent() const { return m_content; }
    void SetContent(const QByteArray& content) { m_content = content; }
    QString GetContentId() const { return m_contentId; }
    void SetContentId(const QString& id) { m_contentId = id; }
    QString GetContentName() const { return m_contentName; }
    void SetContentName(const QString& name) { m_contentName = name; }
    QString GetContentType() const { return m_contentType; }
    void SetContentType(const QString& type) { m_contentType = type; }
    QString GetCharset() const { return m_charset; }
    void SetCharset(const QString& charset) { m_charset = charset; }
    QString GetBoundary() const { return m_boundary; }
    void SetBoundary(const QString& boundary) { m_boundary = boundary; }
    Encoding GetEncoding() const { return m_encoding; }
    void SetEncoding(Encoding encoding) { m_encoding = encoding; }
    bool IsPrepared() const { return m_prepared; }
    MimeContentFormatter& GetContentFormatter() { return m_formatter; }

    // The label of the transfer encoding; a value outside the four is sent as
    // base64, which every reader takes.
    static QString EncodingName(Encoding encoding);

protected:
    // The header lines and the blank line that ends them.
    QString HeaderBlock() const;
    // Whether a body of this encoding goes out as its content stands.
    bool SendsContentAsIs() const { return m_encoding == Encoding7Bit || m_encoding == Encoding8Bit; }
    static bool IsAscii(const QByteArray& bytes);

    QString m_header;
    QByteArray m_content;
    QString m_contentId;
    QString m_contentName;
    QString m_contentType;
    QString m_charset;
    QString m_boundary;
    Encoding m_encoding = Encoding7Bit;
    QString m_text;
    bool m_prepared = false;
    MimeContentFormatter m_formatter;
};
