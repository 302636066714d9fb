// The goalie: its position estimate and ball codes, the catch and the kick-out, the two ways
// it keeps its place, and the end of the match.

#include "actions/queue.h"
#include "goalie/decision.h"
#include "goalie/estimate.h"
#include "goalie/moves.h"
#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "perception/referee.h"
#include "player/skills.h"
#include "runtime/program.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

using namespace vorn;
using namespace vorntest;

using Queue = std::vector<std::string>;

namespace {

class Goalie : public AgentTest {
  protected:
    void SetUp() override {
        AgentTest::SetUp();
        AgentNumber = 1;
        Turn = 100;
        TimeSlot = 3;
        AttackAngle = 0;
        strcpy(Eventtype, "play_on");
        for (int i = 0; i < TeamSize; i++)
            TeamPlayer[i]->time = OppPlayer[i]->time = 50; // nobody recent
    }
    void ball(float distance, int direction, int time) {
        Ball->distance = distance;
        Ball->direction = direction;
        Ball->time = time;
    }
    void at(int side, double x, double y) {
        AgentSide = side;
        golie_x = x;
        golie_y = y;
    }
};

// The four flags of the estimate, where the goalie's frame has them.
struct Landmark {
    Obs **flag[2]; // left side, right side
    double x, y;
};
const Landmark Landmarks[] = {
    {{&FlagCT, &FlagCT}, 0, -34},
    {{&FlagCB, &FlagCB}, 0, 34},
    {{&FlagLT, &FlagRT}, -54, -34},
    {{&FlagLB, &FlagRB}, -54, 34},
};

// Shows a landmark to a goalie at (x, y) of its frame whose body points h degrees from the
// frame's x axis, as the server would: distance, and the direction to the nearest degree. On
// the right side the frame is the field's mirror image, so directions there run the other
// way. The attack direction is the frame's x axis.
void show(const Landmark &l, int side, double x, double y, int h) {
    double bearing = std::atan2(l.y - y, l.x - x) * 180 / M_PI;
    double direction = std::remainder(side == 0 ? bearing - h : h - bearing, 360.0);
    Obs *flag = *l.flag[side];
    flag->time = Turn;
    flag->distance = static_cast<float>(std::hypot(l.x - x, l.y - y));
    flag->direction = static_cast<int>(std::lround(direction));
    AttackAngle = side == 0 ? -h : h;
}

} // namespace

// Each subset of the four flags seen at once, each flag as if seen from a place of its own:
// the estimate is the place of the most preferred flag seen, or the old one when none was.
// The direction is known to a degree only, so the place is good to about 1% of the distance.
TEST_F(Goalie, EstimateTakesTheMostPreferredFlagSeen) {
    const double places[4][2] = {{-50, 2}, {-49, -3}, {-45, 10}, {-52, -8}};
    for (int side : {0, 1})
        for (int h : {0, 25, -140})
            for (int seen = 0; seen < 16; seen++) {
                initinfo();
                Turn = 100;
                at(side, 7, 7);
                int best = -1;
                for (int i = 0; i < 4; i++)
                    if (seen & (1 << i)) {
                        show(Landmarks[i], side, places[i][0], places[i][1], h);
                        best = i;
                    }
                Capture console;
                golieinfo();
                console.take();
                double x = best < 0 ? 7 : places[best][0], y = best < 0 ? 7 : places[best][1];
                double tolerance =
                    best < 0 ? 0 : 0.01 * std::hypot(Landmarks[best].x - x, Landmarks[best].y - y);
                SCOPED_TRACE("side " + std::to_string(side) + " h " + std::to_string(h) +
                             " flags " + std::to_string(seen));
                EXPECT_NEAR(golie_x, x, tolerance);
                EXPECT_NEAR(golie_y, y, tolerance);
            }
}

TEST_F(Goalie, EstimatePrintsItsLineEveryCall) {
    Capture console;
    golieinfo(); // nothing seen yet: the start values
    at(0, -50.25, 3.5);
    golieinfo();
    EXPECT_EQ(console.take(),
              "golie_x=0.000000,gloie_y=0.000000\ngolie_x=-50.250000,gloie_y=3.500000\n");
}

