// A running agent (Vorn or Vorng) with a loopback peer in the server's place: the program is
// started in a folder of its own, the peer sends what a server would, waits until the agent
// has parsed it, and reads the records that "pl" prints. What the agent sends meanwhile is
// kept, with the time it arrived.
#pragma once

#include "tests/support/process.h"
#include "tests/support/tempdir.h"
#include "tests/support/udp.h"

#include <memory>
#include <string>
#include <vector>

namespace vorntest {

class ServedAgent {
  public:
    // Starts the program against the peer and waits for its init datagram.
    bool start(const std::string &program);
    // What the server would send: the text and its terminating NUL.
    void send(const std::string &text);
    // Sends a player's "hear" of the given time behind what was sent before and waits until
    // the agent has printed it: datagrams are handled in order, so all before it are parsed.
    bool settle(int time, const std::string &tag);
    // Types "pl" and returns the printed block that begins with first, once it holds the
    // given number of lines (empty if it does not within ten seconds).
    std::string pl(const std::string &first, int lines);
    // Keeps what the agent sends within the given seconds.
    void listen(double seconds);

    TempDir folder;
    Peer server;
    std::unique_ptr<Child> child;
    int agentport = 0;
    std::vector<Datagram> received; // everything the agent sent after its init datagram
};

} // namespace vorntest
