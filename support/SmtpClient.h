#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class MimeMessage;
class QTcpSocket;

// Sends one mail over SMTP with blocking socket calls: connect (plain TCP,
// TLS from the first byte, or STARTTLS), EHLO, AUTH PLAIN or LOGIN, the
// envelope, the message text and QUIT. Every step waits for its reply code
// and fails on any other.
//
// Thread contract: created, used and deleted on one thread (the bug-report
// mail thread), which runs no event loop; every wait blocks that thread. Only
// while connecting does the client let that thread's event dispatcher move
// the name lookup and the connection along, one slice at a time. Stop() and Abort() are the only calls from another thread. Stop()
// sets the atomic stop flag under `m_lock`, which the final "." exchange
// holds, so a stop asked for once the text is handed over is refused.
// Abort() sets the atomic abort flag without the lock and is never refused:
// it is the user's cancel, honoured in every phase. The waits are cut into
// short slices that look at both flags, so either takes effect within one
// slice; on an abort the client's own thread then drops the connection.
// Signals are emitted on the client's thread.
//
// The message text is never held whole: it is sized without being built and
// sent piece by piece (MimeMessage::WriteText), so a large attachment costs a
// few pieces of memory, not several copies of itself.
//
// A message body with bytes above 127 goes as it is only to a server whose
// EHLO reply offers 8BITMIME, announced with BODY=8BITMIME on MAIL FROM;
// another server gets it re-encoded in ASCII (MimeMessage::UseSevenBitBody),
// since it may refuse or mangle 8-bit text.
//
// Server certificates are checked against the system's authorities and any
// added with AddCaCertificates: the account's password never goes to a
// server that cannot prove its name.
class SmtpClient : public QObject
{
    Q_OBJECT
public:
    enum ConnectionType {
        TcpConnection = 0,
        SslConnection = 1,   // TLS from the first byte
        TlsConnection = 2,   // plain TCP upgraded with STARTTLS
    };
    enum AuthMethod {
        AuthPlain = 0,
        AuthLogin = 1,
    };
    enum SmtpError {
        ConnectionTimeoutError = 0,
        ResponseTimeoutError = 1,
        SendDataTimeoutError = 2,
        AuthenticationFailedError = 3,
        ServerError = 4,
        ClientError = 5,
    };
    Q_ENUM(SmtpError)
    // Why an exchange failed, for the program log (the user is only told
    // that the mail was not sent).
    enum FailureCause {
        NoFailure = 0,
        Cancelled,           // Abort() or Stop()
        ConnectionRefused,
        HostNotFound,
        NoAnswer,            // nothing, or no complete reply, in time
        TlsFailure,
        LoginRefused,
        ServerRefused,       // a refusing or unexpected reply code
        ConnectionLost,
        UnreadableMessage,   // the attachment could not be read while sending
    };
    Q_ENUM(FailureCause)

    SmtpClient(const QString& host = QStringLiteral("localhost"), int port = 25,
               ConnectionType connectionType = TcpConnection, QObject* parent = nullptr);
    ~SmtpClient() override;

    // 0 makes a TCP socket, 1 and 2 a TLS socket; another type makes none, so
    // nothing can connect. The socket never goes through a proxy.
    void SetConnectionType(int type);
    int GetConnectionType() const { return m_connectionType; }

