// pitch_harness.h -- what both fuzz targets of pitch share: a fresh match and loopback
// sockets that stand in for the clients.
//
// pitch answers through real sockets: the well-known socket (MainFd) for refusals, and a
// reply socket per player connect()ed to the client. Here every client is one of Sinks,
// UDP sockets of this process bound to 127.0.0.1, so every reply pitch sends goes to a
// loopback port of the harness and nowhere else. drainsinks() empties them after every
// input so that they never fill.
//
// An input holds several datagrams separated by '|', a byte neither parser gives any
// meaning to outside a quoted say, so a seed stays readable: "(init a)|(init b)".
#pragma once

#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "pitch/monitor.h"
#include "pitch/net.h"
#include "pitch/record.h"
#include "pitch/referee.h"
#include "pitch/rng.h"
#include "pitch/world.h"

namespace pitchfuzz {

using namespace vorn::pitch;

// More sinks than seats, so some sink is always free to play a newcomer.
constexpr int SinkCount = MaxPlayers + 2;

inline int Sinks[SinkCount];         // loopback sockets standing in for clients
inline uint16_t SinkPort[SinkCount]; // their ports, network order
inline const uint32_t Loopback = htonl(INADDR_LOOPBACK);

// opensink: a UDP socket on a free 127.0.0.1 port; its port in network order, 0 on failure.
inline uint16_t opensink(int &fd) {
    fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = Loopback;
    socklen_t len = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) < 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) < 0)
        return 0;
    return a.sin_port;
}

// start: the well-known socket on 127.0.0.1 and the sinks. False when any is missing.
inline bool start() {
    char err[160];
    if (!netopen("127.0.0.1", 0, err, sizeof err)) {
        std::fprintf(stderr, "pitch fuzz: %s\n", err);
        return false;
    }
    for (int i = 0; i < SinkCount; i++)
        if ((SinkPort[i] = opensink(Sinks[i])) == 0)
            return false;
    return true;
}

// freshmatch: close what the last input opened (players' and monitors' sockets) and start a
// new match before kick-off.
inline void freshmatch() {
    for (int i = 0; i < MaxPlayers; i++)
        closereply(i);
    monitorsforget();
    initoptions();
    Opt.noise = true;
    Opt.waitplayers = MaxPlayers;
    Opt.kickoffafter = 0;
    initworld();
    initreferee();
    resetstats();
    seedrandom(1);
}

// Throws away what pitch sent: to the sinks from the reply sockets and from MainFd.
inline void drainsinks() {
    char buf[DatagramMax + 1];
    for (int i = 0; i < SinkCount; i++)
        while (recv(Sinks[i], buf, sizeof buf, MSG_DONTWAIT) > 0) {
        }
}

// nextdatagram: the bytes up to the next '|' (or the end) from data + at; at moves past it.
inline bool nextdatagram(const uint8_t *data, size_t size, size_t &at, const char *&text,
                         size_t &len) {
    if (at > size)
        return false;
    size_t end = at;
    while (end < size && data[end] != '|')
        end++;
    text = reinterpret_cast<const char *>(data + at);
    len = end - at;
    at = end + 1;
    return true;
}

} // namespace pitchfuzz
