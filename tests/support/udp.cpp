#include "tests/support/udp.h"

#include <arpa/inet.h>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace vorntest {

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

static sockaddr_in loopback(int port) {
    sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

Peer::Peer(int port) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0)
        return;
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = loopback(port);
    if (bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0) {
        close(fd_);
        fd_ = -1;
        return;
    }
    socklen_t n = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &n);
    port_ = ntohs(a.sin_port);
}

Peer::~Peer() {
    if (fd_ >= 0)
        close(fd_);
}

bool Peer::receive(Datagram &d, double timeout) {
    double end = now() + timeout;
    for (;;) {
        double left = end - now();
        if (left < 0)
            left = 0;
        pollfd p = {fd_, POLLIN, 0};
        int r = poll(&p, 1, static_cast<int>(left * 1000) + 1);
        if (r > 0) {
            char buf[9000];
            sockaddr_in from;
            socklen_t n = sizeof from;
            ssize_t got =
                recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &n);
            if (got >= 0) {
                d.text.assign(buf, static_cast<size_t>(got));
                d.port = ntohs(from.sin_port);
                d.at = now();
                return true;
            }
        }
        if (now() >= end)
            return false;
    }
}

std::vector<Datagram> Peer::collect(double seconds) {
    std::vector<Datagram> all;
    double end = now() + seconds;
    Datagram d;
    while (now() < end && receive(d, end - now()))
        all.push_back(d);
    return all;
}

void Peer::send(int port, const std::string &text) {
    sockaddr_in a = loopback(port);
    sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr *>(&a), sizeof a);
}

} // namespace vorntest
