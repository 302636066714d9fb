// physics_test.cpp -- dash, turn, kick, catch and the one-body-command rule, stepped
// without noise so the formulas' exact amounts can be checked.

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

#include "pitch/command.h"
#include "pitch/physics.h"
#include "pitch/step.h"
#include "pitch/types.h"
#include "tests/pitch/fixture.h"

using namespace pitchtest;

TEST(Dash, FullPowerMovesSixTenthsAndCostsStamina) {
    int p = inplay();
    EXPECT_EQ(cmddash(p, 100, 0), Executed);
    simstep();
    EXPECT_NEAR(Players[p].x, 0.6, 1e-9);
    EXPECT_NEAR(Players[p].vx, 0.24, 1e-9);
    EXPECT_EQ(Players[p].stamina, 8000 - 100 + 45);
    EXPECT_NE(sensetext(p).find("(stamina 7945 1) (speed 0.24 0)"), std::string::npos)
        << sensetext(p);
    EXPECT_NE(sensetext(p).find("(dash 1)"), std::string::npos);
}

TEST(Dash, PowerIsClampedAndScaledByEffort) {
    int p = inplay();
    Players[p].effort = 0.8;
    cmddash(p, 250, 0);
    simstep();
    EXPECT_NEAR(Players[p].x, 0.8 * 100 * 0.006, 1e-9);
    int q = seat("A");
    place(q, 0, 10, 0);
    cmddash(q, -50, 0); // negative power is clamped to 0: no motion
    simstep();
    EXPECT_NEAR(Players[q].x, 0, 1e-9);
}

// With too little stamina (plus the extra 50) the legs share what is left unevenly: the
// left gets half, the right more (its share is computed against the left's reduced one),
// so the player runs a little faster than the stamina pays for and turns left, which
// shows as a velocity pointing right of the new body direction.
TEST(Dash, ExhaustedPlayerSplitsWhatIsLeftBetweenTheLegs) {
    const struct {
        double stamina;
        const char *want;
    } cases[] = {
        {50, "(stamina 44.91 0.995) (speed 0.24 0)"}, // pays all 100: straight on
        {40, "(stamina 44.91 0.995) (speed 0.22 2)"}, // 90: turned 2.7 degrees
        {20, "(stamina 44.91 0.995) (speed 0.18 7)"}, // 70: turned 7.1 degrees
    };
    for (const auto &c : cases) {
        int p = inplay();
        Players[p].stamina = c.stamina;
        cmddash(p, 100, 0);
        simstep();
        EXPECT_NE(sensetext(p).find(c.want), std::string::npos) << sensetext(p);
    }
}

TEST(Dash, BeforeKickOffCostsButDoesNotMove) {
    freshmatch();
    int p = seat("A");
    place(p, -10, 0, 0);
    cmddash(p, 100, 0);
    simstep();
    EXPECT_NEAR(Players[p].x, -10, 1e-9);
    EXPECT_EQ(Players[p].stamina, 7945);
    EXPECT_EQ(Players[p].dashes, 1);
}

TEST(Turn, TakesEffectAfterTheStep) {
    int p = inplay();
    cmdturn(p, 60);
    EXPECT_DOUBLE_EQ(Players[p].body, 0); // still the committed angle
    simstep();
    EXPECT_DOUBLE_EQ(Players[p].body, 60 * DegToRad);
}

TEST(Turn, SlowerWhenRunning) {
    int p = inplay();
    Players[p].vx = 0.5;
    cmdturn(p, 60);
    simstep();
    EXPECT_NEAR(Players[p].body, 60 * DegToRad / (1 + 5.0 * 0.5), 1e-12);
}

TEST(Turn, MomentIsClampedAndAngleNormalised) {
    int p = inplay();
    place(p, 0, 0, 170);
    cmdturn(p, 400);
    simstep();
    EXPECT_NEAR(Players[p].body, -10 * DegToRad, 1e-12); // 170 + 180 wraps to -10
}

TEST(TurnNeck, ClampedToNinetyAndOncePerCycle) {
    int p = inplay();
    EXPECT_EQ(cmdturnneck(p, 120), Executed);
    EXPECT_EQ(cmdturnneck(p, -30), IgnoredSecond);
    simstep();
    EXPECT_DOUBLE_EQ(Players[p].neck, 90 * DegToRad);
    EXPECT_NE(sensetext(p).find("(head_angle 90)"), std::string::npos);
    EXPECT_EQ(Players[p].necks, 1);
}

