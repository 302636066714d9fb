// net.cpp -- the UDP sockets: the well-known port and one reply socket per player.
//
// A reply socket is connect()ed to its client without a bind, so the system gives it a
// fresh port; the client learns that port from the source of the init reply and may
// send its commands there or to the well-known port. When the client's process is gone
// the system reports "connection refused" on the connected socket, and the player
// leaves the field.

#include "pitch/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "pitch/world.h"

namespace vorn::pitch {

// Globals
int MainFd = -1;

bool netopen(const char *bind, int port, char *err, size_t errcap) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, bind, &a.sin_addr) != 1) {
        std::snprintf(err, errcap, "not an IPv4 address: %s", bind);
        return false;
    }
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::snprintf(err, errcap, "socket: %s", std::strerror(errno));
        return false;
    }
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0) {
        std::snprintf(err, errcap, "cannot use port %d on %s: %s", port, bind,
                      std::strerror(errno));
        close(fd);
        return false;
    }
    MainFd = fd;
    return true;
}

int netport() {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (MainFd < 0 || getsockname(MainFd, reinterpret_cast<sockaddr *>(&a), &len) < 0)
        return -1;
    return ntohs(a.sin_port);
}

int openreply(uint32_t addr, uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = addr;
    a.sin_port = port;
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void closereply(int slot) {
    Player &p = Players[slot];
    if (p.fd >= 0)
        close(p.fd);
    p.fd = -1;
}

// A send that the system refuses because the client is gone removes the player; a full
// send buffer only loses this one message, as UDP may anyway.
void sendplayer(int slot, const char *text) {
    Player &p = Players[slot];
    if (p.fd < 0)
        return;
    size_t n = std::strlen(text) + 1;
    if (send(p.fd, text, n, MSG_NOSIGNAL) < 0 && errno == ECONNREFUSED) {
        closereply(slot);
        p.on = false;
    }
}

void sendfrommain(uint32_t addr, uint16_t port, const char *text) {
    if (MainFd < 0)
        return;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = addr;
    a.sin_port = port;
    sendto(MainFd, text, std::strlen(text) + 1, MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&a),
           sizeof a);
}

// Datagrams longer than DatagramMax are cut (MSG_TRUNC is not asked for); the buffer
// always gets a terminating NUL after the bytes read.
long recvmain(char *buf, uint32_t *addr, uint16_t *port) {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ssize_t n =
        recvfrom(MainFd, buf, DatagramMax, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&a), &len);
    if (n < 0) {
        buf[0] = '\0';
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    }
    buf[n] = '\0';
    *addr = a.sin_addr.s_addr;
    *port = a.sin_port;
    return n == 0 ? 0 : n;
}

long recvreply(int fd, char *buf) {
    ssize_t n = recv(fd, buf, DatagramMax, MSG_DONTWAIT);
    if (n < 0) {
        buf[0] = '\0';
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    }
    buf[n] = '\0';
    return n;
}

} // namespace vorn::pitch
