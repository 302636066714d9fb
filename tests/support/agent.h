// Setting up the agent's global state inside a test: start values, a connection to a
// loopback peer, and standard output captured to compare console texts byte for byte.
#pragma once

#include "tests/support/udp.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vorntest {

// Puts the agent back to its start state (initvar) and points its connection at the peer.
void startagent(Peer &server);

// Also builds the object records, as an init reply for the given side and number would,
// without sending the placement.
void initagent(Peer &server, int side, int number);

// A test that starts from the agent of uniform number 9 on the left, built as its init reply
// would build it, with its connection on a loopback peer.
class AgentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        initagent(server, 0, 9);
    }
    Peer server;
};

// The pending queue entries, from the read index to the last index.
std::vector<std::string> queued();

// Hands a message to the parser as the receive loop would (already lower-cased).
int parse(const std::string &text);

// The local port of the agent's socket, where a peer sends what the server would.
int agentport();

// Captures everything printed on standard output between its construction and take().
class Capture {
  public:
    Capture();
    ~Capture();
    std::string take(); // stops capturing and returns the bytes
  private:
    int saved_ = -1;
    std::string path_;
};

} // namespace vorntest