    QString GetHost() const { return m_host; }
    void SetHost(const QString& host) { m_host = host; }
    int GetPort() const { return m_port; }
    void SetPort(int port) { m_port = port; }
    QString GetName() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }
    QString GetUser() const { return m_user; }
    void SetUser(const QString& user) { m_user = user; }
    QString GetPassword() const { return m_password; }
    void SetPassword(const QString& password) { m_password = password; }
    int GetAuthMethod() const { return m_authMethod; }
    void SetAuthMethod(int method) { m_authMethod = method; }
    int GetConnectionTimeout() const { return m_connectionTimeout; }
    void SetConnectionTimeout(int ms) { m_connectionTimeout = ms; }
    int GetResponseTimeout() const { return m_responseTimeout; }
    void SetResponseTimeout(int ms) { m_responseTimeout = ms; }
    int GetSendMessageTimeout() const { return m_sendMessageTimeout; }
    void SetSendMessageTimeout(int ms) { m_sendMessageTimeout = ms; }
    // The wait for the reply to the final "." (the server may check the
    // whole mail first).
    int GetFinalReplyTimeout() const { return m_finalReplyTimeout; }
    void SetFinalReplyTimeout(int ms) { m_finalReplyTimeout = ms; }
    // Authorities trusted besides the system's (a private mail server's own).
    void AddCaCertificates(const QList<QSslCertificate>& certificates);

    // Whether the last EHLO reply offered this extension (its keyword, any
    // case, e.g. "8BITMIME").
    bool ServerOffers(const QString& keyword) const;

    int GetResponseCode() const { return m_responseCode; }
    QString GetResponseText() const { return m_responseText; }
    qint64 GetTotalBytes() const { return m_totalBytes; }
    qint64 GetHandledBytes() const { return m_handledBytes; }

    // Sizes the exchange for the progress signal; once, before connecting.
    void EstimateTotalBytes(MimeMessage* message);

    bool ConnectToHost();
    bool Login();
    bool Login(const QString& user, const QString& password, int method = AuthPlain);
    bool SendMail(MimeMessage* message);
    // Says QUIT, without waiting for the reply, where the conversation
    // stands between two commands; a connection that failed (a write that
    // did not leave, no answer, lost, cancelled, or cut off inside the mail
    // text) gets nothing more. Brings the progress to its end either way.
    void Quit();

    // Asks the exchange to stop; true when the request was taken. Refused
    // while the final "." is being answered.
    bool Stop();
    bool IsStopped() const { return m_stop.load(); }
    // Ends the exchange in whatever phase it is, the final "." included:
    // every wait ends within one slice, nothing more is written and the
    // connection is dropped. Any thread.
    void Abort();

    // True once the final "." went out: from then on the server may hold the
    // whole mail, whatever becomes of its answer.
    bool MailHandedOver() const { return m_mailHandedOver; }

    // The first failure of the exchange; NoFailure while none happened.
    FailureCause GetFailureCause() const { return m_failure; }
    // The cause in words with its detail (the reply or the socket's error),
    // e.g. "login refused: 535 5.7.8 Authentication failed".
    QString FailureDescription() const;

    // One command line (CR LF is added). 0 without writing once stopped;
    // otherwise the bytes the socket took, -1 on a write failure.
    qint64 SendMessage(const QString& text);
    // Reads one reply, waiting at least the response time-out for each piece.
    // A reply that trickles in without ending gets as long in all as eleven
    // silent waits would, and a line longer than kMaxReplyLine ends it too.
    void WaitForResponse(int msec = -1);
    static constexpr int kMaxReplyLine = 64 * 1024;
    // The lines of one reply kept for reading (an EHLO reply holds a dozen).
    static constexpr int kMaxReplyLines = 100;

    // The message text as it may stand between DATA and the final ".": every
    // line ends in CR LF (a lone CR or LF becomes CR LF) and a line starting
    // with "." gets a second one, so no line of the mail can end the data
    // early. The mail itself is converted the same way piece by piece.
    static QByteArray DataText(const QByteArray& text);
    // The size of the pieces the message text is written in.
    static constexpr int kSendPiece = 256 * 1024;

signals:
    void smtpError(SmtpClient::SmtpError e);
    void progress(qint64 handled, qint64 total);
    void limitStop();

public slots:
    void socketStateChanged(QAbstractSocket::SocketState state);
    void socketError(QAbstractSocket::SocketError error);
    void socketReadyRead();
    void HandleBytes(qlonglong bytes);

private:
    // Waits in slices of at most 50 ms until `ready` holds (or a slice's
    // wait says so); false once `msec` passed, `broken` holds or a stop was
    // asked for.
    bool WaitSliced(int msec, const std::function<bool()>& ready, const std::function<bool()>& broken,
                    const std::function<bool(int)>& waitSlice);
    bool WaitConnected(int msec);
    bool WaitEncrypted(int msec);
    bool WaitForData(int msec);
    bool WaitWritten(int msec);
    qint64 SendBytes(const QByteArray& bytes);
    // Sends a command, accounts its bytes and reads the reply.
    void Command(const QString& text, int waitMs = -1);
    // EHLO; on its 250 the extensions it lists replace the known ones.
    void Ehlo();
    void ProgressStep();
    void ShowProgress(qint64 shown);
    // Sends the message text between DATA and ".", piece by piece; false when
    // it did not go out whole.
    bool SendText(MimeMessage* message);
    // On an abort: drops the connection (on the client's thread) and returns
    // true.
    bool AbortSeen();
    bool Halted() const { return m_stop.load() || m_abort.load(); }
    // Records the first failure; the cause of a failed reply or connection is
    // read from the reply code and the socket's state.
    void Fail(FailureCause cause);
    void FailReply(FailureCause refused);
    void FailConnection();

    QTcpSocket* m_socket = nullptr;
    QString m_host;
    int m_port = 25;
    int m_connectionType = TcpConnection;
    QString m_name = QStringLiteral("localhost");
    QString m_user;
    QString m_password;
    int m_authMethod = AuthPlain;
    int m_connectionTimeout = 5000;
    int m_responseTimeout = 3000;
    int m_sendMessageTimeout = 60000;
    int m_finalReplyTimeout = 30000;
    QList<QSslCertificate> m_caCertificates;
    QString m_responseText;
    int m_responseCode = 0;
    QStringList m_replyLines;   // of the last reply, up to kMaxReplyLines
    QStringList m_extensions;   // keywords of the last EHLO reply, upper case
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abort{false};
    bool m_sendTimedOut = false;
    bool m_mailHandedOver = false;
    FailureCause m_failure = NoFailure;
    QString m_failureDetail;
    QMutex m_lock;
    qint64 m_totalBytes = 0;
    qint64 m_handledBytes = 0;
    qint64 m_textBytes = 0;    // the message text's estimated length
    qint64 m_shownBytes = 0;   // the last progress shown
    double m_progressScale = 0.0;
};