TEST(Kick, PowerFallsWithDistanceAndAngle) {
    int p = inplay();
    placeball(0.5, 0);
    double gap = 0.5 - 0.385;
    double expect = 100 * 0.027 * (1 - 0.25 * gap / 0.7);
    EXPECT_NEAR(kickpower(Players[p], 100), expect, 1e-12);
    placeball(0, -0.5); // 90 degrees to the side
    EXPECT_NEAR(kickpower(Players[p], 100), 100 * 0.027 * (1 - 0.125 - 0.25 * gap / 0.7), 1e-12);
}

TEST(Kick, BallAcceleratesAlongBodyPlusDirection) {
    int p = inplay();
    placeball(0.5, 0);
    double a = kickpower(Players[p], 100);
    EXPECT_EQ(cmdkick(p, 100, 90), Executed);
    simstep();
    EXPECT_NEAR(TheBall.x, 0.5, 1e-9);
    EXPECT_NEAR(TheBall.y, a, 1e-9);
    EXPECT_NEAR(TheBall.vy, a * 0.94, 1e-9);
    EXPECT_EQ(Players[p].kicks, 1);
}

TEST(Kick, OutOfReachStillUsesTheBodyCommand) {
    int p = inplay();
    placeball(1.2, 0); // kickable area ends at 1.085
    EXPECT_EQ(cmdkick(p, 100, 0), Executed);
    EXPECT_EQ(cmddash(p, 100, 0), IgnoredSecond);
    simstep();
    EXPECT_EQ(Players[p].kicks, 0);
    EXPECT_NEAR(TheBall.x, 1.2, 1e-9);
    EXPECT_NEAR(Players[p].x, 0, 1e-9);
}

TEST(BodyCommand, OnlyTheFirstOfACycleCounts) {
    int p = inplay();
    EXPECT_EQ(cmddash(p, 100, 0), Executed);
    EXPECT_EQ(cmddash(p, 100, 0), IgnoredSecond);
    EXPECT_EQ(cmdturn(p, 90), IgnoredSecond);
    simstep();
    EXPECT_NEAR(Players[p].x, 0.6, 1e-9);
    EXPECT_DOUBLE_EQ(Players[p].body, 0);
    EXPECT_EQ(Players[p].dashes, 1);
    EXPECT_EQ(Players[p].turns, 0);
    EXPECT_EQ(cmdturn(p, 90), Executed); // the next cycle has a new slot
}

TEST(BodyCommand, ForbiddenMoveDoesNotUseTheSlot) {
    int p = inplay();
    EXPECT_EQ(cmdmove(p, -20, 0), IgnoredMode);
    EXPECT_NEAR(Players[p].x, 0, 1e-9);
    EXPECT_EQ(cmddash(p, 100, 0), Executed);
}

TEST(BodyCommand, CountedFromTheTextOfADatagram) {
    int p = inplay();
    runcommands(p, "(turn 30)(dash 100)(turn_neck 10)", 34, 0);
    simstep();
    EXPECT_DOUBLE_EQ(Players[p].body, 30 * DegToRad);
    EXPECT_NEAR(Players[p].x, 0, 1e-9);
    EXPECT_DOUBLE_EQ(Players[p].neck, 10 * DegToRad);
    EXPECT_EQ(multibodycycles(p), 1);
    notestep(); // a move in play_on uses no body slot, so the dash after it is the first
    runcommands(p, "(move -5 0)(dash 100)", 21, 0);
    EXPECT_EQ(multibodycycles(p), 1);
    EXPECT_EQ(Players[p].dashes, 1);
}

TEST(Move, BeforeKickOffPlacesInOwnFrame) {
    freshmatch();
    int l = seat("A"), r = seat("B");
    EXPECT_EQ(cmdmove(l, -20, 5), Executed);
    EXPECT_EQ(cmdmove(r, -20, 5), Executed);
    EXPECT_DOUBLE_EQ(Players[l].x, -20);
    EXPECT_DOUBLE_EQ(Players[l].y, 5);
    EXPECT_DOUBLE_EQ(Players[r].x, 20); // the right side's frame is turned around
    EXPECT_DOUBLE_EQ(Players[r].y, -5);
}

// catcher: a left goalie at (-50, 0) facing +x in play_on.
static int catcher() {
    freshmatch();
    int g = seat("A", true);
    seat("B");
    place(g, -50, 0, 0);
    changemode(ModePlayOn, 0);
    return g;
}

