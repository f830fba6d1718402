#include "TlsFront.h"

#include "../../common/LoopbackSocket.h"

#include <QProcess>
#include <QStringList>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr int kIdleMs = 10000;

int ConnectToLoopback(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TlsFront::TlsFront(int plainPort) : m_plainPort(plainPort)
{
    const QString key = m_dir.filePath(QStringLiteral("key.pem"));
    const QString cert = m_dir.filePath(QStringLiteral("cert.pem"));
    const int made = QProcess::execute(
        QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key,
         "-out", cert, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    if (made != 0)
        return;
    m_context = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_file(m_context, cert.toLocal8Bit().constData(), SSL_FILETYPE_PEM) != 1
        || SSL_CTX_use_PrivateKey_file(m_context, key.toLocal8Bit().constData(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(m_context);
        m_context = nullptr;
        return;
    }

    m_listen = BindLoopback(&m_port, 8);
    if (m_listen < 0 || pipe2(m_wake, O_CLOEXEC) != 0) {
        if (m_listen >= 0)
            close(m_listen);
        m_listen = -1;
        return;
    }
    m_thread = std::thread(&TlsFront::Serve, this);
}

TlsFront::~TlsFront()
{
    if (m_thread.joinable()) {
        const char byte = 0;
        (void)!write(m_wake[1], &byte, 1);
        m_thread.join();
    }
    if (m_listen >= 0)
        close(m_listen);
    for (int fd : m_wake)
        if (fd >= 0)
            close(fd);
    SSL_CTX_free(m_context);
}

std::string TlsFront::Address() const
{
    return "https://127.0.0.1:" + std::to_string(m_port);
}

QList<QSslCertificate> TlsFront::Certificate() const
{
    return QSslCertificate::fromPath(m_dir.filePath(QStringLiteral("cert.pem")));
}

int TlsFront::FailedHandshakes() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_failed;
}

std::vector<std::string> TlsFront::Protocols() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_protocols;
}

void TlsFront::Serve()
{
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        Pump(client);
        close(client);
    }
}

void TlsFront::Pump(int client)
{
    // A client that stops halfway through the handshake does not hold the front.
    timeval limit{kIdleMs / 1000, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL* ssl = SSL_new(m_context);
    SSL_set_fd(ssl, client);
    if (SSL_accept(ssl) != 1) {
        ERR_clear_error();
        SSL_free(ssl);
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_failed;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_protocols.push_back(SSL_get_version(ssl));
    }
    const int plain = ConnectToLoopback(m_plainPort);
    char buffer[16384];
    while (plain >= 0) {
        pollfd fds[3] = {{client, POLLIN, 0}, {plain, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        const bool buffered = SSL_pending(ssl) > 0;
        if (!buffered && poll(fds, 3, kIdleMs) <= 0)
            break;
        if (fds[2].revents)
            break;
        if (buffered || (fds[0].revents & (POLLIN | POLLHUP))) {
            const int n = SSL_read(ssl, buffer, sizeof buffer);
            if (n <= 0 || !SendAll(plain, buffer, static_cast<size_t>(n)))
                break;
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = recv(plain, buffer, sizeof buffer, 0);
            if (n <= 0 || SSL_write(ssl, buffer, static_cast<int>(n)) <= 0)
                break;
        }
    }
    if (plain >= 0)
        close(plain);
    SSL_shutdown(ssl);
    SSL_free(ssl);
    ERR_clear_error();
}
