// referee_test.cpp -- goals, balls out of play, set plays and the clock: the referee's
// words and where it puts the ball.

#include <cmath>
#include <gtest/gtest.h>

#include "pitch/command.h"
#include "pitch/step.h"
#include "tests/pitch/fixture.h"

using namespace pitchtest;

// twoteams: a left player 2 m behind the ball's path and a right one, in play_on.
struct Teams {
    int l, r;
};

static Teams twoteams() {
    freshmatch();
    Teams t{seat("A"), seat("B")};
    place(t.l, -20, 20, 0);
    place(t.r, 20, -20, 180);
    changemode(ModePlayOn, 0);
    return t;
}

TEST(Goal, BallBetweenThePostsScoresAndPausesTheClock) {
    Teams t = twoteams();
    placeball(51.5, 2, 1.5, 0);
    LastToucher = t.l;
    int before = Time;
    simstep();
    EXPECT_TRUE(lastcall("goal_l_1"));
    EXPECT_EQ(Score[0], 1);
    EXPECT_EQ(Mode, ModeGoal);
    for (int i = 0; i < 50; i++)
        simstep();
    EXPECT_EQ(Time, before + 1); // only the step that scored counted
    EXPECT_EQ(Mode, ModeGoal);
    simstep(); // the 51st step after the goal
    EXPECT_EQ(Time, before + 2);
    EXPECT_TRUE(lastcall("kick_off_r"));
    EXPECT_DOUBLE_EQ(TheBall.x, 0);
    EXPECT_DOUBLE_EQ(TheBall.y, 0);
}

TEST(Goal, TheBareGoalWordIsNeverAnnounced) {
    Teams t = twoteams();
    placeball(-51.5, 0, -1.5, 0);
    LastToucher = t.r;
    simstep();
    for (int i = 0; i < CallCount; i++)
        EXPECT_STRNE(CallLog[i], "goal_r");
    EXPECT_TRUE(lastcall("goal_r_1"));
}

TEST(Goal, WideOfThePostIsNotAGoal) {
    Teams t = twoteams();
    placeball(52.3, 7.5, 1.0, 0);
    LastToucher = t.l; // attackers last: goal kick for the defenders
    simstep();
    EXPECT_EQ(Score[0], 0);
    EXPECT_TRUE(lastcall("goal_kick_r"));
    EXPECT_DOUBLE_EQ(TheBall.x, 47);
    EXPECT_DOUBLE_EQ(TheBall.y, 9.16);
}

TEST(OutOfPlay, DefenderLastGivesACorner) {
    Teams t = twoteams();
    placeball(52.3, -15, 1.0, 0);
    LastToucher = t.r;
    simstep();
    EXPECT_TRUE(lastcall("corner_kick_l"));
    EXPECT_DOUBLE_EQ(TheBall.x, 51.5);
    EXPECT_DOUBLE_EQ(TheBall.y, -33);
}

TEST(OutOfPlay, CornerAtTheLeftEndOnTheBottomSide) {
    Teams t = twoteams();
    placeball(-52.3, 25, -1.0, 0);
    LastToucher = t.l;
    simstep();
    EXPECT_TRUE(lastcall("corner_kick_r"));
    EXPECT_DOUBLE_EQ(TheBall.x, -51.5);
    EXPECT_DOUBLE_EQ(TheBall.y, 33);
}

TEST(OutOfPlay, TouchLineGivesAKickInToTheOtherSide) {
    Teams t = twoteams();
    placeball(10, 33.5, 0.2, 1.0);
    LastToucher = t.l;
    simstep();
    EXPECT_TRUE(lastcall("kick_in_r"));
    EXPECT_NEAR(TheBall.x, 10.2, 1e-9);
    EXPECT_DOUBLE_EQ(TheBall.y, 34);
    EXPECT_DOUBLE_EQ(TheBall.vx, 0);
}

TEST(OutOfPlay, UntouchedBallOverTheLineIsDropped) {
    twoteams();
    placeball(10, -33.5, 0, -1.0);
    simstep();
    EXPECT_STREQ(CallLog[CallCount - 2], "drop_ball");
    EXPECT_TRUE(lastcall("play_on"));
    EXPECT_DOUBLE_EQ(TheBall.y, -34);
}

TEST(OutOfPlay, BallOnTheLineIsStillIn) {
    Teams t = twoteams();
    placeball(10, 34.08, 0, 0); // within a ball radius of the line
    LastToucher = t.l;
    simstep();
    EXPECT_EQ(Mode, ModePlayOn);
}

