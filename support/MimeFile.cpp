#include "MimeFile.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr int kLineLength = 76;

// Appends the base64 of `bytes` (a whole number of 57-byte lines, but for
// the last piece) to `out` as lines of 76 characters, each ending in CR LF:
// what the formatter's plain folding and the part's closing CR LF give.
void AppendBase64Lines(const QByteArray& bytes, QByteArray* out)
{
    const QByteArray encoded = bytes.toBase64();
    out->reserve(out->size() + encoded.size() + (encoded.size() / kLineLength + 1) * 2);
    for (int at = 0; at < encoded.size(); at += kLineLength) {
        out->append(encoded.constData() + at, qMin(kLineLength, encoded.size() - at));
        out->append("\r\n", 2);
    }
}
} // namespace

MimeFile::MimeFile(QFile* file, QObject* parent)
    : MimePart(parent)
    , m_file(file)
{
    m_contentType = QStringLiteral("application/octet-stream");
    m_encoding = EncodingBase64;
    if (m_file)
        m_contentName = QFileInfo(*m_file).fileName();
}

MimeFile::MimeFile(const QByteArray& stream, const QString& fileName, QObject* parent)
    : MimePart(parent)
{
    m_contentType = QStringLiteral("application/octet-stream");
    m_encoding = EncodingBase64;
    m_content = stream;
    m_contentName = fileName;
}

MimeFile::~MimeFile()
{
    delete m_file;
}

void MimeFile::Prepare()
{
    AddPartHeaderLines();
    if (m_file) {
        if (m_file->open(QIODevice::ReadOnly)) {
            m_content = m_file->readAll();
            m_file->close();
        } else {
            qWarning() << "MimeFile::Prepare cannot read" << m_file->fileName() << m_file->errorString();
        }
    }
    MimePart::Prepare();
}

bool MimeFile::HasEightBitBody()
{
    return m_file ? SendsContentAsIs() : MimePart::HasEightBitBody();
}

void MimeFile::UseSevenBitBody()
{
    if (!HasEightBitBody())
        return;
    m_encoding = EncodingBase64;
    m_prepared = false;
}

qint64 MimeFile::Base64BodySize(qint64 bytes)
{
    if (bytes <= 0)
        return 2;
    const qint64 characters = (bytes + 2) / 3 * 4;
    return characters + (characters + kLineLength - 1) / kLineLength * 2;
}

bool MimeFile::Streams() const
{
    // A prepared part has its text already; other encodings are not worth it.
    return !m_prepared && m_encoding == EncodingBase64;
}

qint64 MimeFile::TextSize()
{
    if (!Streams())
        return MimePart::TextSize();
    AddPartHeaderLines();
    // A file that cannot be read goes out empty, as Prepare sends it.
    const qint64 bytes = m_file ? (QFileInfo(m_file->fileName()).isReadable() ? m_file->size() : 0) : m_content.size();
    return HeaderBlock().toUtf8().size() + Base64BodySize(bytes);
}

bool MimeFile::WriteText(const TextSink& sink)
{
    if (!Streams())
        return MimePart::WriteText(sink);
    AddPartHeaderLines();
    if (!sink(HeaderBlock().toUtf8()))
        return false;

    QByteArray piece;
    if (!m_file) {
        for (int at = 0; at < m_content.size(); at += kReadPiece) {
            piece.resize(0);
            AppendBase64Lines(QByteArray::fromRawData(m_content.constData() + at, qMin(kReadPiece, m_content.size() - at)),
                              &piece);
            if (!sink(piece))
                return false;
        }
        return !m_content.isEmpty() || sink(QByteArrayLiteral("\r\n"));
    }

    if (!m_file->open(QIODevice::ReadOnly)) {
        qWarning() << "MimeFile::WriteText cannot read" << m_file->fileName() << m_file->errorString();
        return sink(QByteArrayLiteral("\r\n"));
    }
    QByteArray bytes(kReadPiece, Qt::Uninitialized);
    qint64 total = 0;
    bool ok = true;
    for (;;) {
        // Every piece but the last must be whole lines, or the base64 of the
        // pieces would not join up.
        qint64 filled = 0;
        while (filled < kReadPiece) {
            const qint64 n = m_file->read(bytes.data() + filled, kReadPiece - filled);
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            filled += n;
        }
        if (!ok) {
            qWarning() << "MimeFile::WriteText read failed" << m_file->fileName() << m_file->errorString();
            break;
        }
        if (filled == 0)
            break;
        total += filled;
        piece.resize(0);
        AppendBase64Lines(QByteArray::fromRawData(bytes.constData(), int(filled)), &piece);
        if (!sink(piece)) {
            ok = false;
            break;
        }
        if (filled < kReadPiece)
            break;
    }
    m_file->close();
    return ok && (total > 0 || sink(QByteArrayLiteral("\r\n")));
}