TEST_F(Goalie, BallCodesAtTheirBounds) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float distance;
        int direction;
        const char *mode;
        double x; // golie_x
        int code;
    } cases[] = {
        {1.0f, 20, "play_on", 0, BallInHands}, // 0.94 ahead, 0.34 aside
        {1.0f, 40, "play_on", 0, BallAway},    // 0.64 aside
        {2.0f, 0, "play_on", 0, BallInHands},  // the far edge belongs to the rectangle
        {2.5f, 0, "play_on", 0, BallAway},
        {0.0f, 0, "play_on", 0, BallInHands}, // so does the near edge
        {0.5f, 89, "play_on", 0, BallInHands},
        {0.51f, 89, "play_on", 0, BallAway},
        {0.3f, 180, "play_on", 0, BallAway}, // behind
        {1.0f, 0, "goal_kick_", -45, BallNear},
        {1.0f, 0, "goal_kick_", -30, BallAway},
        {1.0f, 0, "kick_in_", -30, BallInHands},
        {10.0f, 0, "play_on", -40, BallAway},
        {10.0f, 0, "play_on", -49.5, BallNear},
        {15.0f, 0, "play_on", -45, BallAway},
        {15.0f, 0, "play_on", -50, BallComing},
        {20.0f, 0, "play_on", -48, BallAway},
        {29.9f, 0, "play_on", -50, BallComing},
        {30.0f, 0, "play_on", -50, BallAway},
        {nan, 0, "play_on", -50, BallAway},
        {inf, 0, "play_on", -50, BallAway},
    };
    Capture console;
    for (const Case &c : cases) {
        strcpy(Eventtype, c.mode);
        at(0, c.x, 0);
        ball(c.distance, c.direction, -1); // the ball's time is not looked at
        EXPECT_EQ(golieinfo(), c.code) << c.distance << " " << c.direction << " " << c.mode;
    }
}

// The catch, the hold and the kick-out, one decision each, on both sides. The estimate
// follows the move, so the kick-out turns toward the goal with no flag in view; its commands go
// behind the move that is still in the queue.
TEST_F(Goalie, CatchMoveAndKickOut) {
    for (int side : {0, 1}) {
        new_list();
        ForceMove = 0;
        at(side, -50, 0);
        Turn = 100;
        TimeSlot = 2;
        AttackAngle = 0;
        ball(1.0f, 10, Turn);
        decisionmaker();
        EXPECT_EQ(queued(), (Queue{"NOP", "(catch 10)"}));
        EXPECT_EQ(Getsituation, CatchQueued);

        new_list();
        Turn = 101;
        TimeSlot = 1;
        refereecall(side == 0 ? "goalie_catch_ball_l" : "goalie_catch_ball_r");
        ball(0.8f, 5, Turn);
        decisionmaker();
        EXPECT_EQ(queued(), (Queue{"(move -37 -19)", "NOP"}));
        EXPECT_EQ(Getsituation, BallHeld);
        EXPECT_EQ(ForceMove, 1);
        EXPECT_EQ(golie_y, side == 0 ? -19 : 19);

        Turn = 102;
        TimeSlot = 3;
        AttackAngle = 100;
        decisionmaker();
        Queue q = {"(move -37 -19)", "NOP", "(kick 100 100)", "(turn -135)", "NOP", "NOP"};
        for (int i = 0; i < 20; i++)
            q.insert(q.end(), {"NOP", "(dash 100)", "NOP"});
        EXPECT_EQ(queued(), q) << side;
        EXPECT_EQ(Getsituation, NormalPlay);
        EXPECT_EQ(ForceMove, 1);
        EXPECT_EQ(GuessBall, 100);
    }
}

