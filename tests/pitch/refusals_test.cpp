// refusals_test.cpp -- what pitch says on its standard output of the inits it refuses, the
// names of two teams of one name on either side, and its seed, over real loopback sockets.

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/pitch/support.h"

using namespace pitchtest;

namespace {

const char NoMorePlayer[] = "(error no_more_player_or_goalie_or_illegal_client_version)";

// refusal: the line pitch says of an init from port refused for reason.
std::string refusal(int port, const std::string &reason) {
    return "pitch: player at 127.0.0.1:" + std::to_string(port) + " refused: " + reason;
}

// seatteam: count players of team (the first the goalie), replies checked.
bool seatteam(std::vector<Client> &clients, int port, const std::string &team, int count) {
    std::string reply;
    for (int i = 0; i < count; i++) {
        clients.emplace_back();
        std::string init = "(init " + team + " (version 6.02)" + (i == 0 ? "(goalie))" : ")");
        if (!initclient(clients.back(), port, init, reply) || reply.rfind("(init ", 0) != 0)
            return false;
    }
    return true;
}

void closeall(std::vector<Client> &clients) {
    for (Client &c : clients)
        closeclient(c);
}

} // namespace

// Team a full on the left, team b's goalie on the right: each init of the table is refused
// with its error reply, and pitch says so in one line that names the client and the reason.
TEST(Refusals, EachIsSaidWithItsReason) {
    Server s({"--kickoff-after", "0", "--quiet"});
    ASSERT_TRUE(s.started);
    std::vector<Client> seated;
    ASSERT_TRUE(seatteam(seated, s.p.port, "a", 11));
    ASSERT_TRUE(seatteam(seated, s.p.port, "b", 1));
    const struct {
        const char *init, *reply, *reason;
    } table[] = {
        {"(init b (version 15))", NoMorePlayer,
         "pitch serves protocol 6 only (it asked for version 15)"},
        {"(init b (version 15.0))", NoMorePlayer,
         "pitch serves protocol 6 only (it asked for version 15.0)"},
        {"(init b (goalie)(version 7))", NoMorePlayer,
         "pitch serves protocol 6 only (it asked for version 7)"},
        {"(init b (version 5.99))", NoMorePlayer,
         "pitch serves protocol 6 only (it asked for version 5.99)"},
        {"(init b)", NoMorePlayer,
         "pitch serves protocol 6 only (it asked for no version, which means 3)"},
        {"(init a (version 6.02))", NoMorePlayer, "team a has eleven players already"},
        {"(init b (version 6.02)(goalie))", NoMorePlayer, "team b has its goalie already"},
        {"(init c (version 6.02))", "(error no_more_team)",
         "a third team, c (the sides are a's and b's)"},
        {"(init b@d (version 6.02))", "(error illegal_teamname)",
         "bad team name (letters, digits, - and _ only)"},
        {"(init  (version 6.02))", "(error illegal_teamname)", "no team name"},
        {"(init abcdefghijklmnop (version 6.02))", "(error illegal_teamname_or_too_long_teamname)",
         "team name longer than 15 characters"},
        {"(init b (version))", "(error illegal_command_form)", "bad init form"},
        {"(init b (colour red))", "(error illegal_command_form)", "bad init form"},
    };
    for (const auto &row : table) {
        Client c;
        ASSERT_TRUE(openclient(c, s.p.port));
        sendmain(c, row.init);
        std::string msg;
        EXPECT_TRUE(recvraw(c, msg, 3000)) << row.init;
        EXPECT_EQ(strip(msg), row.reply) << row.init;
        std::string line = refusal(localport(c), row.reason);
        EXPECT_TRUE(waitline(s.p, line, 5000)) << line << "\nin:\n" << s.p.text;
        closeclient(c);
    }
    closeall(seated);
}

