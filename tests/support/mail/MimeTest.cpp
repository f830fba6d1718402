// The mail text the MIME classes write: header lines, encoded words, part
// headers and bodies, line folding and quoted-printable.
#include "EmailAddress.h"
#include "MimeAttachment.h"
#include "MimeContentFormatter.h"
#include "MimeFile.h"
#include "MimeMessage.h"
#include "MimeMultiPart.h"
#include "MimeText.h"
#include "QuotedPrintable.h"
#include "SmtpClient.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {
QString HeaderBlock(MimeMessage& message)
{
    const QString text = message.GetText();
    return text.left(text.indexOf(QLatin1String("MIME-Version:")));
}

// Lines by any line end: a lone LF ends a line too once the mail is sent.
QStringList Lines(const QString& text)
{
    return text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
}

// Every line of `text` holds at most `max` characters and no "=XX" escape
// runs over a soft break.
void ExpectFolded(const QString& text, int max)
{
    for (const QString& line : Lines(text)) {
        EXPECT_LE(line.size(), max) << line.toStdString();
        const int eq = line.lastIndexOf(QLatin1Char('='));
        if (eq >= 0 && eq != line.size() - 1) {
            EXPECT_LE(eq + 3, line.size()) << "escape cut: " << line.toStdString();
        }
    }
}
} // namespace

TEST(MimeTest, HeaderLinesOfSenderRecipientsAndSubject)
{
    struct Case {
        const char* what;
        QString senderName;
        QList<QPair<QString, QString>> to;   // address, name
        QList<QPair<QString, QString>> cc;
        QString subject;
        MimePart::Encoding encoding;
        QString expected;
    };
    const QString bug = QStringLiteral("bug");
    const QList<Case> cases = {
        {"plain names", bug, {{"s@x.org", "support"}}, {}, "Hi", MimePart::Encoding8Bit,
         "From: bug <b@x.org>\r\nTo: support <s@x.org>\r\nSubject: Hi\r\n"},
        {"empty names", "", {{"s@x.org", ""}}, {}, "Hi", MimePart::Encoding8Bit,
         "From: <b@x.org>\r\nTo: <s@x.org>\r\nSubject: Hi\r\n"},
        {"two To and a Cc", bug, {{"a@x.org", "Ann"}, {"c@x.org", ""}}, {{"d@x.org", "Dee"}}, "S",
         MimePart::Encoding8Bit,
         "From: bug <b@x.org>\r\nTo: Ann <a@x.org>, <c@x.org>\r\nCc: Dee <d@x.org>\r\nSubject: S\r\n"},
        {"no recipients", bug, {}, {}, "S", MimePart::Encoding8Bit, "From: bug <b@x.org>\r\nTo:\r\nSubject: S\r\n"},
        {"quoted-printable words", QString::fromUtf8("J\xc3\xa9r\xc3\xb4me B"), {{"s@x.org", "a:b"}}, {},
         "a b:c", MimePart::EncodingQuotedPrintable,
         "From: =?utf-8?Q?J=C3=A9r=C3=B4me_B?= <b@x.org>\r\nTo: =?utf-8?Q?a=3Ab?= <s@x.org>\r\n"
         "Subject: =?utf-8?Q?a_b=3Ac?=\r\n"},
        {"base64 words", bug, {{"s@x.org", "support"}}, {}, QString::fromUtf8("\xc3\xa9t\xc3\xa9"),
         MimePart::EncodingBase64,
         "From: =?utf-8?B?YnVn?= <b@x.org>\r\nTo: =?utf-8?B?c3VwcG9ydA==?= <s@x.org>\r\n"
         "Subject: =?utf-8?B?w6l0w6k=?=\r\n"},
        // Plain text only where it is ASCII: a header of raw UTF-8 needs a
        // server that offers SMTPUTF8.
        {"non-ASCII text of the plain encoding goes as encoded words", QStringLiteral("J\u00fcrgen"),
         {{"s@x.org", QStringLiteral("Zo\u00eb")}, {"a@x.org", "Ann"}}, {}, QStringLiteral("Gr\u00fc\u00dfe"),
         MimePart::Encoding8Bit,
         "From: =?utf-8?B?SsO8cmdlbg==?= <b@x.org>\r\nTo: =?utf-8?B?Wm/Dqw==?= <s@x.org>, Ann <a@x.org>\r\n"
         "Subject: =?utf-8?B?R3LDvMOfZQ==?=\r\n"},
    };
    for (const Case& c : cases) {
        MimeMessage message;
        EmailAddress sender(QStringLiteral("b@x.org"), c.senderName);
        message.SetSender(&sender);
        QList<EmailAddress*> owned;
        for (const auto& r : c.to) {
            owned << new EmailAddress(r.first, r.second);
            message.AddRecipient(owned.last(), MimeMessage::To);
        }
        for (const auto& r : c.cc) {
            owned << new EmailAddress(r.first, r.second);
            message.AddRecipient(owned.last(), MimeMessage::Cc);
        }
        EmailAddress hidden(QStringLiteral("hidden@x.org"), QStringLiteral("Hidden"));
        message.AddRecipient(&hidden, MimeMessage::Bcc);
        message.AddRecipient(&hidden, 7);   // no such list: not added anywhere
        message.SetSubject(c.subject);
        message.SetHeaderEncoding(c.encoding);
        EXPECT_EQ(HeaderBlock(message), c.expected) << c.what;
        EXPECT_FALSE(message.GetText().contains(QLatin1String("hidden@x.org"))) << c.what;
        EXPECT_EQ(message.GetRecipients(MimeMessage::Bcc).size(), 1) << c.what;
        EXPECT_EQ(message.GetRecipients(9).size(), c.to.size()) << c.what;   // other types read To
        qDeleteAll(owned);
    }
}