TEST(Catch, InsideTheRectangleHoldsTheBall) {
    int g = catcher();
    placeball(-48.9, 0.45); // 1.1 ahead, 0.45 aside: inside 1.2 x 1.0
    cmdcatch(g, 0);
    EXPECT_EQ(TheBall.holder, g);
    EXPECT_NEAR(std::hypot(TheBall.x - Players[g].x, TheBall.y - Players[g].y), 0.385, 1e-9);
    EXPECT_EQ(CallCount, 3); // play_on, goalie_catch_ball_l, free_kick_l
    EXPECT_STREQ(CallLog[1], "goalie_catch_ball_l");
    EXPECT_STREQ(CallLog[2], "free_kick_l");
    EXPECT_EQ(Mode, ModeFreeKick);
}

TEST(Catch, OutsideTheRectangleMisses) {
    int g = catcher();
    placeball(-48.7, 0); // 1.3 ahead
    cmdcatch(g, 0);
    EXPECT_EQ(TheBall.holder, -1);
    EXPECT_EQ(Players[g].catchban, 5);
    g = catcher();
    placeball(-49.5, 0.6); // 0.6 aside
    cmdcatch(g, 0);
    EXPECT_EQ(TheBall.holder, -1);
    g = catcher();
    placeball(-50.5, 0); // behind
    cmdcatch(g, 0);
    EXPECT_EQ(TheBall.holder, -1);
    EXPECT_EQ(Mode, ModePlayOn);
}

TEST(Catch, DirectionTurnsTheRectangle) {
    int g = catcher();
    placeball(-50, 1.0); // straight to the goalie's right
    cmdcatch(g, 90);
    EXPECT_EQ(TheBall.holder, g);
    EXPECT_DOUBLE_EQ(Players[g].nextbody, 90 * DegToRad); // faces the ball from the next step
}

TEST(Catch, BanLastsFiveCycles) {
    int g = catcher();
    placeball(-40, 0);
    cmdcatch(g, 0); // misses, starts the ban
    for (int i = 0; i < 4; i++) {
        simstep();
        placeball(-49, 0);
        cmdcatch(g, 0);
        EXPECT_EQ(TheBall.holder, -1) << "cycle " << i;
    }
    simstep();
    placeball(-49, 0);
    cmdcatch(g, 0);
    EXPECT_EQ(TheBall.holder, g);
}

TEST(Catch, OnlyTheGoalieCatches) {
    freshmatch();
    int p = seat("A");
    place(p, -50, 0, 0);
    changemode(ModePlayOn, 0);
    placeball(-49, 0);
    cmdcatch(p, 0);
    EXPECT_EQ(TheBall.holder, -1);
}

// The catch is announced, then the fault, in the same instant. The clock stands for 30
// steps; in the last five the offenders are cleared from the ball.
TEST(Catch, OutsideThePenaltyAreaIsAFault) {
    int g = catcher();
    int mate = seat("A");
    place(g, -30, 0, 0);
    place(mate, -27, 0, 0);
    placeball(-29, 0);
    cmdcatch(g, 0);
    EXPECT_EQ(calls(3), "play_on goalie_catch_ball_l catch_fault_l");
    int t = Time;
    for (int i = 0; i < 25; i++)
        simstep();
    EXPECT_NEAR(Players[mate].x, -27, 1e-9);
    for (int i = 0; i < 5; i++)
        simstep();
    EXPECT_NEAR(std::hypot(Players[mate].x + 29, Players[mate].y), 9.15 + 0.3 + 1e-5, 1e-9);
    EXPECT_EQ(Time, t); // the clock stands during the pause
    simstep();
    EXPECT_EQ(Time, t + 1);
    EXPECT_TRUE(lastcall("free_kick_r"));
}

TEST(Collision, PlayersArePushedApart) {
    int p = inplay();
    int q = seat("B");
    place(q, 0.4, 0, 180);
    simstep();
    EXPECT_GE(std::hypot(Players[p].x - Players[q].x, Players[p].y - Players[q].y), 0.6 - 1e-6);
}

TEST(Stamina, EffortFallsWhenTired) {
    int p = inplay();
    Players[p].stamina = 2000;
    simstep();
    EXPECT_NEAR(Players[p].effort, 1 - 0.005, 1e-12);
    EXPECT_NEAR(Players[p].recovery, 1 - 0.002, 1e-12);
    EXPECT_NEAR(Players[p].stamina, 2000 + 0.998 * 45, 1e-9);
}