// A client that sends inits without end: twenty refusals said, then one line that says no
// more are, and none after it; the player that joins after them is still said.
TEST(Refusals, AFloodIsSaidTwentyTimesThenNoMore) {
    Server s({"--kickoff-after", "0", "--quiet"});
    ASSERT_TRUE(s.started);
    Client c;
    ASSERT_TRUE(openclient(c, s.p.port));
    for (int i = 0; i < 50; i++)
        sendmain(c, "(init flood (version 99))");
    sendmain(c, "(init late (version 6.02))"); // handled after them, in order
    ASSERT_TRUE(waitline(s.p, "pitch: late 1 joined on the left", 5000)) << s.p.text;
    std::string said = refusal(localport(c), "pitch serves protocol 6 only (it asked for version "
                                             "99)") +
                       "\n";
    std::string expected;
    for (int i = 0; i < 20; i++)
        expected += said;
    expected += "pitch: 20 refusals said; further refusals are not said\n"
                "pitch: late 1 joined on the left\n";
    size_t from = s.p.text.find("pitch: player at ");
    ASSERT_NE(from, std::string::npos) << s.p.text;
    EXPECT_EQ(s.p.text.substr(from), expected);
    closeclient(c);
}

// Two teams of one name, the one called vorn-b on either side: pitch's lines name the teams
// by side from their first player on, each player sees its own side as vorn and the other as
// vorn-b, and a third team is refused naming both.
TEST(Refusals, TwinTeamsNameEitherSideVornB) {
    for (const char *bside : {"right", "left"}) {
        SCOPED_TRACE(bside);
        bool bleft = std::string(bside) == "left";
        const std::string leftname = bleft ? "vorn-b" : "vorn",
                          rightname = bleft ? "vorn" : "vorn-b";
        Server s({"--twin-teams", "--twin-b-side", bside, "--kickoff-after", "0", "--quiet"});
        ASSERT_TRUE(s.started);
        std::vector<Client> team;
        ASSERT_TRUE(seatteam(team, s.p.port, "vorn", 11));
        ASSERT_TRUE(seatteam(team, s.p.port, "vorn", 2));
        for (const std::string &line : {"pitch: " + leftname + " 1 (goalie) joined on the left",
                                        "pitch: " + leftname + " 11 joined on the left",
                                        "pitch: " + rightname + " 1 (goalie) joined on the right",
                                        "pitch: " + rightname + " 2 joined on the right"})
            EXPECT_TRUE(waitline(s.p, line, 5000)) << line << "\nin:\n" << s.p.text;
        Client other;
        ASSERT_TRUE(openclient(other, s.p.port));
        sendmain(other, "(init other (version 6.02))");
        std::string line = refusal(localport(other), "a third team, other (the sides are " +
                                                         leftname + "'s and " + rightname + "'s)");
        EXPECT_TRUE(waitline(s.p, line, 5000)) << line << "\nin:\n" << s.p.text;
        // In the row outside the touch line, all facing +x: l2 sees l1 and r1 ahead of it;
        // r2, turned about, sees r1 and l1.
        sendreply(team[12], "(turn 180)");
        for (int viewer : {1, 12}) {
            std::string own = viewer == 1 ? "l" : "r";
            std::string want[] = {"((p \"vorn\" 1 goalie) 3 ", "((p \"vorn-b\" 1 goalie) 9 "};
            std::string msg;
            bool seen = false;
            for (int i = 0; i < 20 && !seen; i++)
                seen = waitfor(team[viewer], "(see ", msg, 3000) &&
                       msg.find(want[0]) != std::string::npos &&
                       msg.find(want[1]) != std::string::npos;
            EXPECT_TRUE(seen) << own << " 2 saw: " << msg;
        }
        stoppitch(s.p);
        std::string score = "score: " + leftname + " 0 : 0 " + rightname + "\n";
        EXPECT_NE(s.p.text.find(score), std::string::npos) << score << s.p.text;
        closeall(team);
        closeclient(other);
    }
}

TEST(Refusals, PitchSaysItsSeedAfterItsPort) {
    Server s({"--seed", "4711", "--quiet"});
    ASSERT_TRUE(s.started);
    EXPECT_TRUE(waitline(s.p, "pitch: random seed 4711", 5000)) << s.p.text;
    size_t at = s.p.text.find("pitch: listening on port ");
    EXPECT_EQ(at, 0u) << s.p.text;
}
