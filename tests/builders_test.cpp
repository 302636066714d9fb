// The command builders: texts, where the send slot places them, the turn of the stored
// picture, and the two small integer routines.

#include "actions/builders.h"
#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"

#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vorn;
using namespace vorntest;

using Queue = std::vector<std::string>;

namespace {
class Builders : public AgentTest {};
} // namespace

TEST_F(Builders, BuildersPlaceTheirCommandBySendSlot) {
    struct Case {
        int slot;
        Queue queue;
    } cases[] = {
        {1, {"NOP", "NOP", "(dash 100)"}},
        {4, {"NOP", "NOP", "(dash 100)"}},
        {2, {"NOP", "(dash 100)"}},
        {3, {"(dash 100)"}},
        {0, {}},
        {5, {}},
        {-1, {}},
    };
    for (const Case &c : cases) {
        new_list();
        dash(100, c.slot);
        EXPECT_EQ(queued(), c.queue) << "slot " << c.slot;
        EXPECT_STREQ(messtosend, "(dash 100)"); // built even when not queued
    }
}

TEST_F(Builders, BuildersFormatEveryNumberWhole) {
    new_list();
    dash(-100, 3);
    kick(100, -30, 3);
    turn(-90, 3);
    turnNeck(-45);
    catchball(12, 3);
    kick(INT_MIN, INT_MIN, 3); // the extremes fit and are not cut
    dash(INT_MAX, 3);
    EXPECT_EQ(queued(),
              (Queue{"(dash -100)", "(kick 100 -30)", "(turn -90)", "(turn_neck -45)", "(catch 12)",
                     "(kick -2147483648 -2147483648)", "(dash 2147483647)"}));
}

TEST_F(Builders, TurnTurnsBallAndPlayersButNotFlags) {
    Ball->direction = 120;
    TeamPlayer[3]->direction = -100;
    OppPlayer[10]->direction = 0;
    FlagC->direction = 50;
    turn(90, 0); // turned even though nothing is queued
    EXPECT_TRUE(queued().empty());
    EXPECT_EQ(Ball->direction, 30);
    EXPECT_EQ(TeamPlayer[3]->direction, 170); // -190 folded
    EXPECT_EQ(OppPlayer[10]->direction, -90);
    EXPECT_EQ(FlagC->direction, 50);
    Ball->direction = INT_MIN; // any int off the wire: wraps, never overflows
    turnplayers(INT_MAX);
    EXPECT_EQ(Ball->direction, 1);
}

TEST_F(Builders, FixangleTakesOneStepEachWay) {
    const int cases[][2] = {{190, -170}, {-190, 170}, {180, 180},   {-180, -180}, {0, 0},
                            {540, 180},  {600, 240},  {-540, -180}, {-600, -240}};
    for (const auto &c : cases)
        EXPECT_EQ(fixangle(c[0]), c[1]) << c[0];
}

TEST_F(Builders, PowerFollowsStaminaUnbounded) {
    const int cases[][2] = {{0, 0},      {34, 0},     {35, 1},      {3500, 100},
                            {4000, 114}, {8000, 228}, {-3500, -100}};
    for (const auto &c : cases) {
        Stamina = c[0];
        EXPECT_EQ(getpower(), c[1]) << c[0];
    }
    Stamina = INT_MAX; // computed wide, no overflow
    EXPECT_EQ(getpower(), static_cast<int>(int64_t{INT_MAX} * 100 / 3500));
}
