// net.cpp -- the UDP sockets: the well-known port and one reply socket per player or monitor.
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
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "pitch/server.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Globals
int MainFd = -1;

// Every socket asks the system to stamp the datagrams it receives, so that a command's
// time is when it reached pitch, not when pitch came round to reading it (after a step's
// work, say). Without a stamp the time of the read stands in.
static void askstamps(int fd) {
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
}

// The stamp is on the realtime clock; pitch keeps time on the monotonic one. The two run
// at the same rate, so the datagram's age converts it.
static int64_t arrivalus(msghdr &m) {
    for (cmsghdr *c = CMSG_FIRSTHDR(&m); c != nullptr; c = CMSG_NXTHDR(&m, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS)
            continue;
        timespec at, now;
        std::memcpy(&at, CMSG_DATA(c), sizeof at);
        clock_gettime(CLOCK_REALTIME, &now);
        int64_t age = (static_cast<int64_t>(now.tv_sec) - at.tv_sec) * 1000000 +
                      (now.tv_nsec - at.tv_nsec) / 1000;
        int64_t read = nowus();
        return age >= 0 && age < 10000000 ? read - age : read;
    }
    return nowus();
}

// One datagram from fd, its source and its arrival time; the byte count, 0 when nothing
// is waiting, -1 on a socket error.
static long recvstamped(int fd, char *buf, sockaddr_in *from, int64_t *atus) {
    iovec v{buf, DatagramMax};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr m{};
    m.msg_name = from;
    m.msg_namelen = from != nullptr ? sizeof *from : 0;
    m.msg_iov = &v;
    m.msg_iovlen = 1;
    m.msg_control = control;
    m.msg_controllen = sizeof control;
    ssize_t n = recvmsg(fd, &m, MSG_DONTWAIT);
    if (n < 0) {
        buf[0] = '\0';
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    }
    buf[n] = '\0';
    *atus = arrivalus(m);
    return n;
}

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
    askstamps(fd);
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
    askstamps(fd);
    return fd;
}

void closereply(int slot) {
    Player &p = Players[slot];
    if (p.fd >= 0)
        close(p.fd);
    p.fd = -1;
}

void closesocket(int fd) {
    if (fd >= 0)
        close(fd);
}

int sendsocket(int fd, const char *text) {
    if (send(fd, text, std::strlen(text) + 1, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0)
        return 0;
    return errno == ECONNREFUSED ? -1 : 1;
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
long recvmain(char *buf, uint32_t *addr, uint16_t *port, int64_t *atus) {
    sockaddr_in a{};
    long n = recvstamped(MainFd, buf, &a, atus);
    if (n <= 0)
        return n;
    *addr = a.sin_addr.s_addr;
    *port = a.sin_port;
    return n;
}

long recvreply(int fd, char *buf, int64_t *atus) {
    return recvstamped(fd, buf, nullptr, atus);
}

} // namespace vorn::pitch
