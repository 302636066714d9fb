// Kick-off placement inside one process: what initplace sends, in order.

#include "perception/parser.h"
#include "placement/placement.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vorn;
using namespace vorntest;

namespace {

std::vector<std::string> placement(int side, int number) {
    Peer server;
    initagent(server, side, number);
    initplace();
    std::vector<std::string> sent;
    for (const Datagram &d : server.collect(0.1))
        sent.push_back(d.text);
    return sent;
}

} // namespace

TEST(Placement, EveryNumberGoesToItsPlace) {
    const char *moves[] = {"(move -50 0)",  "(move -3 0)",    "(move -3 -20)", "(move -3 20)",
                           "(move -20 0)",  "(move -20 -20)", "(move -20 20)", "(move -40 -25)",
                           "(move -40 25)", "(move -40 -10)", "(move -40 10)"};
    const char *turns[] = {"(turn 0)",   "(turn -30)", "(turn 80)",  "(turn -80)",
                           "(turn 0)",   "(turn 45)",  "(turn -45)", "(turn 45)",
                           "(turn -45)", "(turn 30)",  "(turn -30)"};
    for (int n : {1, 7, 11}) {
        EXPECT_EQ(placement(0, n), (std::vector<std::string>{moves[n - 1], turns[n - 1]}));
        EXPECT_EQ(placement(1, n),
                  (std::vector<std::string>{moves[n - 1], turns[n - 1], "(turn 180)"}));
    }
}

TEST(Placement, NumberWithoutAPlace) {
    for (int n : {0, 12, -3})
        EXPECT_TRUE(placement(0, n).empty()) << n;
    EXPECT_EQ(placement(1, 12), (std::vector<std::string>{"(turn 180)"}));
}
