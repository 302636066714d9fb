// The goalie as a process, fed by a scripted server over loopback: it announces itself as the
// goalie, walks to its place, catches a ball in its catch rectangle in the last send slot of
// the cycle, and with the ball in its hands moves to the corner of its penalty area.

#include "tests/support/process.h"
#include "tests/support/tempdir.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vorntest;

TEST(GoalieProcess, WalksToItsPlaceAndCatchesInTheLastSlot) {
    TempDir folder;
    Peer server;
    ASSERT_TRUE(server.ok());
    Child child(binpath("Vorng"), {"127.0.0.1", std::to_string(server.port())}, folder.path());
    Datagram d;
    ASSERT_TRUE(server.receive(d, 10));
    EXPECT_EQ(d.text, "(init vorn(version 6.02)(goalie))");
    int agent = d.port;

    server.send(agent, "(init l 1 before_kick_off)");
    std::vector<std::string> placed;
    while (placed.size() < 2 && server.receive(d, 5))
        placed.push_back(d.text);
    EXPECT_EQ(placed, (std::vector<std::string>{"(move -50 0)", "(turn 0)"}));

    // A cycle begins and the ball lies a metre ahead: the catch leaves in the third send
    // slot, two thirds of the cycle after the sense_body.
    server.send(agent, "(hear 0 referee play_on)");
    double start = now();
    server.send(agent, "(sense_body 1 (view_mode high normal))");
    server.send(agent, "(see 1 ((b) 1 0))");
    ASSERT_TRUE(server.receive(d, 5));
    EXPECT_EQ(d.text, "(catch 0)");
    EXPECT_GE(d.at - start, 0.066);
    EXPECT_LT(d.at - start, 0.5);

    // The next cycle: the referee announces the catch, the ball is held, and the goalie moves
    // to the side of its area.
    server.send(agent, "(sense_body 2 (view_mode high normal))");
    server.send(agent, "(hear 2 referee goalie_catch_ball_l)");
    server.send(agent, "(hear 2 referee free_kick_l)");
    server.send(agent, "(see 2 ((b) 0.4 0))");
    ASSERT_TRUE(server.receive(d, 5));
    EXPECT_EQ(d.text, "(move -37 -19)");

    child.write("quit\n");
    EXPECT_EQ(child.wait(10), 0);
}
