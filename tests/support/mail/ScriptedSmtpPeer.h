#pragma once

// A mail server on 127.0.0.1 that follows a script, for what a real server
// will not do: stall, answer 421, spread a reply over odd lines. One
// connection; every line the client sends is recorded.
//
// A step waits for a client line (exact, or a prefix when it ends in "*"),
// then sends its reply bytes as they stand (an empty reply sends nothing, so
// the client waits), or one byte every `trickleMs` when that is set. A step
// with an empty `expect` replies at once (the greeting). A step with
// `stopReading` reads nothing more after its reply, so what the client
// writes piles up. After the last step the peer reads and records until the
// client closes or the peer is destroyed.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedSmtpPeer
{
public:
    struct Step {
        std::string expect;
        std::string reply;
        int trickleMs = 0;
        bool stopReading = false;
    };

    explicit ScriptedSmtpPeer(std::vector<Step> script);
    ~ScriptedSmtpPeer();
    ScriptedSmtpPeer(const ScriptedSmtpPeer&) = delete;
    ScriptedSmtpPeer& operator=(const ScriptedSmtpPeer&) = delete;

    int Port() const { return m_port; }
    std::vector<std::string> Lines() const;
    // Lines received so far that match `expect` (same rule as a step).
    int Count(const std::string& expect) const;
    // Waits until a line matching `expect` arrived; false after the time-out.
    bool WaitForLine(const std::string& expect, int timeoutMs) const;
    // Waits until the client's connection was accepted.
    bool WaitForConnection(int timeoutMs) const;
    // Waits until the client connected and sent at least `bytes` bytes.
    bool WaitForBytes(size_t bytes, int timeoutMs) const;
    // Waits until the client closed or dropped the connection.
    bool WaitForClose(int timeoutMs) const;

    // The usual exchange up to and including the reply to the final ".":
    // greeting, EHLO, AUTH PLAIN, MAIL, one RCPT, DATA, ".".
    static std::vector<Step> HappyScript();

private:
    void Serve();
    bool ReadLine(int fd, std::string* line);
    // Sends the reply a byte at a time; false once the client is gone or the
    // peer is being destroyed.
    bool Trickle(int fd, const Step& step);
    // Waits, reading nothing, until the client is gone or the peer is
    // being destroyed.
    void WaitWithoutReading(int fd);
    void Notify(const std::function<void()>& change);
    static bool Matches(const std::string& expect, const std::string& line);

    std::vector<Step> m_script;
    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::string m_pending;
    std::thread m_thread;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    size_t m_bytes = 0;
    bool m_closed = false;
    bool m_accepted = false;
};
