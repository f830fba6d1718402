#pragma once

// A small HTTP server on 127.0.0.1 for the network tests: one thread, one
// connection at a time, every request recorded (request line, headers, body)
// and answered by a replaceable handler. It can also hold its answers back
// (a server that accepted but does not reply) and stand in for an HTTP proxy,
// since a proxy request is an ordinary request with an absolute URI.
//
// This folder has no CMakeLists.txt of its own; a test lists the .cpp by path.

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LocalHttpServer
{
public:
    struct Request {
        std::string line;                              // "GET /path HTTP/1.1"
        std::map<std::string, std::string> headers;    // names in lower case
        std::string body;
        std::string Header(const std::string& lowerName) const;
    };
    struct Answer {
        int status = 200;
        std::string body;
        std::string contentType = "text/xml; charset=utf-8";
        // Blanks sent after the body, made on the fly (an answer of any size
        // costs the server no memory).
        size_t fillBytes = 0;
        // Without a Content-Length the answer ends when the server closes.
        bool announceLength = true;
    };
    using Handler = std::function<Answer(const Request&)>;

    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return m_port; }
    std::string Address() const;   // "http://127.0.0.1:<port>"

    void SetAnswer(const Answer& answer);
    void SetHandler(Handler handler);
    // While held, requests are read and recorded but not answered.
    void Hold();
    void Release();

    std::vector<Request> Requests() const;
    // Bytes of the last answer the client took before it finished or hung up.
    size_t AnswerBytesSent() const;
    // Waits until at least `count` requests arrived; false after the time-out.
    bool WaitForRequests(size_t count, int timeoutMs) const;

    // A port on 127.0.0.1 that nothing listens on (connections are refused).
    static int RefusedPort();

private:
    void Serve();
    void HandleConnection(int fd);

    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    Handler m_handler;
    std::vector<Request> m_requests;
    bool m_held = false;
    size_t m_answerBytesSent = 0;
    bool m_stopping = false;
};