// The decision after the catch was queued: a ball within a metre, seen now, is held once the
// referee has announced the catch for the goalie's side since it was queued, and kicked away
// when not; any other is missed, and the same decision goes on as usual.
TEST_F(Goalie, AfterTheCatchHeldOrMissed) {
    struct Case {
        float distance;
        bool seen;
        const char *call; // heard after the catch was queued; nullptr: none
        Queue queue;
        int state;
    } cases[] = {
        {0.8f, true, "goalie_catch_ball_l", {"(move -37 -19)", "NOP"}, BallHeld},
        {0.8f, true, "free_kick_l", {"(move -37 -19)", "NOP"}, BallHeld},
        {0.8f, true, nullptr, {"(kick 100 0)"}, NormalPlay}, // the catch missed: no call
        {0.8f, true, "catch_fault_l", {"(kick 100 0)"}, NormalPlay},
        {0.8f, true, "goalie_catch_ball_r", {"(kick 100 0)"}, NormalPlay}, // the other one's
        {1.0f, true, "free_kick_l", {"(catch 0)"}, CatchQueued},           // in the rectangle again
        {1.2f, true, "free_kick_l", {"(catch 0)"}, CatchQueued},
        {20.0f, true, "free_kick_l", {}, NormalPlay},            // following it needs no step
        {0.8f, false, "free_kick_l", {"(turn 90)"}, NormalPlay}, // the search turn
    };
    for (const Case &c : cases) {
        new_list();
        ForceMove = 0;
        GuessBall = 0;
        at(0, -50, 0);
        Getsituation = NormalPlay;
        AttackAngle = 0;
        Turn = 200;
        refereecall("play_on");
        ball(1.0f, 0, Turn);
        decisionmaker(); // queues the catch
        ASSERT_EQ(Getsituation, CatchQueued);
        new_list();
        Turn = 201;
        if (c.call != nullptr)
            refereecall(c.call);
        ball(c.distance, 0, c.seen ? Turn : Turn - 1);
        decisionmaker();
        std::string label = std::to_string(c.distance) + (c.seen ? " seen " : " unseen ") +
                            (c.call != nullptr ? c.call : "no call");
        EXPECT_EQ(queued(), c.queue) << label;
        EXPECT_EQ(Getsituation, c.state) << label;
    }
}

// The kick-out: the kick, a turn toward the goal when the goalie stands at the side of its
// penalty area (by the side of the field) in the three slots of a cycle, and the run of twenty
// dashes. Three copies of the turn would be carried out one a cycle, three times the angle.
TEST_F(Goalie, KickOutTurnsByTheSideOfTheArea) {
    struct Case {
        int side;
        double y;
        int attack;
        const char *turn; // nullptr: none
    } cases[] = {
        {0, -20, 100, "(turn -135)"}, // 225 folded
        {0, 0, 100, nullptr},
        {0, -15, 0, "(turn 125)"},
        {0, -14.9, 0, nullptr},
        {0, -25.1, 0, nullptr},
        {0, 20, 0, "(turn -125)"},
        {1, 19, 10, "(turn 135)"},
        {1, -19, 10, "(turn -115)"},
        {0, -19, INT_MAX, "(turn -2147483164)"}, // the sum wraps, then folds once
    };
    for (const Case &c : cases) {
        new_list();
        at(c.side, -37, c.y);
        AttackAngle = c.attack;
        Getsituation = BallHeld;
        ForceMove = 0;
        Capture console; // the builders' traces
        decisionmaker();
        Queue q = {"(kick 100 " + std::to_string(c.attack) + ")"};
        if (c.turn != nullptr)
            q.insert(q.end(), {c.turn, "NOP", "NOP"});
        for (int i = 0; i < 20; i++)
            q.insert(q.end(), {"NOP", "(dash 100)", "NOP"});
        EXPECT_EQ(queued(), q) << c.side << " " << c.y << " " << c.attack;
        EXPECT_EQ(Getsituation, NormalPlay);
        EXPECT_EQ(ForceMove, 1);
    }
}

