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
// RFC 2047: an encoded word holds at most 75 characters, and a header line
// holding one at most 76.
constexpr int kMaxEncodedWord = 75;
constexpr int kMaxEncodedLine = 76;
const char* const kWordStart = "=?utf-8?B?";
const char* const kWordEnd = "?=";
constexpr int kWordFrame = 12;   // kWordStart and kWordEnd

bool IsAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7E)
            return false;
    }
    return true;
}

int LineLength(const QString& out)
{
    const int start = out.lastIndexOf(QLatin1String("\r\n"));
    return start < 0 ? out.size() : out.size() - start - 2;
}

// Appends `text` to the header being built in `out` as base64 encoded words
// of UTF-8, each of whole characters, so that every word decodes on its own.
// A word that would make its line too long goes on a line of its own
// (folded: CR LF and a blank). `out` ends with the blank that separates the
// first word from what stands before it.
void AppendEncodedWords(QString* out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    int at = 0;
    bool first = true;
    while (at < bytes.size()) {
        // The bytes a word holds when it fills `room` characters.
        auto fitting = [&](int room) {
            int n = qMin<int>((room - kWordFrame) / 4 * 3, bytes.size() - at);
            // Never split a character: back off to the start of the one cut.
            while (n > 0 && at + n < bytes.size() && (uchar(bytes.at(at + n)) & 0xC0) == 0x80)
                --n;
            return n;
        };
        const int separator = first ? 0 : 1;
        int n = fitting(qMin(kMaxEncodedWord, kMaxEncodedLine - LineLength(*out) - separator));
        if (n <= 0) {
            // Fold: the line break goes before the blank that starts the word.
            if (first)
                out->insert(out->size() - 1, QLatin1String("\r\n"));
            else
                out->append(QLatin1String("\r\n "));
            n = fitting(kMaxEncodedWord);
        } else if (!first) {
            out->append(QLatin1Char(' '));
        }
        out->append(QLatin1String(kWordStart) + QString::fromLatin1(bytes.mid(at, n).toBase64())
                    + QLatin1String(kWordEnd));
        at += n;
        first = false;
    }
}

// Appends `text`, which starts with a blank, to the header being built in
// `out`. On a line that holds encoded words it goes on the next line when
// it, with the `reserve` characters that will follow it there (a comma),
// would make that line too long.
void AppendAfterWords(QString* out, const QString& text, int reserve)
{
    const int lineStart = out->lastIndexOf(QLatin1String("\r\n"));
    const bool words = out->indexOf(QLatin1String(kWordStart), qMax(lineStart, 0)) >= 0;
    if (words && LineLength(*out) + text.size() + reserve > kMaxEncodedLine)
        out->append(QLatin1String("\r\n"));
    out->append(text);
}

QString QEncodedWord(const QString& text)
{
    QString encoded = QuotedPrintable::Encode(text.toUtf8());
    encoded.replace(QLatin1Char(' '), QLatin1Char('_'));
    encoded.replace(QLatin1Char(':'), QLatin1String("=3A"));
    return encoded;
}
} // namespace

void MimeMessage::AppendHeaderText(QString* out, const QString& text) const
{
    const QString safe = HeaderSafe(text);
    // Raw UTF-8 in a header needs a server that offers SMTPUTF8; encoded
    // words pass everywhere, and mail programs show them decoded.
    if (IsAscii(safe))
        out->append(safe);
    else
        AppendEncodedWords(out, safe);
}

void MimeMessage::AppendAddress(QString* out, const EmailAddress& address, int reserve) const
{
    const QString name = address.GetName();
    const QString bracketed = QLatin1String(" <") + HeaderSafe(address.GetAddress()) + QLatin1Char('>');
    // The base64 and quoted-printable header encodings write one word each
    // and fold nothing.
    if (!name.isEmpty() && m_headerEncoding == MimePart::EncodingBase64) {
        out->append(QLatin1String(" =?utf-8?B?") + QString::fromLatin1(name.toUtf8().toBase64()) + QLatin1String("?=")
                    + bracketed);
        return;
    }
    if (!name.isEmpty() && m_headerEncoding == MimePart::EncodingQuotedPrintable) {
        out->append(QLatin1String(" =?utf-8?Q?") + QEncodedWord(name) + QLatin1String("?=") + bracketed);
        return;
    }
    const QString safe = HeaderSafe(name);
    if (IsAscii(safe)) {
        AppendAfterWords(out, (safe.isEmpty() ? QString() : QLatin1Char(' ') + safe) + bracketed, reserve);
        return;
    }
    out->append(QLatin1Char(' '));
    AppendEncodedWords(out, safe);
    AppendAfterWords(out, bracketed, reserve);
}

void MimeMessage::AppendAddressList(QString* out, const QList<EmailAddress*>& list) const
{
    for (int i = 0; i < list.size(); ++i) {
        if (i > 0)
            out->append(QLatin1Char(','));
        // Room for the comma that follows on the line.
        if (list.at(i))
            AppendAddress(out, *list.at(i), i + 1 < list.size() ? 1 : 0);
    }
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
    if (m_sender)
        AppendAddress(&mime, *m_sender, 0);
    mime += QLatin1String("\r\n");

    mime += QLatin1String("To:");
    AppendAddressList(&mime, m_to);
    mime += QLatin1String("\r\n");
    if (!m_cc.isEmpty()) {
        mime += QLatin1String("Cc:");
        AppendAddressList(&mime, m_cc);
        mime += QLatin1String("\r\n");
    }

    mime += QLatin1String("Subject: ");
    switch (m_headerEncoding) {
    case MimePart::EncodingBase64:
        mime += QLatin1String("=?utf-8?B?") + QString::fromLatin1(m_subject.toUtf8().toBase64()) + QLatin1String("?=");
        break;
    case MimePart::EncodingQuotedPrintable:
        mime += QLatin1String("=?utf-8?Q?") + QEncodedWord(m_subject) + QLatin1String("?=");
        break;
    default:
        AppendHeaderText(&mime, m_subject);
        break;
    }
    mime += QLatin1String("\r\n");
    mime += QLatin1String("MIME-Version: 1.0\r\n");
    return mime;
}
