// net.h -- the UDP sockets: the well-known port and one reply socket per player or monitor.
//
// Each wrapper makes one system call and returns its result to the single caller that
// decides what to do. Every datagram pitch sends is the message text plus one NUL byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::pitch {

constexpr size_t DatagramMax = 8192; // longer client datagrams are cut

// Globals
extern int MainFd; // the well-known socket, -1 when closed

bool netopen(const char *bind, int port, char *err, size_t errcap); // opens MainFd
int netport();                                                      // the port MainFd is bound to
int openreply(uint32_t addr, uint16_t port); // new socket connected to the client
void closereply(int slot);                   // close a player's reply socket
void closesocket(int fd);                    // close a monitor's socket
// sendsocket: text + NUL on a connected socket without waiting: 0 sent, 1 lost (the
// system's buffer is full), -1 the peer has gone.
int sendsocket(int fd, const char *text);
void sendplayer(int slot, const char *text); // text + NUL from the player's socket
void sendfrommain(uint32_t addr, uint16_t port, const char *text); // text + NUL from MainFd
// Read one datagram: from MainFd (source address filled in) or from a reply socket.
// Returns the byte count (text NUL-terminated in buf of size DatagramMax + 1), 0 when
// nothing is waiting, -1 when the socket reported an error (peer gone). *atus gets the
// monotonic time, us, at which the datagram reached the socket.
long recvmain(char *buf, uint32_t *addr, uint16_t *port, int64_t *atus);
long recvreply(int fd, char *buf, int64_t *atus);

} // namespace vorn::pitch
