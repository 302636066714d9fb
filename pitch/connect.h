// connect.h -- datagrams from unknown addresses: init, reconnect, and a monitor's dispinit
// (monitor.h).
//
// Sample exchange (the reply comes from the player's own new port):
//   -> (init vorn (version 6.02)(goalie))
//   <- (init l 1 before_kick_off)
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::pitch {

// handlenew: a datagram to the well-known port from an address that is not a player.
void handlenew(uint32_t addr, uint16_t port, const char *text, size_t len);

// joinplayer: seat a player without a socket (built-in opponent, tests). Returns the
// slot, or -1 when the team or the side is full.
int joinplayer(const char *team, bool goalie, bool robot, char *err, size_t errcap);

// findsender: the slot of the player at this address, -1 if none.
int findsender(uint32_t addr, uint16_t port);

} // namespace vorn::pitch
