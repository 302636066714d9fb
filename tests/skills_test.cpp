// The ball skills shared by both programs, and the field player's kick.

#include "actions/builders.h"
#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "player/skills.h"
#include "runtime/program.h"
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

class Skills : public AgentTest {
  protected:
    void SetUp() override {
        AgentTest::SetUp();
        Turn = 100;
        for (int i = 0; i < TeamSize; i++)
            TeamPlayer[i]->time = OppPlayer[i]->time = 50; // nobody recent
    }
    void ball(float distance, int direction) {
        Ball->time = Turn;
        Ball->distance = distance;
        Ball->direction = direction;
    }
    static void place(ExtObs *p, int time, float distance, int direction) {
        p->time = time;
        p->distance = distance;
        p->direction = direction;
    }
};

} // namespace

TEST_F(Skills, FindballSearchesTowardTheLatestKick) {
    ball(5, 120);
    GuessBall = -40;
    EXPECT_EQ(findball(), 1);
    EXPECT_EQ(GuessBall, 0);
    EXPECT_TRUE(queued().empty());

    Ball->time = Turn - 1;
    GuessBall = -40;
    TeamPlayer[0]->direction = -100;
    EXPECT_EQ(findball(), 0);
    EXPECT_EQ(queued(), Queue{"(turn -90)"});
    EXPECT_EQ(Ball->direction, -150); // 210 folded
    EXPECT_EQ(TeamPlayer[0]->direction, -10);

    new_list();
    GuessBall = 0;
    EXPECT_EQ(findball(), 0);
    EXPECT_EQ(queued(), Queue{"(turn 90)"});
}

TEST_F(Skills, GotoballRunsStraightOrTurnsFirst) {
    Stamina = 3500;
    struct Case {
        int direction;
        bool blocked; // an opponent 3 m away, 1 degree beside the ball
        int timeslot;
        Queue queue;
        int forcemove;
        int balldirection; // after the queued turn
    } cases[] = {
        {10, false, 3, {"(dash 100)", "NOP", "NOP", "(dash 100)"}, 0, 10},
        {-10, false, 2, {"NOP", "(dash 100)", "NOP", "NOP", "(dash 100)"}, 0, -10},
        {11, false, 3, {"(turn 11)", "NOP", "NOP", "(dash 100)"}, 1, 0},
        {40, false, 3, {"(turn 40)", "NOP", "NOP", "(dash 100)"}, 1, 0},
        {0, true, 3, {"(turn -25)", "NOP", "NOP", "(dash 100)"}, 1, 25},
        {-25, true, 3, {"(dash 100)", "NOP", "NOP", "(dash 100)"}, 0, -25},
        {20, true, 4, {"NOP", "NOP", "(dash 100)", "NOP", "NOP", "(dash 100)"}, 0, 20},
        {31, true, 3, {"(turn 6)", "NOP", "NOP", "(dash 100)"}, 1, 25},
    };
    for (const Case &c : cases) {
        new_list();
        ForceMove = 0;
        TimeSlot = c.timeslot;
        ball(10, c.direction);
        place(OppPlayer[4], c.blocked ? Turn : 50, 3, c.direction + 1);
        gotoball();
        EXPECT_EQ(queued(), c.queue) << "ball at " << c.direction;
        EXPECT_EQ(ForceMove, c.forcemove) << "ball at " << c.direction;
        EXPECT_EQ(Ball->direction, c.balldirection) << "ball at " << c.direction;
    }
}

TEST_F(Skills, PlayerbetweenHasStrictBoundsAndWantsRecentRecords) {
    struct Case {
        int time;
        float distance;
        int direction;
        int between;
    } cases[] = {
        {100, 4.9f, 15, 1}, {100, 4.9f, 20, 0}, {100, 4.9f, 0, 0}, {100, 4.9f, 1, 1},
        {100, 5.0f, 15, 0}, {90, 4.9f, 15, 1},  {89, 4.9f, 15, 0},
    };
    for (const Case &c : cases) {
        for (ExtObs **table : {OppPlayer, TeamPlayer}) {
            place(OppPlayer[2], 50, 4, 10);
            place(TeamPlayer[6], 50, 4, 10);
            place(table[table == OppPlayer ? 2 : 6], c.time, c.distance, c.direction);
            EXPECT_EQ(playerbetween(10, 8.0f), c.between)
                << (table == OppPlayer ? "opponent" : "team-mate") << " stamped " << c.time
                << " at " << c.distance << " m, " << c.direction << " degrees";
        }
    }
    place(OppPlayer[2], 100, 4.9f, 15);
    EXPECT_EQ(playerbetween(10, 4.9f), 0); // not nearer than the ball
}

TEST_F(Skills, ClosestBallAsksForARecentNearerTeamMate) {
    ball(10, 0);
    EXPECT_EQ(closest_ball(), 1);     // nobody recent
    place(TeamPlayer[4], 95, 12, 10); // 2.2 m from the ball, recent
    EXPECT_EQ(closest_ball(), 0);
    TeamPlayer[4]->time = 89;
    EXPECT_EQ(closest_ball(), 1);
    place(TeamPlayer[4], 100, 30, 0); // farther from the ball than the agent
    EXPECT_EQ(closest_ball(), 1);
    place(OppPlayer[4], 100, 10, 1); // opponents do not count
    EXPECT_EQ(closest_ball(), 1);
}

// Goal, both post flags, one post flag or nothing: the five targets, on both sides.
TEST_F(Skills, FieldPlayerShootsAtTheGoalByWhatItSees) {
    struct Case {
        int side;
        int goal, top, bottom; // directions; INT_MIN: not seen now
        int target;
    } cases[] = {
        {0, 7, -10, 20, 7},
        {0, INT_MIN, -10, 20, 5},
        {0, INT_MIN, -7, 0, -3},
        {0, INT_MIN, -10, INT_MIN, -5},
        {0, INT_MIN, INT_MIN, 20, 15},
        {0, INT_MIN, INT_MIN, INT_MIN, 33},
        {1, -7, 10, -20, -7},
        {1, INT_MIN, 10, -20, -5},
        {1, INT_MIN, 10, INT_MIN, 5},
        {1, INT_MIN, INT_MIN, -20, -15},
        {1, INT_MIN, INT_MIN, INT_MIN, 33},
    };
    for (const Case &c : cases) {
        new_list();
        AgentSide = c.side;
        AttackAngle = 33;
        TimeSlot = 3;
        Obs *goal = c.side == 0 ? GoalR : GoalL;
        Obs *top = c.side == 0 ? FlagGRT : FlagGLT;
        Obs *bottom = c.side == 0 ? FlagGRB : FlagGLB;
        for (auto [record, direction] :
             {std::pair{goal, c.goal}, std::pair{top, c.top}, std::pair{bottom, c.bottom}}) {
            record->time = direction == INT_MIN ? Turn - 1 : Turn;
            record->direction = direction == INT_MIN ? 99 : direction;
        }
        kickball();
        EXPECT_EQ(queued(), Queue{"(kick 100 " + std::to_string(c.target) + ")"})
            << "side " << c.side << " goal " << c.goal << " posts " << c.top << " " << c.bottom;
        EXPECT_EQ(GuessBall, c.target);
    }
}
