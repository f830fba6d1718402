#pragma once

#include "MimePart.h"

#include <QList>
#include <QObject>
#include <QString>

class EmailAddress;

// A whole mail: sender, recipients, subject and one content part. Addresses
// and parts belong to the caller, except the automatic "multipart/related"
// content the message makes (and deletes) itself.
class MimeMessage : public QObject
{
    Q_OBJECT
public:
    enum RecipientType {
        To = 0,
        Cc = 1,
        Bcc = 2,
    };

    explicit MimeMessage(bool createAutoMimeContent = true, QObject* parent = nullptr);
    ~MimeMessage() override;

    void SetSender(EmailAddress* sender) { m_sender = sender; }
    EmailAddress* GetSender() const { return m_sender; }
    // Another type than To, Cc or Bcc adds nothing.
    void AddRecipient(EmailAddress* recipient, int type = To);
    // Another type reads the To list.
    const QList<EmailAddress*>& GetRecipients(int type = To) const;
    void SetSubject(const QString& subject) { m_subject = subject; }
    QString GetSubject() const { return m_subject; }
    // Appends to the content only when it is exactly a MimeMultiPart.
    void AddPart(MimePart* part);
    void SetContent(MimePart* content);
    MimePart* GetContent() const { return m_content; }
    void SetHeaderEncoding(MimePart::Encoding encoding) { m_headerEncoding = encoding; }
    MimePart::Encoding GetHeaderEncoding() const { return m_headerEncoding; }

    // The whole mail text with CR LF line ends, made anew on every call; the
    // content's own text is prepared once.
    virtual QString GetText();
    // The same text in UTF-8, handed to `sink` piece by piece as the content
    // writes itself (MimePart::WriteText); false when the sink stopped or the
    // content could not be read.
    bool WriteText(const MimePart::TextSink& sink);
    // The UTF-8 length of GetText(), without building it.
    qint64 TextSize();
    // Whether the content goes out with bytes above 127 (MimePart). The
    // header lines are not looked at: a name or subject that is not ASCII
    // goes as encoded words anyway.
    bool HasEightBitBody() { return m_content && m_content->HasEightBitBody(); }
    // Re-encodes such content in ASCII, for a server without 8BITMIME.
    void UseSevenBitBody()
    {
        if (m_content)
            m_content->UseSevenBitBody();
    }

    // A header value as it may stand in a header line: every control
    // character (CR and LF included) becomes a blank, so a value can never
    // start a header line of its own.
    static QString HeaderSafe(const QString& value);

private:
    // The header lines up to and including "MIME-Version".
    QString HeaderText() const;
    // Appends a header value of the plain header encoding: as it stands
    // when it is ASCII, else as RFC 2047 encoded words (folded where a line
    // would pass 76 characters).
    void AppendHeaderText(QString* out, const QString& text) const;
    // Appends " name <address>" (the name by the header encoding) or
    // " <address>"; on a line of encoded words, room is left for the
    // `reserve` characters that follow it.
    void AppendAddress(QString* out, const EmailAddress& address, int reserve) const;
    void AppendAddressList(QString* out, const QList<EmailAddress*>& list) const;

    EmailAddress* m_sender = nullptr;
    QList<EmailAddress*> m_to;
    QList<EmailAddress*> m_cc;
    QList<EmailAddress*> m_bcc;
    QString m_subject;
    MimePart* m_content = nullptr;
    bool m_contentOwned = false;
    MimePart::Encoding m_headerEncoding = MimePart::Encoding8Bit;
};
