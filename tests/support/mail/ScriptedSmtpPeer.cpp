#include "ScriptedSmtpPeer.h"

#include "../../common/LoopbackSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

ScriptedSmtpPeer::ScriptedSmtpPeer(std::vector<Step> script)
    : m_script(std::move(script))
{
    m_listen = BindLoopback(&m_port, 4);
    if (m_listen < 0 || pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("scripted peer cannot listen");
    m_thread = std::thread(&ScriptedSmtpPeer::Serve, this);
}

ScriptedSmtpPeer::~ScriptedSmtpPeer()
{
    const char byte = 0;
    (void)!write(m_wake[1], &byte, 1);
    m_thread.join();
    close(m_listen);
    close(m_wake[0]);
    close(m_wake[1]);
}

std::vector<ScriptedSmtpPeer::Step> ScriptedSmtpPeer::HappyScript()
{
    return {
        {"", "220 scripted ESMTP\r\n"},
        {"EHLO*", "250-scripted\r\n250 AUTH PLAIN LOGIN\r\n"},
        {"AUTH PLAIN*", "235 ok\r\n"},
        {"MAIL FROM*", "250 ok\r\n"},
        {"RCPT TO*", "250 ok\r\n"},
        {"DATA", "354 go on\r\n"},
        {".", "250 queued\r\n"},
    };
}

bool ScriptedSmtpPeer::Matches(const std::string& expect, const std::string& line)
{
    if (!expect.empty() && expect.back() == '*')
        return line.compare(0, expect.size() - 1, expect, 0, expect.size() - 1) == 0;
    return line == expect;
}

std::vector<std::string> ScriptedSmtpPeer::Lines() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lines;
}

int ScriptedSmtpPeer::Count(const std::string& expect) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    int count = 0;
    for (const std::string& line : m_lines)
        count += Matches(expect, line) ? 1 : 0;
    return count;
}

bool ScriptedSmtpPeer::WaitForLine(const std::string& expect, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
        for (const std::string& line : m_lines) {
            if (Matches(expect, line))
                return true;
        }
        return false;
    });
}

bool ScriptedSmtpPeer::WaitForConnection(int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return m_accepted; });
}

bool ScriptedSmtpPeer::WaitForBytes(size_t bytes, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return m_bytes >= bytes; });
}

bool ScriptedSmtpPeer::WaitForClose(int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return m_closed; });
}

void ScriptedSmtpPeer::Notify(const std::function<void()>& change)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        change();
    }
    m_changed.notify_all();
}

bool ScriptedSmtpPeer::ReadLine(int fd, std::string* line)
{
    for (;;) {
        const size_t end = m_pending.find("\r\n");
        if (end != std::string::npos) {
            *line = m_pending.substr(0, end);
            m_pending.erase(0, end + 2);
            Notify([&] { m_lines.push_back(*line); });
            return true;
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return false;
        if (fds[1].revents)
            return false;
        char buffer[65536];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            Notify([&] { m_closed = true; });
            return false;
        }
        m_pending.append(buffer, static_cast<size_t>(n));
        Notify([&] { m_bytes += static_cast<size_t>(n); });
    }
}

bool ScriptedSmtpPeer::Trickle(int fd, const Step& step)
{
    for (const char byte : step.reply) {
        if (send(fd, &byte, 1, MSG_NOSIGNAL) != 1) {
            Notify([&] { m_closed = true; });
            return false;
        }
        pollfd wake{m_wake[0], POLLIN, 0};
        if (poll(&wake, 1, step.trickleMs) != 0)
            return false;
    }
    return true;
}

void ScriptedSmtpPeer::WaitWithoutReading(int fd)
{
    for (;;) {
        pollfd fds[2] = {{fd, POLLRDHUP, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (fds[0].revents & (POLLRDHUP | POLLHUP | POLLERR)) {
            Notify([&] { m_closed = true; });
            return;
        }
    }
}

void ScriptedSmtpPeer::Serve()
{
    pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    if (poll(fds, 2, -1) <= 0 || fds[1].revents)
        return;
    const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    Notify([&] { m_accepted = true; });
    std::string line;
    bool open = true;
    for (const Step& step : m_script) {
        if (!step.expect.empty()) {
            do {
                open = ReadLine(fd, &line);
            } while (open && !Matches(step.expect, line));
        }
        if (!open)
            break;
        if (step.trickleMs > 0)
            open = Trickle(fd, step);
        else if (!step.reply.empty())
            (void)!send(fd, step.reply.data(), step.reply.size(), MSG_NOSIGNAL);
        if (open && step.stopReading) {
            WaitWithoutReading(fd);
            open = false;
        }
        if (!open)
            break;
    }
    while (open && ReadLine(fd, &line)) {
    }
    close(fd);
}
