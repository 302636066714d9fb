// Both programs as processes under hostile datagrams, interleaved with a normal exchange as
// before kick-off (time 0, a sense_body every 100 ms, a see of the ball and all 22 players).
// After each bad input, "pl" must show exactly the records the table says; afterwards the walk
// back to formation that a referee call queues goes out in slot 1 of the next cycles, and
// "quit" ends the program with status 0.

#include "tests/support/served.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vorntest;

namespace {

struct Program {
    const char *name;
    const char *init;                // the init reply
    std::vector<std::string> places; // the walk back to formation, one command per cycle
};

void PrintTo(const Program &p, std::ostream *os) {
    *os << p.name;
}

const Program Programs[] = {
    {"Vorn", "(init l 7 before_kick_off)", {"(move -20 20)", "(turn -45)"}},
    {"Vorng", "(init r 1 before_kick_off)", {"(move -50 0)", "(turn 0)", "(turn 180)"}},
};

const char SenseBody[] = "(sense_body 0 (view_mode high normal) (stamina 8000 1) (speed 0 0) "
                         "(head_angle 0) (kick 0) (dash 0) (turn 0) (say 0) (turn_neck 0))";

// The normal see: the ball at 10 m, direction 5; team-mate n at n m, direction n; opponent n
// at 20 + n m, direction -n. And the "pl" lines it leaves.
std::string normalsee() {
    std::string see = "(see 0 ((b) 10 5)";
    for (int n = 1; n <= 11; n++)
        see += " ((p \"vorn\" " + std::to_string(n) + ") " + std::to_string(n) + " " +
               std::to_string(n) + ") ((p \"opp\" " + std::to_string(n) + ") " +
               std::to_string(20 + n) + " " + std::to_string(-n) + ")";
    return see + ")";
}

std::vector<std::string> normallines() {
    std::vector<std::string> lines = {"Ball turn:0 distance:10.000000 direction:5"};
    for (int n = 1; n <= 11; n++)
        lines.push_back("Teamplayer " + std::to_string(n) + " turn:0 distance:" +
                        std::to_string(n) + ".000000 direction:" + std::to_string(n));
    for (int n = 1; n <= 11; n++)
        lines.push_back("Oppplayer " + std::to_string(n) + " turn:0 distance:" +
                        std::to_string(20 + n) + ".000000 direction:" + std::to_string(-n));
    return lines;
}

// A see of exactly size bytes that ends in tail, blanks between.
std::string sized(size_t size, const std::string &tail) {
    std::string head = "(see 0";
    return head + std::string(size - head.size() - tail.size(), ' ') + tail;
}

// A literal's bytes, NUL bytes inside included.
template <size_t N> std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

struct Hostile {
    const char *what;
    const char *gets;
    std::vector<std::string> datagrams; // sent as they stand, no NUL added
    std::vector<std::string> changed;   // the "pl" lines that differ from the normal see's
};

std::vector<Hostile> catalogue() {
    std::string garbage;
    for (int c = 255; c > 0; c--) // every byte but NUL, the first word no head word
        garbage += static_cast<char>(c);
    std::string nested = "(see 0 " + std::string(50, '(') + "b) 2 3" + std::string(50, ')') + ")";
    return {
        {"binary garbage", "ignored", {garbage, std::string(300, '\xff')}, {}},
        {"2047 bytes",
         "read whole",
         {sized(2047, "((b) 7 47)")},
         {"Ball turn:0 distance:7.000000 direction:47"}},
        {"2048 bytes",
         "truncated to 2047: the direction loses its last digit",
         {sized(2048, "((b) 8 481")},
         {"Ball turn:0 distance:8.000000 direction:48"}},
        {"65000 bytes",
         "truncated to 2047",
         {sized(2047, "((b) 9 12") + std::string(62953, '3')},
         {"Ball turn:0 distance:9.000000 direction:12"}},
        {"NUL bytes inside",
         "truncated at the first NUL",
         {bytes("(see 0 ((b) 6 6\0"
                "7) ((p \"opp\" 1) 5 5))"),
          bytes("\0(see 0 ((b) 1 1))")},
         {"Ball turn:0 distance:6.000000 direction:6"}},
        {"parts without closing parentheses",
         "read as far as they go; a cut part has no numbers",
         {"(see 0 ((b) 3 4 ((p \"opp\" 2"},
         {"Ball turn:0 distance:3.000000 direction:4"}},
        {"50 nested parentheses",
         "nesting not tracked: the innermost name is the entry",
         {nested},
         {"Ball turn:0 distance:2.000000 direction:3"}},
        {"1e40, nan and inf",
         "refused: the fields keep their numbers",
         {"(see 0 ((b) 1e40 8) ((p \"opp\" 5) nan 9) ((p \"opp\" 6) 6 inf) ((p \"opp\" 7) inf 1))"},
         {"Oppplayer 6 turn:0 distance:6.000000 direction:-6"}},
        {"-2147483649 and 99999999999 as directions",
         "clamped to the range of int",
         {"(see 0 ((b) 4 -2147483649) ((p \"vorn\" 2) 2 99999999999))"},
         {"Ball turn:0 distance:4.000000 direction:-2147483648",
          "Teamplayer 2 turn:0 distance:2.000000 direction:2147483647"}},
        {"a negative cycle number",
         "taken as it stands",
         {"(see -7 ((b) 1 2))"},
         {"Ball turn:-7 distance:1.000000 direction:2"}},
        {"huge cycle numbers in see",
         "clamped to the range of int",
         {"(see 99999999999 ((b) 1 3))"},
         {"Ball turn:2147483647 distance:1.000000 direction:3"}},
        {"huge cycle numbers in sense_body",
         "clamped; a see without a time keeps it",
         {"(sense_body -2147483649 (view_mode high normal))", "(see ((b) 1 4))"},
         {"Ball turn:-2147483648 distance:1.000000 direction:4"}},
        {"uniform numbers 0, 12 and 99999",
         "ignored",
         {"(see 0 ((p \"vorn\" 0) 1 1) ((p \"opp\" 12) 1 1) ((p \"opp\" 99999) 1 1))"},
         {}},
        {"player names of 1 to 9 words",
         "1: anonymous, 2: team only (nothing is stale at time 0: slot 0 takes them), 3 and "
         "more: numbered, the words after the number unused",
         {"(see 0 ((p) 1 1) ((p \"opp\") 2 2) ((p \"opp\" 3) 3 3) ((p \"opp\" 4 goalie) 4 4) "
          "((p \"opp\" 5 goalie x) 5 5) ((p \"opp\" 6 goalie x y) 6 6) "
          "((p \"opp\" 7 goalie x y z) 7 7) ((p \"opp\" 8 a b c d e) 8 8) "
          "((p \"opp\" 9 a b c d e f) 9 9))"},
         {"Teamplayer 1 turn:0 distance:1.000000 direction:1",
          "Oppplayer 1 turn:0 distance:2.000000 direction:2",
          "Oppplayer 3 turn:0 distance:3.000000 direction:3",
          "Oppplayer 4 turn:0 distance:4.000000 direction:4",
          "Oppplayer 5 turn:0 distance:5.000000 direction:5",
          "Oppplayer 6 turn:0 distance:6.000000 direction:6",
          "Oppplayer 7 turn:0 distance:7.000000 direction:7",
          "Oppplayer 8 turn:0 distance:8.000000 direction:8",
          "Oppplayer 9 turn:0 distance:9.000000 direction:9"}},
        {"unknown head words",
         "ignored",
         {"(bogus 0 ((b) 1 1))", "(seeing 0 ((b) 1 1))", "(see_global 0 ((b) 1 1))",
          "(score 0 1 0)", "(error unknown_command)", "(warning moving_to_opponent_field)"},
         {}},
    };
}

// The lines of a "pl" block: the normal see's, with the changed ones in place of those that
// begin with the same object.
std::string expected(const std::vector<std::string> &changed) {
    std::string block;
    for (const std::string &line : normallines()) {
        std::string shown = line;
        for (const std::string &c : changed)
            if (c.compare(0, c.find(" turn:"), line, 0, line.find(" turn:")) == 0)
                shown = c;
        block += shown + "\n";
    }
    return block;
}

std::vector<std::string> texts(const std::vector<Datagram> &datagrams) {
    std::vector<std::string> all;
    for (const Datagram &d : datagrams)
        all.push_back(d.text);
    return all;
}

class Hostility : public ::testing::TestWithParam<Program> {
  protected:
    // The sense_body of a new cycle once 100 ms have passed since the last one.
    void tick() {
        if (now() - cyclestart >= 0.1) {
            cyclestart = now();
            agent.send(SenseBody);
        }
    }

