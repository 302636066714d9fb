// Kick-off placement as the server sees it: the commands after the init reply, in order and
// about 100 ms apart; only the field player pauses before its first move.

#include "tests/support/process.h"
#include "tests/support/tempdir.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vorntest;

namespace {

struct Placed {
    std::vector<std::string> texts;
    std::vector<double> after; // seconds after the init reply was sent
};

Placed place(const char *program, const char *reply, size_t count) {
    TempDir folder;
    Peer server;
    Child child(binpath(program), {"127.0.0.1", std::to_string(server.port())}, folder.path());
    Datagram d;
    Placed placed;
    if (!server.receive(d, 10))
        return placed;
    Peer replies;
    double sent = now();
    replies.send(d.port, reply);
    while (placed.texts.size() < count && replies.receive(d, 5)) {
        placed.texts.push_back(d.text);
        placed.after.push_back(d.at - sent);
    }
    EXPECT_FALSE(replies.receive(d, 0.3)) << "more than expected: " << d.text;
    child.write("quit\n");
    EXPECT_EQ(child.wait(10), 0);
    return placed;
}

} // namespace

TEST(PlacementProcess, FieldPlayerPausesBeforeEachCommand) {
    Placed p = place("Vorn", "(init l 7 before_kick_off)", 2);
    ASSERT_EQ(p.texts, (std::vector<std::string>{"(move -20 20)", "(turn -45)"}));
    EXPECT_GE(p.after[0], 0.095);
    EXPECT_GE(p.after[1] - p.after[0], 0.095);
    EXPECT_LT(p.after[1] - p.after[0], 0.6);
}

TEST(PlacementProcess, FieldPlayerOnTheRightTurnsRound) {
    Placed p = place("Vorn", "(init r 7 before_kick_off)", 3);
    ASSERT_EQ(p.texts, (std::vector<std::string>{"(move -20 20)", "(turn -45)", "(turn 180)"}));
    EXPECT_GE(p.after[2] - p.after[1], 0.095);
    EXPECT_LT(p.after[2] - p.after[1], 0.6);
}

TEST(PlacementProcess, GoalieMovesAtOnce) {
    Placed p = place("Vorng", "(init r 1 before_kick_off)", 3);
    ASSERT_EQ(p.texts, (std::vector<std::string>{"(move -50 0)", "(turn 0)", "(turn 180)"}));
    // No pause before the move: it comes well before the pause of 100 ms would end.
    EXPECT_LT(p.after[0], 0.08);
    EXPECT_GE(p.after[1] - p.after[0], 0.095);
    EXPECT_GE(p.after[2] - p.after[1], 0.095);
}
