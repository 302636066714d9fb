// Both programs as processes, fed what a server sends over loopback: the "pl" command shows
// the ball and player records that the datagrams left, before and after the init reply.

#include "tests/support/served.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vorntest;

namespace {

const char NoRecords[] =
    "No ball or player records yet: the server has not answered the init command\n";

class Perception : public ::testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(agent.start(GetParam())) << "no init datagram";
    }
    void send(const std::string &text) {
        agent.send(text);
    }
    bool settle(int time, const std::string &tag) {
        return agent.settle(time, tag);
    }
    std::string pl(const std::string &first, int lines) {
        return agent.pl(first, lines);
    }

    ServedAgent agent;
};

std::string records(const std::string &ball, const std::vector<std::string> &team,
                    const std::vector<std::string> &opp) {
    std::string all = "Ball turn:" + ball + "\n";
    for (int i = 0; i < 11; i++)
        all += "Teamplayer " + std::to_string(i + 1) + " turn:" + team[i] + "\n";
    for (int i = 0; i < 11; i++)
        all += "Oppplayer " + std::to_string(i + 1) + " turn:" + opp[i] + "\n";
    return all;
}

} // namespace

TEST_P(Perception, SeeBeforeTheInitReplyTouchesNothing) {
    send("(see 3 ((b) 1 2) ((p \"vorn\" 2) 3 4))");
    send("(sense_body 3 (view_mode high normal))");
    ASSERT_TRUE(settle(3, "parsed"));
    EXPECT_EQ(pl("No ball", 1), NoRecords);
    agent.child->write("quit\n");
    EXPECT_EQ(agent.child->wait(10), 0);
}

TEST_P(Perception, PlShowsWhatTheDatagramsLeft) {
    send("(init l 3 before_kick_off)");
    send("(sense_body 57 (view_mode high normal) (stamina 8000 1) (speed 0 0) (head_angle 0) "
         "(kick 0) (dash 0) (turn 0) (say 0) (turn_neck 0))");
    // Upper case as the server writes objects out of view; the receive loop lowers it.
    send("(see 57 ((f c) 12.2 -35) ((B) 1.2 150) ((p \"vorn\" 7) 10.5 30) "
         "((p \"opp\" 2 goalie) 20 -15 0 0) ((p \"opp\") 44.7 8) ((P) 2 -60) ((l t) 20 30))");
    ASSERT_TRUE(settle(57, "first"));
    std::vector<std::string> team(11, "10 distance:0.000000 direction:0");
    std::vector<std::string> opp = team;
    // Every stale record lies at the origin, all equally near: slot 0, met first, keeps them.
    team[0] = "57 distance:2.000000 direction:-60";
    team[6] = "57 distance:10.500000 direction:30";
    opp[0] = "57 distance:44.700001 direction:8";
    opp[1] = "57 distance:20.000000 direction:-15";
    EXPECT_EQ(pl("Ball turn:", 23), records("57 distance:1.200000 direction:150", team, opp));

    send("(see 58 ((b) 3 4 0.5 1))");
    ASSERT_TRUE(settle(58, "second"));
    EXPECT_EQ(pl("Ball turn:58", 23), records("58 distance:3.000000 direction:4", team, opp));
    agent.child->write("quit\n");
    EXPECT_EQ(agent.child->wait(10), 0);
}

TEST_P(Perception, MalformedDatagramsLeaveTheAgentRunning) {
    send("(init r 9 before_kick_off)");
    for (const char *text :
         {"", "()", "(())", "(see)", "(see 5 (()) ((p \"vorn\" 0) 1 1) ((p \"vorn\" 12) 1 1))",
          "(see 6 ((p \"vorn 4) 1 1) ((p a b c d e f) 1 1) ((f l t 10) x))", "(sense_body)",
          "(hear)", "(hear 7 referee)", "(init)", ")))((("})
        send(text);
    send("(init r 9 before_kick_off)");
    send("(see 8 ((b) 9 9))");
    ASSERT_TRUE(settle(8, "last"));
    std::string shown = pl("Ball turn:8", 1);
    EXPECT_EQ(shown, "Ball turn:8 distance:9.000000 direction:9\n");
    agent.child->write("quit\n");
    EXPECT_EQ(agent.child->wait(10), 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, Perception, ::testing::Values("Vorn", "Vorng"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param);
                         });