    ServedAgent agent;
    double cyclestart = 0;
};

} // namespace

TEST_P(Hostility, BadDatagramsChangeOnlyWhatTheTableSays) {
    const Program &p = GetParam();
    ASSERT_TRUE(agent.start(p.name));
    agent.send(p.init);
    // The placement, sent at once with pauses of 100 ms: the same commands as the walk back.
    for (double end = now() + 5; agent.received.size() < p.places.size() && now() < end;)
        agent.listen(0.05);
    ASSERT_EQ(texts(agent.received), p.places);
    agent.received.clear();

    int tag = 0;
    for (const Hostile &h : catalogue()) {
        tick();
        agent.send(normalsee());
        for (const std::string &d : h.datagrams)
            agent.server.send(agent.agentport, d);
        ASSERT_TRUE(agent.settle(0, "row" + std::to_string(++tag))) << h.what;
        EXPECT_EQ(agent.pl("Ball turn:", 23), expected(h.changed)) << h.what << ": " << h.gets;
    }
    EXPECT_TRUE(agent.received.empty()) << "sent with an empty queue";

    // A referee call of 200 characters: kept whole as the play mode, its type "goal_" sends the
    // player back to formation, and the queued commands leave in slot 1 of the next cycles.
    while (now() - cyclestart < 0.1)
        agent.listen(0.005);
    cyclestart = now();
    agent.send(SenseBody);
    agent.send("(hear 0 referee goal_l_" + std::string(193, 'x') + ")");
    std::vector<double> starts;
    for (size_t cycle = 0; cycle <= p.places.size(); cycle++) {
        agent.listen(0.1 - (now() - cyclestart));
        cyclestart = now();
        starts.push_back(cyclestart);
        agent.send(SenseBody);
    }
    agent.listen(0.1);
    ASSERT_EQ(texts(agent.received), p.places);
    for (size_t i = 0; i < p.places.size(); i++) {
        double at = agent.received[i].at - starts[i];
        EXPECT_GE(at, 0) << p.places[i] << " before its cycle";
        EXPECT_LT(at, 0.055) << p.places[i] << " after slot 1 (a generous allowance past 33 ms)";
    }

    agent.send(normalsee());
    ASSERT_TRUE(agent.settle(0, "last"));
    EXPECT_EQ(agent.pl("Ball turn:", 23), expected({}));
    agent.child->write("quit\n");
    EXPECT_EQ(agent.child->wait(10), 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, Hostility, ::testing::ValuesIn(Programs),
                         [](const auto &info) { return std::string(info.param.name); });