TEST(MimeTest, LongNonAsciiHeaderTextIsFoldedIntoWordsOfWholeCharacters)
{
    // The text the encoded words of `field` spell, each word decoded on its
    // own; "" when a word is longer than 75 characters or cuts a character.
    auto decode = [](const QString& field) {
        static const QRegularExpression word(QStringLiteral("=\\?utf-8\\?B\\?([A-Za-z0-9+/=]*)\\?="));
        QString text;
        for (auto match = word.globalMatch(field); match.hasNext();) {
            const auto m = match.next();
            const QByteArray bytes = QByteArray::fromBase64(m.captured(1).toLatin1());
            if (m.capturedLength() > 75 || QString::fromUtf8(bytes).toUtf8() != bytes
                || QString::fromUtf8(bytes).contains(QChar::ReplacementCharacter))
                return QStringLiteral("");
            text += QString::fromUtf8(bytes);
        }
        return text;
    };
    struct Case {
        const char* what;
        QString name;      // the sender's
        QString subject;
    };
    const QString japanese = QString::fromUtf8("\xe5\xb1\xb1\xe7\x94\xb0\xe5\xa4\xaa\xe9\x83\x8e");
    const QString music = QString::fromUtf8("\xf0\x9f\x8e\xb5");
    const Case cases[] = {
        {"Japanese", japanese.repeated(25), japanese.repeated(60) + QStringLiteral(" - y@example.jp -> Sonacap( LINUX )")},
        {"four-byte characters", music.repeated(40), QStringLiteral("a") + music.repeated(70)},
        {"ASCII before the first foreign letter", QStringLiteral("x").repeated(70) + QStringLiteral("\u00e9"),
         QStringLiteral("y").repeated(66) + QStringLiteral("\u00e9")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MimeMessage message;
        EmailAddress sender(QStringLiteral("b@x.org"), c.name);
        EmailAddress first(QStringLiteral("first@x.org"), QStringLiteral("F").repeated(60));
        EmailAddress second(QStringLiteral("s@x.org"), c.name);
        message.SetSender(&sender);
        message.AddRecipient(&first);
        message.AddRecipient(&second);
        message.SetSubject(c.subject);
        const QString header = HeaderBlock(message);
        for (const QChar ch : header)
            ASSERT_LT(ch.unicode(), 0x80) << "raw 8-bit text in the header";
        for (const QString& line : header.split(QLatin1String("\r\n"))) {
            if (line.contains(QLatin1String("=?"))) {
                EXPECT_LE(line.size(), 76) << line.toStdString();
            }
        }
        // Unfolded, each header line again.
        QString unfolded = header;
        unfolded.replace(QLatin1String("\r\n "), QLatin1String(" "));
        const QStringList fields = unfolded.split(QLatin1String("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(fields.size(), 3) << header.toStdString();
        EXPECT_TRUE(fields[0].startsWith(QLatin1String("From: =?utf-8?B?")));
        EXPECT_TRUE(fields[0].endsWith(QLatin1String(" <b@x.org>")));
        EXPECT_EQ(decode(fields[0]), c.name);
        EXPECT_TRUE(fields[1].startsWith(QStringLiteral("To: ") + first.GetName() + QStringLiteral(" <first@x.org>, =?")));
        EXPECT_TRUE(fields[1].endsWith(QLatin1String(" <s@x.org>")));
        EXPECT_EQ(decode(fields[1]), c.name);
        EXPECT_TRUE(fields[2].startsWith(QLatin1String("Subject: =?utf-8?B?")));
        EXPECT_EQ(decode(fields[2]), c.subject);
        EXPECT_EQ(message.TextSize(), message.GetText().toUtf8().size());
    }
}

TEST(MimeTest, WhatFollowsEncodedWordsOnTheirLineKeepsItWithin76Characters)
{
    struct Case {
        const char* what;
        QList<QPair<QString, QString>> to;   // address, name
        QString unfolded;                    // the To line with its folds undone
    };
    const Case cases[] = {
        // The address ends the line at 76; the comma after it would not fit.
        {"the comma after the address",
         {{QStringLiteral("sx@xy.org"), QStringLiteral("\u00e9").repeated(18)}, {QStringLiteral("a@x.org"), {}}},
         QStringLiteral("To: =?utf-8?B?w6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOpw6nDqcOp?= <sx@xy.org>, <a@x.org>")},
        {"a recipient of an ASCII name",
         {{QStringLiteral("a@x.org"), QStringLiteral("\u00e9")},
          {QStringLiteral("second-recipient@example.org"), QStringLiteral("Anna Maria Lee")}},
         QStringLiteral("To: =?utf-8?B?w6k=?= <a@x.org>, Anna Maria Lee <second-recipient@example.org>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MimeMessage message;
        QList<EmailAddress*> owned;
        for (const auto& to : c.to) {
            owned << new EmailAddress(to.first, to.second);
            message.AddRecipient(owned.last());
        }
        const QString header = HeaderBlock(message);
        const QString to = header.mid(header.indexOf(QLatin1String("To:")));
        const QString field = to.left(to.indexOf(QRegularExpression(QStringLiteral("\r\n(?! )"))));
        for (const QString& line : field.split(QLatin1String("\r\n"))) {
            if (line.contains(QLatin1String("=?"))) {
                EXPECT_LE(line.size(), 76) << line.toStdString();
            }
        }
        EXPECT_EQ(QString(field).replace(QLatin1String("\r\n "), QLatin1String(" ")).toStdString(),
                  c.unfolded.toStdString());
        qDeleteAll(owned);
    }
}

TEST(MimeTest, ControlCharactersInHeaderValuesCannotStartHeaderLines)
{
    MimeMessage message;
    EmailAddress sender(QStringLiteral("b@x.org\r\nBcc: thief@x.org"), QStringLiteral("bug\nX-Evil: 1"));
    EmailAddress to(QStringLiteral("s@x.org"), QStringLiteral("support\r"));
    message.SetSender(&sender);
    message.AddRecipient(&to);
    message.SetSubject(QStringLiteral("Ann\r\nBcc: thief@x.org\r\n\r\nbody - a@b -> P\x01\x1b\x7f"));
    const QString header = HeaderBlock(message);
    const QStringList lines = Lines(header);
    ASSERT_EQ(lines.size(), 4) << header.toStdString();   // From, To, Subject, and the empty rest
    EXPECT_TRUE(lines[0].startsWith(QLatin1String("From: bug X-Evil: 1 <b@x.org  Bcc: thief@x.org>")));
    EXPECT_TRUE(lines[2].startsWith(QLatin1String("Subject: Ann  Bcc: thief@x.org    body - a@b -> P")));
    QString joined = header.left(header.size() - 2);
    joined.remove(QLatin1String("\r\n"));
    for (const QChar c : qAsConst(joined))
        EXPECT_GE(c.unicode(), 0x20) << "control character left in the header";
}

TEST(MimeTest, QuotedPrintableEncodingAndDecoding)
{
    struct Case {
        QByteArray bytes;
        QString encoded;
    };
    const Case cases[] = {
        {"plain text", "plain text"},
        {"\xc3\xa9", "=C3=A9"},
        {"a\r\nb", "a=0D=0Ab"},
        {"1+1=2", "1+1=3D2"},
        {"tab\there", "tab=09here"},
        {"~!\x7f\x80\xff", "~!=7F=80=FF"},
        {QByteArray("nul\0end", 7), "nul=00end"},
        {"trailing  ", "trailing  "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuotedPrintable::Encode(c.bytes), c.encoded) << c.bytes.toStdString();
        EXPECT_EQ(QuotedPrintable::Decode(c.encoded), c.bytes) << c.bytes.toStdString();
    }
    EXPECT_EQ(QuotedPrintable::Decode(QStringLiteral("=c3=a9")), QByteArray("\xc3\xa9"));
    EXPECT_EQ(QuotedPrintable::Decode(QStringLiteral("ab=\r\ncd=\nef")), QByteArray("abcdef"));
    EXPECT_EQ(QuotedPrintable::Decode(QStringLiteral("=G1=")), QByteArray("=G1="));
    EXPECT_EQ(QuotedPrintable::Decode(QString(QChar(0x263A))), QByteArray(1, '\0'));
}

TEST(MimeTest, FormatterFoldsBase64AndQuotedPrintable)
{
    MimeContentFormatter formatter(76);
    const QStringList plain = Lines(formatter.Format(QString(200, QLatin1Char('A'))));
    ASSERT_EQ(plain.size(), 3);
    EXPECT_EQ(plain[0].size(), 76);
    EXPECT_EQ(plain[1].size(), 76);
    EXPECT_EQ(plain[2].size(), 48);
    EXPECT_EQ(formatter.Format(QString(76, QLatin1Char('A'))), QString(76, QLatin1Char('A')));

    // Escapes at every offset against the break: none may be cut, and the
    // folded text decodes to the input.
    for (int prefix = 60; prefix < 80; ++prefix) {
        const QByteArray bytes = QByteArray(prefix, 'x') + QByteArray(40, '\xe9') + "tail";
        const QString folded = formatter.Format(QuotedPrintable::Encode(bytes), true);
        ExpectFolded(folded, 76);
        EXPECT_EQ(QuotedPrintable::Decode(folded), bytes) << prefix;
    }
    // Line feeds of the input end a line in quoted-printable mode.
    EXPECT_EQ(formatter.Format(QString(70, QLatin1Char('a')) + QLatin1Char('\n') + QString(70, QLatin1Char('b')), true),
              QString(70, QLatin1Char('a')) + QLatin1Char('\n') + QString(70, QLatin1Char('b')));
}

TEST(MimeTest, PartTexts)
{
    MimeText text(QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e\n"));
    EXPECT_EQ(text.GetText(), QString::fromUtf8("Content-Type: text/plain; charset=utf-8\r\n"
                                                "Content-Transfer-Encoding: 8bit\r\n\r\n"
                                                "Gr\xc3\xbc\xc3\x9f" "e\n\r\n"));

    MimeAttachment attachment(QByteArray("\x00\x01\x02zip", 6), QStringLiteral("logs.7z"));
    attachment.SetContentId(QStringLiteral("id1"));
    const QString expected = QStringLiteral("Content-Type: application/octet-stream; name=\"logs.7z\"\r\n"
                                            "Content-Transfer-Encoding: base64\r\n"
                                            "Content-ID: <id1>\r\n"
                                            "Content-disposition: attachment\r\n\r\n"
                                            "AAECemlw\r\n");
    EXPECT_EQ(attachment.GetText(), expected);
    attachment.Prepare();   // again: the disposition line stays single
    EXPECT_EQ(attachment.GetText(), expected);

    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/report.dmp");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(200, 'z'));
    out.close();
    MimeFile file(new QFile(path));
    EXPECT_EQ(file.GetContentName(), QStringLiteral("report.dmp"));
    const QStringList lines = Lines(file.GetText());
    EXPECT_EQ(lines[0], QStringLiteral("Content-Type: application/octet-stream; name=\"report.dmp\""));
    EXPECT_EQ(QByteArray::fromBase64((lines[3] + lines[4] + lines[5] + lines[6]).toLatin1()), QByteArray(200, 'z'));
    EXPECT_EQ(lines[3].size(), 76);

    MimePart seven;
    seven.SetContentType(QStringLiteral("text/plain"));
    seven.SetEncoding(MimePart::Encoding7Bit);
    seven.SetContent(QByteArray("caf\xc3\xa9"));
    EXPECT_EQ(seven.GetText(), QStringLiteral("Content-Type: text/plain\r\nContent-Transfer-Encoding: 7bit\r\n\r\n")
                                   + QString::fromLatin1("caf\xe9") + QStringLiteral("\r\n"));
}

TEST(MimeTest, TextWithAnOverlongLineGoesQuotedPrintable)
{
    struct Case {
        const char* what;
        QString text;
        bool quoted;
    };
    const QString longLine = QString(600, QChar(0x00E9));   // 1200 bytes in UTF-8
    const QList<Case> cases = {
        {"short lines stay 8bit", QStringLiteral("one\ntwo\n") + QString(998, QLatin1Char('x')), false},
        {"999 bytes on a line", QString(999, QLatin1Char('x')), true},
        {"a long accented line", QStringLiteral("intro\n") + longLine + QStringLiteral("\nend"), true},
    };
    for (const Case& c : cases) {
        MimeText part(c.text);
        const QString out = part.GetText();
        EXPECT_EQ(part.GetEncoding() == MimePart::EncodingQuotedPrintable, c.quoted) << c.what;
        for (const QString& line : Lines(out))
            EXPECT_LE(line.toUtf8().size(), 998) << c.what;
        if (c.quoted) {
            const QString body = out.mid(out.indexOf(QLatin1String("\r\n\r\n")) + 4);
            EXPECT_EQ(QString::fromUtf8(QuotedPrintable::Decode(body.chopped(2))), c.text) << c.what;
            ExpectFolded(body, 76);
        }
    }
}

TEST(MimeTest, ABodyMadeAsciiForAServerWithoutEightBitMail)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/notes.txt");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("caf\xc3\xa9 notes");
    out.close();
    struct Case {
        const char* what;
        std::function<MimePart*()> make;
        bool eightBit;
        MimePart::Encoding after;
        QByteArray content;   // what the body decodes to
    };
    const QByteArray accented("Gr\xc3\xbc\xc3\x9f" "e\nline two");
    const Case cases[] = {
        {"ASCII text", [] { return new MimeText(QStringLiteral("plain")); }, false, MimePart::Encoding8Bit, "plain"},
        {"accented text", [&] { return new MimeText(QString::fromUtf8(accented)); }, true,
         MimePart::EncodingQuotedPrintable, accented},
        {"7bit bytes that are not ASCII",
         [] {
             auto* part = new MimePart;
             part->SetContentType(QStringLiteral("text/plain"));
             part->SetContent("caf\xc3\xa9");
             return part;
         },
         true, MimePart::EncodingQuotedPrintable, "caf\xc3\xa9"},
        {"an 8bit file, not read to check",
         [&] {
             auto* file = new MimeFile(new QFile(path));
             file->SetEncoding(MimePart::Encoding8Bit);
             return file;
         },
         true, MimePart::EncodingBase64, "caf\xc3\xa9 notes"},
        {"a base64 attachment", [] { return new MimeAttachment(QByteArray("\xff\x00", 2), QStringLiteral("a.bin")); },
         false, MimePart::EncodingBase64, QByteArray("\xff\x00", 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<MimePart> part(c.make());
        MimeMultiPart multi;
        multi.AddPart(part.get());
        EXPECT_EQ(part->HasEightBitBody(), c.eightBit);
        EXPECT_EQ(multi.HasEightBitBody(), c.eightBit);
        const QByteArray before = multi.GetText().toUtf8();   // prepared once already
        multi.UseSevenBitBody();
        EXPECT_FALSE(multi.HasEightBitBody());
        EXPECT_EQ(part->GetEncoding(), c.after);
        const QByteArray text = multi.GetText().toUtf8();
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char byte) { return uchar(byte) < 0x80; }))
            << text.toStdString();
        if (!c.eightBit) {
            EXPECT_EQ(text, before) << "an ASCII body is left as it was";
        }
        const QString body = part->GetText().mid(part->GetText().indexOf(QLatin1String("\r\n\r\n")) + 4).chopped(2);
        const QByteArray decoded = c.after == MimePart::EncodingBase64 ? QByteArray::fromBase64(body.toLatin1())
            : c.after == MimePart::EncodingQuotedPrintable          ? QuotedPrintable::Decode(body)
                                                                    : body.toUtf8();
        EXPECT_EQ(decoded, c.content);
    }
}

TEST(MimeTest, MultipartBodiesAndTheMessageContent)
{
    MimeMultiPart empty;
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(empty.GetBoundary()).hasMatch());
    EXPECT_EQ(empty.GetText(), QStringLiteral("Content-Type: multipart/related; boundary=%1\r\n"
                                              "Content-Transfer-Encoding: 8bit\r\n\r\n--%1--\r\n\r\n")
                                   .arg(empty.GetBoundary()));

    const QStringList types = {"mixed", "digest", "alternative", "related", "report", "signed", "encrypted"};
    for (int i = 0; i < types.size(); ++i) {
        MimeMultiPart part;
        part.SetMimeType(MimeMultiPart::MultiPartType(i));
        EXPECT_EQ(part.GetContentType(), QStringLiteral("multipart/") + types[i]);
    }

    MimeMessage message;
    EmailAddress sender(QStringLiteral("b@x.org"), QStringLiteral("bug"));
    message.SetSender(&sender);
    MimeText one(QStringLiteral("first"));
    MimeAttachment two(QByteArray("xyz"), QStringLiteral("a.bin"));
    message.AddPart(&one);
    message.AddPart(&two);
    const QString text = message.GetText();
    EXPECT_EQ(message.GetText(), text);   // asked twice, as the mail client does
    const QString boundary = message.GetContent()->GetBoundary();
    EXPECT_TRUE(text.contains(QStringLiteral("MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=")
                              + boundary + QStringLiteral("\r\n")));
    const int first = text.indexOf(QStringLiteral("--") + boundary + QStringLiteral("\r\nContent-Type: text/plain"));
    const int second = text.indexOf(QStringLiteral("--") + boundary + QStringLiteral("\r\nContent-Type: application/octet-stream"));
    const int closing = text.indexOf(QStringLiteral("--") + boundary + QStringLiteral("--\r\n"));
    EXPECT_TRUE(first > 0 && second > first && closing > second) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("--") + boundary + QStringLiteral("--\r\n\r\n")));

    // Given content replaces the automatic one; parts then go nowhere.
    MimeText only(QStringLiteral("only"));
    message.SetContent(&only);
    message.AddPart(&two);
    EXPECT_TRUE(message.GetText().endsWith(QStringLiteral("\r\n\r\nonly\r\n")));
}

TEST(MimeTest, DataTextEndsLinesInCrLfAndDoublesLeadingDots)
{
    struct Case {
        QByteArray in;
        QByteArray out;
    };
    const Case cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\n.\nb", "a\r\n..\r\nb"},
        {".start\r\n", "..start\r\n"},
        {"x\ry\r\n", "x\r\ny\r\n"},
        {"end\r\n.\r\n", "end\r\n..\r\n"},
        {"a.b\n..c\n", "a.b\r\n...c\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SmtpClient::DataText(c.in), c.out) << c.in.toStdString();
}

TEST(MimeTest, TheMessageWrittenPieceByPieceIsItsTextWithoutHoldingTheFile)
{
    // Around the base64 line (57 bytes) and the read piece: every way a
    // piece can end; -1 is a file that cannot be read.
    const qint64 sizes[] = {-1, 0, 1, 2, 56, 57, 58, MimeFile::kReadPiece - 1, MimeFile::kReadPiece,
                            MimeFile::kReadPiece + 1, 2 * MimeFile::kReadPiece + 100};
    QTemporaryDir dir;
    for (const qint64 size : sizes) {
        SCOPED_TRACE(size);
        const QString path = dir.path() + QStringLiteral("/archive-%1.7z").arg(size);
        if (size >= 0) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            QByteArray bytes(int(size), '\0');
            for (int i = 0; i < bytes.size(); ++i)
                bytes[i] = "\r\n.=x\xff"[(i * 7 + i / 13) % 6];
            file.write(bytes);
        }
        EmailAddress sender(QStringLiteral("b@x.org"), QStringLiteral("bug"));
        EmailAddress to(QStringLiteral("s@x.org"), QStringLiteral("support"));
        MimeText text(QStringLiteral("It stopped.\n.\nJ\u00f6rg"));
        MimeAttachment attachment(new QFile(path));
        MimeAttachment small(QByteArray(100, 'z'), QStringLiteral("small.bin"));
        MimeMessage message;
        message.SetSender(&sender);
        message.AddRecipient(&to);
        message.SetSubject(QStringLiteral("Subject"));
        message.AddPart(&text);
        message.AddPart(&attachment);
        message.AddPart(&small);

        const qint64 estimate = message.TextSize();
        QByteArray written;
        int largest = 0;
        EXPECT_TRUE(message.WriteText([&](const QByteArray& piece) {
            written += piece;
            largest = qMax(largest, piece.size());
            return true;
        }));
        // The file was read piece by piece, never kept.
        EXPECT_FALSE(attachment.IsPrepared());
        EXPECT_TRUE(attachment.GetContent().isEmpty());
        EXPECT_LE(largest, MimeFile::kReadPiece * 4 / 3 + MimeFile::kReadPiece / 57 * 2 + 2);

        const QByteArray whole = message.GetText().toUtf8();
        EXPECT_EQ(written, whole);
        EXPECT_EQ(estimate, whole.size());
    }

    // A sink that stops ends the writing.
    MimeMessage message;
    MimeAttachment part(QByteArray(MimeFile::kReadPiece * 3, 'a'), QStringLiteral("a.bin"));
    message.AddPart(&part);
    int pieces = 0;
    EXPECT_FALSE(message.WriteText([&](const QByteArray&) { return ++pieces < 3; }));
    EXPECT_EQ(pieces, 3);
}
