#include "MimeMessage.h"

#include "EmailAddress.h"
#include "MimeMultiPart.h"
#include "QuotedPrintable.h"

#include <typeinfo>

MimeMessage::MimeMessage(bool createAutoMimeContent, QObject* parent)
    : QObject(parent)
{
    if (createAutoMimeContent) {
        m_content = new MimeMultiPart(MimeMultiPart::Related);
        m_contentOwned = true;
    }
}

MimeMessage::~MimeMessage()
{
    if (m_contentOwned)
        delete m_content;
}

void MimeMessage::AddRecipient(EmailAddress* recipient, int type)
{
    switch (type) {
    case To:
        m_to.append(recipient);
        break;
    case Cc:
        m_cc.append(recipient);
        break;
    case Bcc:
        m_bcc.append(recipient);
        break;
    default:
        break;
    }
}

const QList<EmailAddress*>& MimeMessage::GetRecipients(int type) const
{
    switch (type) {
    case Cc:
        return m_cc;
    case Bcc:
        return m_bcc;
    default:
        return m_to;
    }
}

void MimeMessage::AddPart(MimePart* part)
{
    if (m_content && typeid(*m_content) == typeid(MimeMultiPart))
        static_cast<MimeMultiPart*>(m_content)->AddPart(part);
}

void MimeMessage::SetContent(MimePart* content)
{
    if (m_contentOwned)
        delete m_content;
    m_contentOwned = false;
    m_content = content;
}

QString MimeMessage::HeaderSafe(const QString& value)
{
    QString out = value;
    for (QChar& c : out) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            c = QLatin1Char(' ');
    }
    return out;
}

namespace {
QString QEncodedWord(const QString& text)
{
    QString encoded = QuotedPrintable::Encode(text.toUtf8());
    encoded.replace(QLatin1Char(' '), QLatin1Char('_'));
    encoded.replace(QLatin1Char(':'), QLatin1String("=3A"));
    return encoded;
}
} // namespace

QString MimeMessage::EncodedName(const QString& name) const
{
    switch (m_headerEncoding) {
    case MimePart::EncodingBase64:
        return QLatin1String(" =?utf-8?B?") + QString::fromLatin1(name.toUtf8().toBase64()) + QLatin1String("?=");
    case MimePart::EncodingQuotedPrintable:
        return QLatin1String(" =?utf-8?Q?") + QEncodedWord(name) + QLatin1String("?=");
    default:
        return QLatin1Char(' ') + HeaderSafe(name);
    }
}

QString MimeMessage::AddressList(const QList<EmailAddress*>& list) const
{
    QString out;
    for (int i = 0; i < list.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        const EmailAddress* address = list.at(i);
        if (!address)
            continue;
        if (!address->GetName().isEmpty())
            out += EncodedName(address->GetName());
        out += QLatin1String(" <") + HeaderSafe(address->GetAddress()) + QLatin1Char('>');
    }
    return out;
}

QString MimeMessage::GetText()
{
    return m_content ? HeaderText() + m_content->GetText() : HeaderText();
}

bool MimeMessage::WriteText(const MimePart::TextSink& sink)
{
    return sink(HeaderText().toUtf8()) && (!m_content || m_content->WriteText(sink));
}

qint64 MimeMessage::TextSize()
{
    return HeaderText().toUtf8().size() + (m_content ? m_content->TextSize() : 0);
}

QString MimeMessage::HeaderText() const
{
    QString mime = QLatin1String("From:");
    if (m_sender) {
        if (!m_sender->GetName().isEmpty())
            mime += EncodedName(m_sender->GetName());
        mime += QLatin1String(" <") + HeaderSafe(m_sender->GetAddress()) + QLatin1Char('>');
    }
    mime += QLatin1String("\r\n");

    mime += QLatin1String("To:") + AddressList(m_to) + QLatin1String("\r\n");
    if (!m_cc.isEmpty())
        mime += QLatin1String("Cc:") + AddressList(m_cc) + QLatin1String("\r\n");

    mime += QLatin1String("Subject: ");
    switch (m_headerEncoding) {
    case MimePart::EncodingBase64:
        mime += QLatin1String("=?utf-8?B?") + QString::fromLatin1(m_subject.toUtf8().toBase64()) + QLatin1String("?=");
        break;
    case MimePart::EncodingQuotedPrintable:
        mime += QLatin1String("=?utf-8?Q?") + QEncodedWord(m_subject) + QLatin1String("?=");
        break;
    default:
        mime += HeaderSafe(m_subject);
        break;
    }
    mime += QLatin1String("\r\n");
    mime += QLatin1String("MIME-Version: 1.0\r\n");
    return mime;
}
