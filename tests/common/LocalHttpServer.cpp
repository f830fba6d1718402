#include "LocalHttpServer.h"

#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace {
const char* ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 407:
        return "Proxy Authentication Required";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string LocalHttpServer::Request::Header(const std::string& lowerName) const
{
    const auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

LocalHttpServer::LocalHttpServer()
{
    m_listen = BindLoopback(&m_port, 8);
    if (m_listen < 0 || pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("listen failed");
    m_handler = [](const Request&) { return Answer(); };
    m_thread = std::thread(&LocalHttpServer::Serve, this);
}

LocalHttpServer::~LocalHttpServer()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    const char byte = 0;
    (void)!write(m_wake[1], &byte, 1);
    m_thread.join();
    close(m_listen);
    close(m_wake[0]);
    close(m_wake[1]);
}

std::string LocalHttpServer::Address() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void LocalHttpServer::SetAnswer(const Answer& answer)
{
    SetHandler([answer](const Request&) { return answer; });
}

void LocalHttpServer::SetHandler(Handler handler)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_handler = std::move(handler);
}

void LocalHttpServer::Hold()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_held = true;
}

void LocalHttpServer::Release()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_held = false;
    }
    m_changed.notify_all();
}

size_t LocalHttpServer::AnswerBytesSent() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_answerBytesSent;
}

std::vector<LocalHttpServer::Request> LocalHttpServer::Requests() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

bool LocalHttpServer::WaitForRequests(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_requests.size() >= count; });
}

int LocalHttpServer::RefusedPort()
{
    int port = 0;
    const int fd = BindLoopback(&port, 0);   // bound, never listening: refused
    if (fd < 0)
        throw std::runtime_error("bind failed");
    close(fd);
    return port;
}

void LocalHttpServer::Serve()
{
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (fds[0].revents & POLLIN) {
            const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                HandleConnection(client);
                close(client);
            }
        }
    }
}

void LocalHttpServer::HandleConnection(int fd)
{
    // Read the head, then as much body as Content-Length announces.
    std::string data;
    size_t headEnd = std::string::npos;
    size_t wanted = std::string::npos;
    char buffer[4096];
    for (;;) {
        if (headEnd != std::string::npos && data.size() >= wanted)
            break;
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, 10000) <= 0 || fds[1].revents)
            return;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        data.append(buffer, static_cast<size_t>(n));
        if (headEnd == std::string::npos) {
            headEnd = data.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                std::istringstream head(data.substr(0, headEnd));
                std::string line;
                size_t length = 0;
                while (std::getline(head, line)) {
                    const size_t colon = line.find(':');
                    if (colon != std::string::npos &&
                        Lower(line.substr(0, colon)) == "content-length")
                        length = std::stoul(line.substr(colon + 1));
                }
                wanted = headEnd + 4 + length;
            }
        }
    }

    Request request;
    std::istringstream head(data.substr(0, headEnd));
    std::string line;
    std::getline(head, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    request.line = line;
    while (std::getline(head, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        request.headers[Lower(line.substr(0, colon))] = value;
    }
    request.body = data.substr(headEnd + 4);

    Handler handler;
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_requests.push_back(request);
        m_changed.notify_all();
        m_changed.wait(guard, [&] { return !m_held || m_stopping; });
        if (m_stopping)
            return;
        handler = m_handler;
    }
    const Answer answer = handler(request);
    std::string response = "HTTP/1.1 " + std::to_string(answer.status) + " " +
                           ReasonPhrase(answer.status) + "\r\nContent-Type: " + answer.contentType;
    if (answer.announceLength)
        response += "\r\nContent-Length: " + std::to_string(answer.body.size() + answer.fillBytes);
    response += "\r\nConnection: close\r\n\r\n" + answer.body;
    auto sendAll = [&](const char* data, size_t size) {
        for (size_t sent = 0; sent < size;) {
            const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += static_cast<size_t>(n);
            std::lock_guard<std::mutex> guard(m_lock);
            m_answerBytesSent += static_cast<size_t>(n);
        }
        return true;
    };
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_answerBytesSent = 0;
    }
    if (!sendAll(response.data(), response.size()))
        return;
    const std::string blanks(64 * 1024, ' ');
    for (size_t left = answer.fillBytes; left > 0;) {
        const size_t n = std::min(left, blanks.size());
        if (!sendAll(blanks.data(), n))
            return;
        left -= n;
    }
}
