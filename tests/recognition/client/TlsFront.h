#pragma once

// HTTPS in front of a plain HTTP server on 127.0.0.1: every connection gets a
// TLS handshake with a self-signed certificate for 127.0.0.1 that the openssl
// program makes at construction, and its bytes are then pumped both ways to
// the plain server. One connection at a time, on a thread of its own.

#include <QList>
#include <QSslCertificate>
#include <QTemporaryDir>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

class TlsFront
{
public:
    explicit TlsFront(int plainPort);
    ~TlsFront();
    TlsFront(const TlsFront&) = delete;
    TlsFront& operator=(const TlsFront&) = delete;

    // The certificate was made and the front listens.
    bool Ready() const { return m_context != nullptr && m_listen >= 0; }
    std::string Address() const;   // "https://127.0.0.1:<port>"
    QList<QSslCertificate> Certificate() const;

    int FailedHandshakes() const;
    // The protocol of every completed handshake ("TLSv1.3", ...).
    std::vector<std::string> Protocols() const;

private:
    void Serve();
    void Pump(int client);

    QTemporaryDir m_dir;
    int m_plainPort;
    SSL_CTX* m_context = nullptr;
    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;

    mutable std::mutex m_lock;
    int m_failed = 0;
    std::vector<std::string> m_protocols;
};
