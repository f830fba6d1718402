#include "SmtpClient.h"

#include "EmailAddress.h"
#include "MimeMessage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {
// The longest a blocking wait runs before it looks at the stop flag again.
constexpr int kSliceMs = 50;

QString Base64(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

qint64 Utf8Length(const QString& text)
{
    return text.toUtf8().size();
}

// Converts the message text for the DATA phase: every line end becomes CR LF
// and a "." opening a line is doubled. The state carries over from one piece
// of the text to the next, so a CR LF or a line start split between two
// pieces comes out as it would from the whole text.
struct DataStuffing {
    bool lineStart = true;
    bool afterCr = false;

    void Append(const QByteArray& text, QByteArray* out)
    {
        const char* p = text.constData();
        const char* const end = p + text.size();
        while (p < end) {
            const char c = *p;
            if (c == '\n' && afterCr) {
                afterCr = false;
                ++p;
                continue;
            }
            afterCr = false;
            if (c == '\r' || c == '\n') {
                out->append("\r\n", 2);
                lineStart = true;
                afterCr = c == '\r';
                ++p;
                continue;
            }
            if (lineStart && c == '.')
                out->append('.');
            const char* q = p;
            while (q < end && *q != '\r' && *q != '\n')
                ++q;
            out->append(p, int(q - p));
            lineStart = false;
            p = q;
        }
    }
};

} // namespace

SmtpClient::SmtpClient(const QString& host, int port, ConnectionType connectionType, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_port(port)
{
    SetConnectionType(connectionType);
}

SmtpClient::~SmtpClient()
{
    // An exchange the user cancelled leaves a reset connection behind, however
    // it noticed the cancel.
    AbortSeen();
}

void SmtpClient::SetConnectionType(int type)
{
    m_connectionType = type;
    delete m_socket;
    m_socket = nullptr;
    switch (type) {
    case TcpConnection:
        m_socket = new QTcpSocket(this);
        break;
    case SslConnection:
    case TlsConnection: {
        auto* ssl = new QSslSocket(this);
        connect(ssl, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), this,
                [](const QList<QSslError>& errors) {
                    for (const QSslError& error : errors)
                        qWarning() << "SmtpClient TLS:" << error.errorString();
                });
        m_socket = ssl;
        break;
    }
    default:
        return;
    }
    m_socket->setProxy(QNetworkProxy::NoProxy);
    connect(m_socket, &QAbstractSocket::stateChanged, this, &SmtpClient::socketStateChanged);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &SmtpClient::socketError);
    connect(m_socket, &QIODevice::readyRead, this, &SmtpClient::socketReadyRead);
}

void SmtpClient::AddCaCertificates(const QList<QSslCertificate>& certificates)
{
    m_caCertificates += certificates;
}

void SmtpClient::socketStateChanged(QAbstractSocket::SocketState) {}

void SmtpClient::socketError(QAbstractSocket::SocketError error)
{
    // Every wait runs in short slices; a slice that ends is no failure.
    if (error == QAbstractSocket::SocketTimeoutError)
        return;
    qDebug() << "SmtpClient::socketError" << error << (m_socket ? m_socket->errorString() : QString());
}

void SmtpClient::socketReadyRead() {}

// ------------------------------------------------------------------ waits

bool SmtpClient::WaitSliced(int msec, const std::function<bool()>& ready, const std::function<bool()>& broken,
                            const std::function<bool(int)>& waitSlice)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (AbortSeen() || m_stop.load())
            return false;
        if (ready())
            return true;
        const qint64 left = msec - timer.elapsed();
        if (left <= 0 || broken())
            return false;
        if (waitSlice(static_cast<int>(qMin<qint64>(left, kSliceMs))))
            return true;
    }
}