TEST(Catch, CarryingTheBallOutOfTheAreaIsAFault) {
    int g = catcher();
    place(g, -37, 0, 0);
    placeball(-36.2, 0); // inside the area widened by a ball radius (x <= -35.915)
    cmdcatch(g, 0);
    ASSERT_EQ(TheBall.holder, g);
    ASSERT_TRUE(lastcall("free_kick_l"));
    simstep();
    cmddash(g, 100, 0); // 0.6 m forward takes the held ball to x = -35.6
    simstep();
    EXPECT_TRUE(lastcall("catch_fault_l"));
    EXPECT_EQ(TheBall.holder, -1);
}

// The held ball is put in front of the goalie by the step, not by the move: a see
// between the two still shows it where he caught it.
TEST(Catch, HoldingGoalieMovesTwiceAndTheBallFollowsInTheStep) {
    int g = catcher();
    placeball(-49, 0);
    cmdcatch(g, 0);
    ASSERT_EQ(TheBall.holder, g);
    simstep();
    EXPECT_EQ(cmdmove(g, -52, -1), Executed);
    std::string before = seetext(g);
    EXPECT_NE(before.find("((b) 3.3 18 0 0)"), std::string::npos) << before;
    simstep();
    std::string after = seetext(g);
    EXPECT_NE(after.find("((b) 0.4 0 0 0)"), std::string::npos) << after;
    EXPECT_EQ(cmdmove(g, -45, 5), Executed);
    simstep();
    EXPECT_EQ(cmdmove(g, -46, 0), IgnoredMode); // a third move is refused
    EXPECT_DOUBLE_EQ(Players[g].y, 5);
}

TEST(Kick, NobodyKicksTheBallOutOfTheGoaliesHands) {
    int g = catcher();
    int r = slotof(-1, 1);
    placeball(-49, 0);
    cmdcatch(g, 0);
    ASSERT_EQ(TheBall.holder, g);
    place(r, -49.2, 0.8, -90); // (the referee would push him away at the next step)
    ASSERT_TRUE(kickable(Players[r]));
    cmdkick(r, 100, 0);
    EXPECT_EQ(TheBall.holder, g);
    EXPECT_EQ(Players[r].kicks, 0);
}

// With player types asked for, the first kick-off hands them out: per team the goalie
// (or the first player) keeps the default, the others get types 1, 2, ... in uniform
// order, each varied within the real server's ranges; a dash then follows the type.
TEST(Types, HandedOutAtTheFirstKickOffOnlyWhenAskedFor) {
    for (bool asked : {false, true}) {
        freshmatch();
        Opt.playertypes = asked;
        if (asked)
            maketypes();
        int a1 = seat("A"), a2 = seat("A", true), a3 = seat("A"), b1 = seat("B"), b2 = seat("B");
        startkickoff(1);
        const int want[5] = {asked ? 1 : 0, 0, asked ? 2 : 0, 0, asked ? 1 : 0};
        const int got[5] = {Players[a1].type, Players[a2].type, Players[a3].type, Players[b1].type,
                            Players[b2].type};
        EXPECT_TRUE(std::equal(want, want + 5, got)) << asked;
        const PlayerType &t = ptype(Players[a1]);
        place(a1, -10, 0, 0);
        changemode(ModePlayOn, 0);
        cmddash(a1, 100, 0);
        simstep();
        EXPECT_NEAR(Players[a1].x, -10 + 100 * t.dashrate * t.effortmax, 1e-9);
    }
    for (int i = 1; i < PlayerTypeCount; i++) {
        const PlayerType &t = Types[i];
        EXPECT_NE(t.decay, Types[0].decay);
        EXPECT_NEAR(t.inertia - 5, 25 * (t.decay - 0.4), 1e-9);
        EXPECT_TRUE(t.dashrate >= 0.0048 && t.dashrate <= 0.0068) << t.dashrate;
        EXPECT_TRUE(t.kickmargin >= 0.6 && t.kickmargin <= 0.8) << t.kickmargin;
        EXPECT_TRUE(t.extrastamina >= 50 && t.extrastamina <= 100) << t.extrastamina;
        EXPECT_TRUE(topspeed(t) >= 0.75 && topspeed(t) <= 1.05) << topspeed(t);
    }
}
