// Both programs as processes, fed what a server sends over loopback: the "pl" command shows
// the ball and player records that the datagrams left, before and after the init reply.

#include "tests/support/process.h"
#include "tests/support/tempdir.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace vorntest;

namespace {

const char NoRecords[] =
    "No ball or player records yet: the server has not answered the init command\n";

class Perception : public ::testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        child = std::make_unique<Child>(
            binpath(GetParam()),
            std::vector<std::string>{"127.0.0.1", std::to_string(server.port())}, folder.path());
        ASSERT_TRUE(child->started());
        Datagram d;
        ASSERT_TRUE(server.receive(d, 10)) << "no init datagram";
        agentport = d.port;
    }

    // What the server would send: the text and its terminating NUL.
    void send(const std::string &text) {
        server.send(agentport, text + '\0');
    }

    // Sends a player's "hear" of the given time behind what was sent before and waits until
    // the agent has printed it: datagrams are handled in order, so all before it are parsed.
    bool settle(int time, const std::string &tag) {
        std::string hear = "hear " + std::to_string(time) + " 0 " + tag;
        send("(" + hear + ")");
        for (double end = now() + 10; now() < end; server.collect(0.02))
            if (child->output().find("in hear out[0]=" + hear + ",") != std::string::npos)
                return true;
        return false;
    }

    // Types "pl" and returns the printed block that begins with first, once it holds the
    // given number of lines (empty if it does not within ten seconds).
    std::string pl(const std::string &first, int lines) {
        size_t from = child->output().size();
        child->write("pl\n");
        for (double end = now() + 10; now() < end;) {
            std::string out = child->output();
            size_t at = out.find(first, from);
            if (at != std::string::npos) {
                std::string block = out.substr(at);
                int n = 0;
                size_t cut = 0;
                while (n < lines && (cut = block.find('\n', cut)) != std::string::npos) {
                    cut++;
                    n++;
                }
                if (n == lines)
                    return block.substr(0, cut);
            }
            server.collect(0.02); // whatever the agent sends meanwhile
        }
        return "";
    }

    TempDir folder;
    Peer server;
    std::unique_ptr<Child> child;
    int agentport = 0;
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
    child->write("quit\n");
    EXPECT_EQ(child->wait(10), 0);
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
    child->write("quit\n");
    EXPECT_EQ(child->wait(10), 0);
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
    child->write("quit\n");
    EXPECT_EQ(child->wait(10), 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, Perception, ::testing::Values("Vorn", "Vorng"),
                         [](const ::testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param);
                         });