bool SmtpClient::WaitConnected(int msec)
{
    // waitForConnected() gives the connection up when it times out, so it
    // cannot wait in slices: a server slower to accept than one slice would
    // be refused. The connection, and the name lookup before it, run on this
    // thread's event dispatcher instead, looked at every slice.
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(kSliceMs);
    for (;;) {
        if (AbortSeen() || m_stop.load())
            return false;
        const QAbstractSocket::SocketState state = m_socket->state();
        if (state == QAbstractSocket::ConnectedState)
            return true;
        if (state == QAbstractSocket::UnconnectedState || timer.elapsed() >= msec)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

bool SmtpClient::WaitEncrypted(int msec)
{
    auto* ssl = qobject_cast<QSslSocket*>(m_socket);
    if (!ssl)
        return false;
    return WaitSliced(
        msec, [ssl] { return ssl->isEncrypted(); },
        [ssl] { return ssl->state() != QAbstractSocket::ConnectedState; },
        [ssl](int slice) { return ssl->waitForEncrypted(slice); });
}

bool SmtpClient::WaitForData(int msec)
{
    return WaitSliced(
        msec, [] { return false; }, [this] { return m_socket->state() != QAbstractSocket::ConnectedState; },
        [this](int slice) { return m_socket->waitForReadyRead(slice); });
}

bool SmtpClient::WaitWritten(int msec)
{
    auto pending = [this] {
        qint64 bytes = m_socket->bytesToWrite();
        if (auto* ssl = qobject_cast<QSslSocket*>(m_socket))
            bytes += ssl->encryptedBytesToWrite();
        return bytes;
    };
    return WaitSliced(
        msec, [&] { return pending() == 0; },
        [this] { return m_socket->state() != QAbstractSocket::ConnectedState; },
        [&](int slice) {
            m_socket->waitForBytesWritten(slice);
            return pending() == 0;
        });
}

// ------------------------------------------------------------------ lines

qint64 SmtpClient::SendBytes(const QByteArray& bytes)
{
    if (AbortSeen() || m_stop.load() || !m_socket)
        return 0;
    const qint64 written = m_socket->write(bytes);
    if (written < 0)
        return -1;
    if (!WaitWritten(m_sendMessageTimeout) && !Halted()) {
        m_sendTimedOut = true;
        emit smtpError(SendDataTimeoutError);
    }
    return written;
}

qint64 SmtpClient::SendMessage(const QString& text)
{
    return SendBytes(text.toUtf8() + "\r\n");
}

void SmtpClient::WaitForResponse(int msec)
{
    const int wait = qMax(msec, m_responseTimeout);
    // A server that trickles bytes without ending the line never lets one
    // wait fail; the whole reply gets as long as eleven silent waits.
    const qint64 replyLimit = qint64(wait) * 11;
    QElapsedTimer reply;
    reply.start();
    int failures = 0;
    m_replyLines.clear();
    for (;;) {
        if (!m_socket || AbortSeen()) {
            m_responseCode = -1;
            return;
        }
        if (!m_socket->canReadLine()) {
            const qint64 left = replyLimit - reply.elapsed();
            if (left <= 0 || m_socket->bytesAvailable() > kMaxReplyLine) {
                emit smtpError(ResponseTimeoutError);
                m_responseCode = -1;
                return;
            }
            if (!WaitForData(int(qMin<qint64>(wait, left)))) {
                if (m_abort.load())
                    continue;
                emit smtpError(ResponseTimeoutError);
                if (++failures > 10) {
                    m_responseCode = -1;
                    return;
                }
            }
            continue;
        }
        while (m_socket->canReadLine()) {
            if (m_stop.load()) {
                m_responseCode = -1;
                return;
            }
            QByteArray line = m_socket->readLine();
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            m_responseText = QString::fromUtf8(line);
            if (m_replyLines.size() < kMaxReplyLines)
                m_replyLines.append(m_responseText);
            bool number = false;
            const int code = m_responseText.left(3).toInt(&number);
            m_responseCode = number ? code : 0;
            if (m_responseCode >= 400 && m_responseCode <= 499)
                emit smtpError(ServerError);
            else if (m_responseCode >= 500 && m_responseCode <= 599)
                emit smtpError(ClientError);
            // A blank after the code ends the reply; so does a line of the
            // code alone, which the mail standard allows.
            if (m_responseText.size() <= 3 || m_responseText.at(3) == QLatin1Char(' '))
                return;
        }
        if (m_stop.load()) {
            m_responseCode = -1;
            return;
        }
    }
}

void SmtpClient::Command(const QString& text, int waitMs)
{
    HandleBytes(SendMessage(text));
    WaitForResponse(waitMs);
}

void SmtpClient::Ehlo()
{
    Command(QStringLiteral("EHLO ") + m_name);
    if (m_responseCode != 250)
        return;
    // "250-<domain> <greeting>", then one extension a line: its keyword and
    // any parameters after a blank. What was known before STARTTLS no
    // longer counts.
    m_extensions.clear();
    for (int i = 1; i < m_replyLines.size(); ++i) {
        const QString keyword = m_replyLines.at(i).mid(4).section(QLatin1Char(' '), 0, 0).trimmed();
        if (!keyword.isEmpty())
            m_extensions.append(keyword.toUpper());
    }
}

bool SmtpClient::ServerOffers(const QString& keyword) const
{
    return m_extensions.contains(keyword.toUpper());
}

// ---------------------------------------------------------------- progress

void SmtpClient::ShowProgress(qint64 shown)
{
    m_shownBytes = shown;
    emit progress(shown, m_totalBytes);
}

void SmtpClient::ProgressStep()
{
    m_handledBytes += 50;
    qint64 shown = static_cast<qint64>(m_handledBytes * m_progressScale);
    if (shown > m_totalBytes)
        shown = m_handledBytes - 50;
    // After the text the bar stands at its end; the reply to "." must not
    // move it back, nor past it (dot-stuffing makes the text a little longer).
    ShowProgress(qMin(qMax(shown, m_shownBytes), m_totalBytes));
}

void SmtpClient::HandleBytes(qlonglong bytes)
{
    if (bytes == -1) {
        m_handledBytes = m_totalBytes;
        ShowProgress(m_totalBytes);
        return;
    }
    if (bytes <= 0)
        return;
    m_handledBytes += bytes;
    if (bytes >= 300) {
        ShowProgress(m_handledBytes);
        return;
    }
    qint64 shown = static_cast<qint64>(m_handledBytes * m_progressScale);
    if (shown > m_totalBytes)
        shown = m_handledBytes - bytes;
    ShowProgress(shown);
}

void SmtpClient::EstimateTotalBytes(MimeMessage* message)
{
    const QString ehlo = QStringLiteral("EHLO ") + m_name;
    const qint64 handshake = Utf8Length(ehlo) + 102;

    const QString sender = message && message->GetSender() ? message->GetSender()->GetAddress() : QString();
    qint64 envelope = Utf8Length(QStringLiteral("MAIL FROM: <") + sender + QLatin1Char('>')) + 52;
    if (message) {
        for (int type : {MimeMessage::To, MimeMessage::Cc, MimeMessage::Bcc}) {
            for (const EmailAddress* recipient : message->GetRecipients(type)) {
                if (recipient)
                    envelope += Utf8Length(QStringLiteral("RCPT TO: <") + recipient->GetAddress() + QLatin1Char('>'))
                        + 2 + 50;
            }
        }
    }
    envelope += Utf8Length(QStringLiteral("DATA")) + 2 + 50;

    qint64 commands = envelope + handshake + 50;
    if (m_connectionType == TlsConnection)
        commands += Utf8Length(QStringLiteral("STARTTLS")) + Utf8Length(ehlo) + 104;
    if (m_authMethod == AuthPlain) {
        const QByteArray plain = QByteArray(1, '\0') + m_user.toUtf8() + QByteArray(1, '\0') + m_password.toUtf8();
        commands += Utf8Length(QStringLiteral("AUTH PLAIN ") + Base64(plain)) + 52;
    } else if (m_authMethod == AuthLogin) {
        commands += Utf8Length(QStringLiteral("AUTH LOGIN")) + Utf8Length(Base64(m_user.toUtf8()))
            + Utf8Length(Base64(m_password.toUtf8())) + 156;
    }

    const qint64 text = message ? message->TextSize() : 0;
    m_totalBytes = commands + text;
    m_textBytes = text;
    m_progressScale = 0.9 * double(commands + text) / double(commands);
}

// ---------------------------------------------------------------- exchange

bool SmtpClient::ConnectToHost()
{
    if (!m_socket) {
        emit smtpError(ConnectionTimeoutError);
        return false;
    }
    auto* ssl = qobject_cast<QSslSocket*>(m_socket);
    if (ssl && !m_caCertificates.isEmpty()) {
        QSslConfiguration config = ssl->sslConfiguration();
        config.addCaCertificates(m_caCertificates);
        ssl->setSslConfiguration(config);
    }
    if (m_connectionType == SslConnection)
        ssl->connectToHostEncrypted(m_host, static_cast<quint16>(m_port));
    else
        m_socket->connectToHost(m_host, static_cast<quint16>(m_port));

    const bool connected = WaitConnected(m_connectionTimeout) && !Halted();
    if (!connected || (m_connectionType == SslConnection && !WaitEncrypted(m_connectionTimeout))) {
        qDebug() << "SmtpClient::ConnectToHost" << m_host << m_port << "not connected:" << m_socket->errorString();
        if (connected && !Halted() && m_socket->state() == QAbstractSocket::ConnectedState) {
            m_failureDetail = m_socket->errorString();
            Fail(TlsFailure);   // TCP is up, the handshake never finished
        } else {
            FailConnection();
        }
        emit smtpError(ConnectionTimeoutError);
        return false;
    }

    WaitForResponse();
    if (m_responseCode != 220 || m_stop.load()) {
        FailReply(ServerRefused);
        emit smtpError(ServerError);
        return false;
    }
    ProgressStep();

    Ehlo();
    if (m_responseCode != 250) {
        FailReply(ServerRefused);
        emit smtpError(ServerError);
        return false;
    }
    ProgressStep();

    if (m_connectionType == TlsConnection) {
        Command(QStringLiteral("STARTTLS"));
        if (m_responseCode != 220 || m_stop.load()) {
            FailReply(ServerRefused);
            emit smtpError(ServerError);
            return false;
        }
        ProgressStep();
        ssl->startClientEncryption();
        if (!WaitEncrypted(m_connectionTimeout) || Halted()) {
            qDebug() << "SmtpClient::ConnectToHost STARTTLS:" << m_socket->errorString();
            if (Halted()) {
                Fail(Cancelled);
            } else {
                m_failureDetail = m_socket->errorString();
                Fail(TlsFailure);
            }
            emit smtpError(ConnectionTimeoutError);
            return false;
        }
        Ehlo();
        if (m_responseCode != 250 || m_stop.load()) {
            FailReply(ServerRefused);
            emit smtpError(ServerError);
            return false;
        }
        ProgressStep();
    }
    return true;
}

bool SmtpClient::Login()
{
    return Login(m_user, m_password, m_authMethod);
}

bool SmtpClient::Login(const QString& user, const QString& password, int method)
{
    auto expect = [this](int code) {
        if (m_responseCode != code || m_stop.load()) {
            FailReply(LoginRefused);
            emit smtpError(AuthenticationFailedError);
            return false;
        }
        ProgressStep();
        return true;
    };
    if (method == AuthPlain) {
        const QByteArray plain = QByteArray(1, '\0') + user.toUtf8() + QByteArray(1, '\0') + password.toUtf8();
        Command(QStringLiteral("AUTH PLAIN ") + Base64(plain));
        return expect(235);
    }
    if (method == AuthLogin) {
        Command(QStringLiteral("AUTH LOGIN"));
        if (!expect(334))
            return false;
        Command(Base64(user.toUtf8()));
        if (!expect(334))
            return false;
        Command(Base64(password.toUtf8()));
        return expect(235);
    }
    return true;
}

QByteArray SmtpClient::DataText(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 32 + 2);
    DataStuffing stuffing;
    stuffing.Append(text, &out);
    return out;
}

bool SmtpClient::SendText(MimeMessage* message)
{
    DataStuffing stuffing;
    QByteArray out;
    out.reserve(kSendPiece + kSendPiece / 2);
    // The commands moved the bar toward nine tenths of the whole; the text
    // takes it from there to the end as its pieces go out.
    const qint64 base = m_shownBytes;
    qint64 textSent = 0;
    bool failed = false;
    auto flush = [&]() {
        if (out.isEmpty())
            return true;
        const qint64 written = SendBytes(out);
        out.resize(0);   // keeps the capacity for the next piece
        if (written < 0) {
            HandleBytes(-1);
            FailConnection();
        } else {
            m_handledBytes += written;
            textSent += written;
            const double part = m_textBytes > 0 ? qMin(1.0, double(textSent) / double(m_textBytes)) : 1.0;
            ShowProgress(qMax(m_shownBytes, base + static_cast<qint64>((m_totalBytes - base) * part)));
            if (Halted())
                Fail(Cancelled);
            else if (m_sendTimedOut)
                // Written data that does not leave would pile up in the socket.
                FailConnection();
            else
                return true;
        }
        failed = true;
        return false;
    };
    const bool read = message->WriteText([&](const QByteArray& piece) {
        stuffing.Append(piece, &out);
        return out.size() < kSendPiece || flush();
    });
    if (!read) {
        if (!failed)
            Fail(UnreadableMessage);
        return false;
    }
    out.append("\r\n", 2);
    return flush();
}

bool SmtpClient::SendMail(MimeMessage* message)
{
    if (!message)
        return false;
    const QString sender = message->GetSender() ? message->GetSender()->GetAddress() : QString();
    QString mailFrom = QStringLiteral("MAIL FROM: <") + sender + QLatin1Char('>');
    if (ServerOffers(QStringLiteral("8BITMIME"))) {
        mailFrom += QLatin1String(" BODY=8BITMIME");
    } else if (message->HasEightBitBody()) {
        message->UseSevenBitBody();
        // The re-encoded text is longer; the bar follows what really goes.
        const qint64 text = message->TextSize();
        m_totalBytes += text - m_textBytes;
        m_textBytes = text;
    }
    Command(mailFrom);
    if (m_responseCode != 250 || m_stop.load()) {
        FailReply(ServerRefused);
        return false;
    }
    ProgressStep();

    for (int type : {MimeMessage::To, MimeMessage::Cc, MimeMessage::Bcc}) {
        for (const EmailAddress* recipient : message->GetRecipients(type)) {
            if (!recipient)
                continue;
            Command(QStringLiteral("RCPT TO: <") + recipient->GetAddress() + QLatin1Char('>'));
            if (m_responseCode != 250) {
                FailReply(ServerRefused);
                return false;
            }
            ProgressStep();
        }
    }

    Command(QStringLiteral("DATA"));
    if (m_responseCode != 354) {
        FailReply(ServerRefused);
        return false;
    }
    ProgressStep();

    if (!SendText(message))
        return false;

    {
        QMutexLocker guard(&m_lock);
        // A stop taken between the text and this lock still counts: without
        // the "." below the server would wait for more data.
        if (Halted()) {
            Fail(Cancelled);
            return false;
        }
        emit limitStop();
        m_mailHandedOver = SendMessage(QStringLiteral(".")) > 0 && !m_sendTimedOut;
        m_stop.store(false);
        // Stop() is refused from here on, Abort() is not.
        WaitForResponse(m_finalReplyTimeout);
    }
    if (m_responseCode != 250) {
        FailReply(ServerRefused);
        return false;
    }
    ProgressStep();
    return true;
}

void SmtpClient::Quit()
{
    // Only a refusal leaves the server waiting for the next command; after
    // any other failure a QUIT is at best ignored, and on a server that
    // stopped reading its writing would wait out the send time-out again.
    const bool inStep = m_failure == NoFailure || m_failure == LoginRefused || m_failure == ServerRefused;
    if (inStep && !m_sendTimedOut && !Halted() && m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        SendMessage(QStringLiteral("QUIT"));
    m_handledBytes = m_totalBytes;
    emit progress(m_totalBytes, m_totalBytes);
}

bool SmtpClient::Stop()
{
    if (m_lock.tryLock()) {
        m_stop.store(true);
        m_lock.unlock();
    }
    return m_stop.load();
}

void SmtpClient::Abort()
{
    m_abort.store(true);
}

bool SmtpClient::AbortSeen()
{
    if (!m_abort.load())
        return false;
    if (m_socket && m_socket->state() != QAbstractSocket::UnconnectedState) {
        // Reset, not closed: text the server no longer reads would otherwise
        // keep the connection alive behind the closing.
        const qintptr descriptor = m_socket->socketDescriptor();
        if (descriptor >= 0) {
            const linger reset{1, 0};
            setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        m_socket->abort();
    }
    Fail(Cancelled);
    return true;
}

// ----------------------------------------------------------------- failures

void SmtpClient::Fail(FailureCause cause)
{
    if (m_failure == NoFailure)
        m_failure = cause;
}

void SmtpClient::FailReply(FailureCause refused)
{
    if (Halted()) {
        Fail(Cancelled);
    } else if (m_responseCode != -1) {
        if (m_failure == NoFailure)
            m_failureDetail = m_responseText;
        Fail(refused);
    } else if (m_socket && m_socket->state() != QAbstractSocket::ConnectedState) {
        FailConnection();
    } else {
        Fail(NoAnswer);
    }
}

void SmtpClient::FailConnection()
{
    if (Halted()) {
        Fail(Cancelled);
        return;
    }
    if (!m_socket) {
        Fail(ConnectionLost);
        return;
    }
    if (m_failure == NoFailure)
        m_failureDetail = m_socket->errorString();
    switch (m_socket->error()) {
    case QAbstractSocket::ConnectionRefusedError:
        Fail(ConnectionRefused);
        break;
    case QAbstractSocket::HostNotFoundError:
        Fail(HostNotFound);
        break;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        Fail(TlsFailure);
        break;
    default:
        // Still trying to connect, or connected and nothing moves: no answer.
        Fail(m_socket->state() == QAbstractSocket::UnconnectedState ? ConnectionLost : NoAnswer);
        break;
    }
}

QString SmtpClient::FailureDescription() const
{
    QString text;
    switch (m_failure) {
    case NoFailure:
        return QString();
    case Cancelled:
        return QStringLiteral("stopped by the user");
    case ConnectionRefused:
        text = QStringLiteral("connection refused");
        break;
    case HostNotFound:
        text = QStringLiteral("mail server not found");
        break;
    case NoAnswer:
        text = QStringLiteral("no answer from the mail server");
        break;
    case TlsFailure:
        text = QStringLiteral("TLS failure");
        break;
    case LoginRefused:
        text = QStringLiteral("login refused");
        break;
    case ServerRefused:
        text = QStringLiteral("the mail server refused");
        break;
    case ConnectionLost:
        text = QStringLiteral("connection lost");
        break;
    case UnreadableMessage:
        return QStringLiteral("the attachment could not be read");
    }
    return m_failureDetail.isEmpty() ? text : text + QStringLiteral(": ") + m_failureDetail;
}
