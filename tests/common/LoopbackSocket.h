#pragma once

// The listening socket of the tests' local servers: TCP on 127.0.0.1, on a
// port the system picks.
//
// This folder has no CMakeLists.txt of its own; a test includes this header by path.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A socket bound to a free port of 127.0.0.1 (written to *port), listening
// with `backlog`; with a backlog of 0 or less it only holds the port, so
// connections to it are refused. -1 on failure.
inline int BindLoopback(int* port, int backlog)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0
        || (backlog > 0 && listen(fd, backlog) != 0)) {
        close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}
