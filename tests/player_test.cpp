// The field player's decision maker: the order of its steps, and the moves of each line.

#include "actions/builders.h"
#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "player/decision.h"
#include "player/skills.h"
#include "runtime/program.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vorn;
using namespace vorntest;

using Queue = std::vector<std::string>;

namespace {

class Decisions : public AgentTest {
  protected:
    void SetUp() override {
        AgentTest::SetUp();
        Turn = 200;
        Stamina = 3500;
        TimeSlot = 3;
        for (int i = 0; i < TeamSize; i++)
            TeamPlayer[i]->time = OppPlayer[i]->time = 10; // nobody recent
        ball(20, 0);
    }
    void ball(float distance, int direction) {
        Ball->time = Turn;
        Ball->distance = distance;
        Ball->direction = direction;
    }
    // A recent team-mate 1 m from the ball, so that the agent is not the closest.
    void mateatball() {
        *static_cast<Obs *>(TeamPlayer[1]) = {Turn, Ball->distance - 1, Ball->direction};
    }
};

} // namespace

// The distance is a float widened to double: 1.085f lies just beyond the reach of 1.085.
TEST_F(Decisions, KicksWithinReachOnly) {
    const Queue kick = {"(kick 100 40)"}, run = {"(dash 100)", "NOP", "NOP", "(dash 100)"};
    for (auto [distance, queue] : {std::pair{1.0f, kick}, {1.085f, run}, {1.1f, run}}) {
        new_list();
        ball(distance, 0);
        AttackAngle = 40;
        decisionmaker();
        EXPECT_EQ(queued(), queue) << distance;
    }
}

TEST_F(Decisions, NothingWhileAManoeuvreIsQueuedAndOnlyTheSearchWithoutBall) {
    ForceMove = 1;
    ball(1.0f, 0);
    decisionmaker();
    EXPECT_TRUE(queued().empty());
    ForceMove = 0;
    Ball->time = Turn - 1;
    decisionmaker();
    EXPECT_EQ(queued(), Queue{"(turn 90)"});
}

TEST_F(Decisions, EndsAtTheEndOfTheMatch) {
    Turn = 5999;
    decisionmaker(); // decides as usual
    EXPECT_FALSE(queued().empty());
    for (int end : {6000, 6001}) {
        Turn = end;
        EXPECT_EXIT(decisionmaker(), ::testing::ExitedWithCode(0), "") << end;
    }
}

// The lines when a team-mate is nearer to the ball. F = 0 and B = -180 (TopAngle -90, left
// side) unless the case says otherwise; the ball holder comes from a recent record near it.
TEST_F(Decisions, EachLineKeepsItsPosition) {
    struct Case {
        int number;
        int topangle;
        int holder; // 0 nobody, 1 a team-mate, 2 an opponent within 1.6 m of the ball
        int balldirection;
        Queue queue;
    } cases[] = {
        {3, -90, 0, 50, {"(turn 0)", "NOP", "NOP", "(dash 100)"}},
        {3, -90, 0, 80, {}}, // between the forward 80 and backward windows
        {4, -90, 2, 85, {"(turn 0)", "NOP", "NOP", "(dash 10)"}},
        {2, -90, 2, -95, {"(turn -180)", "NOP", "NOP", "(dash 10)"}},
        {6, -90, 1, 85, {}},
        {6, -90, 1, 60, {"(turn 0)", "NOP", "NOP", "(dash 50)"}},
        {5, -90, 0, 60, {"(turn 0)", "NOP", "NOP", "(dash 10)"}},
        {7, -90, 2, -100, {"(turn -180)", "NOP", "NOP", "(dash 10)"}},
        {9, -90, 0, -95, {"(turn -180)", "NOP", "NOP", "(dash 100)"}},
        {9, -90, 2, 10, {"(turn 0)", "NOP", "NOP", "(dash 10)"}},
        {11, -90, 1, -90, {"(turn -180)", "NOP", "NOP", "(dash 100)"}},
        {1, -90, 0, 10, {}}, // no line
        {12, -90, 0, 10, {}},
        // The windows do not wrap: F = 170 leaves a ball at -170 outside every window.
        {3, 80, 0, -170, {}},
    };
    for (const Case &c : cases) {
        new_list();
        ForceMove = 0;
        AgentNumber = c.number;
        TopAngle = c.topangle;
        ball(20, c.balldirection);
        mateatball();
        if (c.holder != 1)
            TeamPlayer[1]->distance = 15; // recent, 5 m from the ball: nearer, not holding
        if (c.holder == 2)
            *static_cast<Obs *>(OppPlayer[0]) = {Turn, 19, c.balldirection};
        decisionmaker();
        EXPECT_EQ(queued(), c.queue)
            << "player " << c.number << ", ball at " << c.balldirection << ", holder " << c.holder;
        EXPECT_EQ(ForceMove, c.queue.empty() ? 0 : 1);
    }
}

// The front line's two moves in one call: the turn toward F leaves the ball in the backward
// window, so a second move follows.
TEST_F(Decisions, TheSecondTestSeesTheBallFromTheNewFacing) {
    AgentNumber = 2;
    TopAngle = 170; // F = -100, B = 80
    TimeSlot = 2;
    ball(20, -50);
    mateatball();
    TeamPlayer[1]->distance = 15;
    EXPECT_EQ(movebehavior(), 0);
    EXPECT_EQ(queued(), (Queue{"NOP", "(turn -100)", "NOP", "NOP", "(dash 100)", "NOP", "(turn 80)",
                               "NOP", "NOP", "(dash 100)"}));
    EXPECT_EQ(Ball->direction, -30);
}

TEST_F(Decisions, BallHolderPrefersTeamMates) {
    ball(20, 0);
    *static_cast<Obs *>(TeamPlayer[5]) = {Turn - 10, 21.6f, 0}; // 1.6 m, recent
    *static_cast<Obs *>(OppPlayer[5]) = {Turn, 20.5f, 0};
    AgentNumber = 12; // no line: only the value
    EXPECT_EQ(movebehavior(), 1);
    TeamPlayer[5]->time = Turn - 11;
    EXPECT_EQ(movebehavior(), 2);
    OppPlayer[5]->distance = 21.7f;
    EXPECT_EQ(movebehavior(), 0);
}