// Holding the post: toward the middle of the goal at the right depth, else a step out or
// back. The step back faces the goal line and dashes forward: a dash backward would do
// nothing (the server takes powers of 0 to 100 only).
TEST_F(Goalie, MovestartHoldsThePost) {
    const Queue dash = {"NOP", "NOP", "(dash 100)"};
    auto turned = [&](const char *turn) {
        Queue q = {turn};
        q.insert(q.end(), dash.begin(), dash.end());
        return q;
    };
    struct Case {
        int side;
        double x, y;
        int attack;
        Queue queue;
        int guess; // GuessBall, 7 before
    } cases[] = {
        {0, -50, 3, 0, turned("(turn -90)"), 90},
        {0, -50, -3, 0, turned("(turn 90)"), -90},
        {1, -50, 3, 0, turned("(turn 90)"), -90},
        {1, -50, -3, 0, turned("(turn -90)"), 90},
        {0, -50, 0.5, 0, {}, 7},
        {0, -49, 1.0, 0, {}, 7},
        {0, -50, 3, 92, dash, 7}, // within 5 degrees: no turn
        {0, -55, 0, 3, dash, 7},
        {0, -51.5, 0, 30, turned("(turn 30)"), 7},
        {0, -45, 0, 20, turned("(turn -160)"), 7}, // back: toward the goal line
        {1, -45, 0, -178, dash, 7},
        {0, -45, 0, INT_MIN, turned("(turn -2147483108)"), 7}, // INT_MIN + 180, folded
    };
    for (const Case &c : cases) {
        new_list();
        ForceMove = 0;
        GuessBall = 7;
        at(c.side, c.x, c.y);
        AttackAngle = c.attack;
        Capture console;
        movestart();
        EXPECT_EQ(console.take().substr(0, 13), "movestart in\n");
        EXPECT_EQ(queued(), c.queue) << c.side << " " << c.x << " " << c.y << " " << c.attack;
        EXPECT_EQ(ForceMove, c.queue.empty() ? 0 : 1);
        EXPECT_EQ(GuessBall, c.guess);
    }
}

// Following the ball along the goal line. The second test reads the ball direction that the
// first step's turn has turned, against the attack direction as it was seen.
TEST_F(Goalie, MoveupdownFollowsTheBall) {
    const Queue dash = {"NOP", "NOP", "(dash 100)"};
    auto steps = [&](std::vector<const char *> turns) {
        Queue q;
        for (const char *t : turns) {
            if (t != nullptr)
                q.push_back(t);
            q.insert(q.end(), dash.begin(), dash.end());
        }
        return q;
    };
    struct Case {
        int side, attack, direction;
        double y;
        Queue queue;
        int guess;
        int after; // the stored ball direction afterwards
    } cases[] = {
        {0, 0, -30, 0, steps({"(turn -90)", "(turn 90)"}), -90, -30}, // 60 after the first
        {0, 0, 30, 0, steps({"(turn 90)"}), -90, -60},
        {0, 0, 5, 0, {}, -90, 5},
        {0, 0, -30, -4.5, {}, -90, -30},
        {0, 0, 30, 4.5, {}, -90, 30},
        {0, 95, 80, 0, steps({nullptr}), -90, 80}, // a step of 5 degrees: no turn
        {1, 0, 30, 0, steps({"(turn 90)", "(turn -90)"}), 90, 30},
        {1, 0, -30, 0, steps({"(turn -90)"}), 90, 60},
        // The difference, worked out in 64 bits, puts the ball toward the bottom.
        {0, INT_MIN, INT_MAX, 0, steps({"(turn -2147483558)"}), 90, -91},
    };
    for (const Case &c : cases) {
        new_list();
        ForceMove = 0;
        at(c.side, -50, c.y);
        AttackAngle = c.attack;
        ball(20, c.direction, Turn);
        Capture console;
        moveupdown();
        EXPECT_EQ(console.take().substr(0, 14), "moveupdown in\n");
        EXPECT_EQ(queued(), c.queue) << c.side << " " << c.attack << " " << c.direction;
        EXPECT_EQ(GuessBall, c.guess);
        EXPECT_EQ(Ball->direction, c.after);
    }
}

// Any numbers off the wire: nothing overflows (the sanitizer build checks).
TEST_F(Goalie, EstimateTakesAnyNumbers) {
    AttackAngle = INT_MAX;
    FlagLB->time = Turn;
    FlagLB->direction = INT_MIN;
    FlagLB->distance = 1e30f;
    ball(std::numeric_limits<float>::infinity(), INT_MIN, Turn);
    Capture console;
    EXPECT_EQ(golieinfo(), BallAway);
    EXPECT_TRUE(std::isfinite(golie_x) && std::isfinite(golie_y));
}

// The goalie ends itself at the last cycle exactly, closing its log and socket.
TEST_F(Goalie, EndsAtCycle6000Exactly) {
    ball(20, 0, -1);
    for (int turn : {5999, 6001}) {
        new_list();
        Turn = turn;
        decisionmaker();
        EXPECT_EQ(queued(), Queue{"(turn 90)"}) << turn; // played on: the ball search
    }
    Turn = 6000;
    EXPECT_EXIT(decisionmaker(), ::testing::ExitedWithCode(0), "");
}
