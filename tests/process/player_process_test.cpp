// The field player as the server sees it: a ball within reach is kicked in the third send
// slot of the cycle in which it was seen, and a "see" of the last cycle ends the player.

#include "tests/support/process.h"
#include "tests/support/tempdir.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace vorntest;

TEST(PlayerProcess, KicksInTheThirdSlotAndEndsWithTheMatch) {
    TempDir folder;
    Peer server;
    Child child(binpath("Vorn"), {"127.0.0.1", std::to_string(server.port())}, folder.path());
    Datagram d;
    ASSERT_TRUE(server.receive(d, 10));
    int agent = d.port;
    Peer replies;
    replies.send(agent, "(init l 9 play_on)");
    for (const char *placed : {"(move -40 25)", "(turn -45)"}) {
        ASSERT_TRUE(replies.receive(d, 5));
        EXPECT_EQ(d.text, placed);
    }
    // A cycle begins; the ball is seen 0.8 m away and the right goal 7 degrees to the right.
    const char *body = " (view_mode high normal) (stamina 8000 1) (speed 0 0) (head_angle 0) "
                       "(kick 0) (dash 0) (turn 0) (say 0) (turn_neck 0))";
    double start = now();
    replies.send(agent, std::string("(sense_body 10") + body);
    usleep(10000);
    replies.send(agent, "(see 10 ((g r) 40 7) ((b) 0.8 0 0 0))");
    ASSERT_TRUE(replies.receive(d, 2)) << "no kick";
    EXPECT_EQ(d.text, "(kick 100 7)");
    // The third slot opens 66.7 ms after the player took the sense_body, which was after
    // it was sent.
    EXPECT_GE(d.at - start, 0.0666);
    EXPECT_FALSE(replies.receive(d, 0.2)) << "more than the kick: " << d.text;

    replies.send(agent, std::string("(sense_body 6000") + body);
    replies.send(agent, "(see 6000 ((b) 0.8 0 0 0))");
    EXPECT_EQ(child.wait(10), 0);
    EXPECT_FALSE(replies.receive(d, 0.1)) << "sent after the end: " << d.text;
    EXPECT_EQ(folder.read("Vorne.log"), "");
}