TEST(SetPlay, KickInKeepsOpponentsAwayAndEndsWithAKick) {
    Teams t = twoteams();
    place(t.l, 12, 30, 0);
    place(t.r, 10, 32, 90);
    placeball(10, 33.5, 0, 1.0);
    LastToucher = t.l;
    simstep();
    ASSERT_EQ(Mode, ModeKickIn);
    ASSERT_EQ(ModeSide, -1);
    EXPECT_GE(std::hypot(Players[t.l].x - 10, Players[t.l].y - 34), 9.45 - 1e-9);
    place(t.r, 10, 33.2, 90);
    cmdkick(t.r, 50, 180);
    EXPECT_TRUE(lastcall("play_on"));
}

TEST(SetPlay, GoalKickEndsWhenTheBallLeavesTheArea) {
    Teams t = twoteams();
    placeball(52.3, 15, 1.0, 0);
    LastToucher = t.l;
    simstep();
    ASSERT_TRUE(lastcall("goal_kick_r"));
    place(t.r, 47.5, 9.16, 180);
    cmdkick(t.r, 100, 0);
    EXPECT_EQ(Mode, ModeGoalKick); // the kick alone does not end it
    for (int i = 0; i < 20 && Mode == ModeGoalKick; i++)
        simstep();
    EXPECT_TRUE(lastcall("play_on"));
    EXPECT_LT(TheBall.x, 36);
}

TEST(SetPlay, UntakenSetPlayBecomesADropBall) {
    Teams t = twoteams();
    placeball(0, 33.5, 0, 1.0);
    LastToucher = t.l;
    simstep();
    ASSERT_TRUE(lastcall("kick_in_r"));
    for (int i = 0; i < 100; i++)
        simstep();
    EXPECT_TRUE(lastcall("play_on"));
    EXPECT_STREQ(CallLog[CallCount - 2], "drop_ball");
}

TEST(KickOff, AfterTheExpectedPlayersAndAGrace) {
    freshmatch();
    Opt.waitplayers = 2;
    int l = seat("A");
    simstep();
    EXPECT_EQ(Mode, ModeBeforeKickOff);
    int r = seat("B");
    LastJoinStep = StepCount;
    for (int i = 0; i < KickOffGrace - 1; i++)
        simstep();
    EXPECT_EQ(Mode, ModeBeforeKickOff);
    simstep();
    EXPECT_TRUE(lastcall("kick_off_l"));
    EXPECT_EQ(Time, 0);
    simstep();
    EXPECT_EQ(Time, 1);
    (void)l;
    (void)r;
}

TEST(KickOff, OpponentsArePushedOutOfTheCentreCircle) {
    freshmatch();
    seat("A");
    int r = seat("B");
    cmdmove(r, -5, 5); // own frame: world (5, -5), inside the circle
    simstep();
    // onto the circle's edge, then a hair beyond it as from the ball at any restart
    EXPECT_NEAR(Players[r].x, 9.45001 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(Players[r].y, -9.45001 / std::sqrt(2.0), 1e-9);
    EXPECT_DOUBLE_EQ(Players[r].body, 0);
}

TEST(KickOff, PlayersInTheOtherHalfAreSentHome) {
    freshmatch();
    int l = seat("A");
    cmdmove(l, 10, 3); // own frame x > 0: the opponents' half
    simstep();
    EXPECT_LE(Players[l].x, 0);
    EXPECT_GE(Players[l].x, -52.5);
}

TEST(Clock, HalfTimeThenSecondKickOffToTheRight) {
    Teams t = twoteams();
    Opt.cycles = 40;
    placeball(0, 0);
    for (int i = 0; i < 20; i++)
        simstep();
    EXPECT_EQ(Time, 20);
    EXPECT_TRUE(lastcall("before_kick_off"));
    EXPECT_STREQ(CallLog[CallCount - 2], "half_time");
    for (int i = 0; i < 100; i++)
        simstep();
    EXPECT_TRUE(lastcall("kick_off_r"));
    EXPECT_EQ(Time, 20);
    for (int i = 0; i < 20; i++)
        simstep();
    EXPECT_EQ(Time, 40);
    EXPECT_TRUE(lastcall("time_over"));
    EXPECT_STREQ(CallLog[CallCount - 2], "time_up");
    simstep();
    EXPECT_EQ(Time, 40);
    (void)t;
}

TEST(Clock, OneTeamAloneEndsWithoutATeam) {
    freshmatch();
    seat("A");
    Opt.cycles = 1;
    changemode(ModePlayOn, 0);
    simstep();
    EXPECT_STREQ(CallLog[CallCount - 2], "time_up_without_a_team");
}
