#pragma once

// A port on 127.0.0.1 whose connections never complete: the listening queue
// holds nothing and is filled up first, so the system drops every further
// connection request and a client waits in its connect as it would for a
// server that does not answer.

#include "../../common/LoopbackSocket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

class SilentListener
{
public:
    SilentListener()
    {
        m_listen = BindLoopback(&m_port, 1);
        if (m_listen < 0 || listen(m_listen, 0) != 0)
            throw std::runtime_error("silent listener cannot listen");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(m_port));
        for (int& filler : m_fillers) {
            filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            (void)!connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~SilentListener()
    {
        for (const int filler : m_fillers)
            close(filler);
        close(m_listen);
    }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int Port() const { return m_port; }

private:
    int m_listen = -1;
    int m_port = 0;
    int m_fillers[2] = {-1, -1};
};
