// offences_test.cpp -- offside, back passes, free-kick faults and the distances the
// referee clears players to: the words the players hear and where the ball goes.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

#include "pitch/command.h"
#include "pitch/offences.h"
#include "pitch/options.h"
#include "pitch/step.h"
#include "tests/pitch/fixture.h"

using namespace pitchtest;

// A pass from a left player to a team-mate, who then kicks the ball from the given
// distance (or, closer than a ball and player radius, just touches it in the next step).
// The right side defends with a goalie on its line and a second-last defender at x = 15.
TEST(Offside, CalledBeyondTheSecondLastOpponentNotLevelWithIt) {
    const struct {
        double passerx, receiverx, reach; // reach: the ball's distance when he kicks
        bool rule;                        // the offside rule switched on
        const char *want;                 // the last referee word
    } cases[] = {
        {0, 20, 0.5, true, "offside_l"}, // beyond the defender
        {0, 20, 0.2, true, "offside_l"}, // touches it
        {0, 15, 0.2, true, "play_on"},   // touches it level with him
        {0, 15, 0.5, true, "play_on"},   // level with him
        {0, 14, 0.5, true, "play_on"},   // behind him
        {25, 20, 0.5, true, "play_on"},  // beyond him but behind the ball
        {0, 20, 2.0, true, "offside_l"}, // tries to kick from within 2.5 m
        {0, 20, 3.0, true, "play_on"},   // too far to be active
        {0, 20, 0.5, false, "play_on"},  // --no-offside
    };
    for (const auto &c : cases) {
        freshmatch();
        Opt.offside = c.rule;
        int passer = seat("A"), receiver = seat("A"), keeper = seat("B", true), back = seat("B");
        place(passer, c.passerx, 0, 0);
        place(receiver, c.receiverx, 5, 180);
        place(keeper, 50, 0, 180);
        place(back, 15, -10, 180);
        changemode(ModePlayOn, 0);
        placeball(c.passerx + 0.5, 0);
        cmdkick(passer, 30, 0);
        simstep();
        placeball(c.receiverx - c.reach, 5); // the pass has arrived
        if (c.reach < 0.385)
            simstep();
        else
            cmdkick(receiver, 30, 0);
        EXPECT_TRUE(lastcall(c.want)) << c.receiverx << " " << c.reach << ": " << calls(2);
        if (Mode != ModeOffside)
            continue;
        // the free kick is taken where the line was, at his y, after a pause in which the
        // offenders are sent back behind the spot
        EXPECT_DOUBLE_EQ(TheBall.x, 15);
        EXPECT_DOUBLE_EQ(TheBall.y, 5);
        for (int i = 0; i < 31; i++)
            simstep();
        EXPECT_EQ(calls(2), "offside_l free_kick_r");
        EXPECT_LE(Players[receiver].x, 15 - 9.15 + 1e-9);
    }
}

// A goalie may not catch a kick of his own side that no opponent touched since; a kick
// and a catch in the same cycle are let go. The call is an indirect free kick for the
// other side, out of the goal area.
TEST(BackPass, GoalieCatchingATeamMatesKick) {
    const struct {
        bool mate;      // the team-mate kicked (else an opponent)
        bool samecycle; // the catch came in the cycle of the kick
        bool rule;      // the back-pass rule switched on
        const char *want;
        bool touched = false; // the opponent ran into the ball on its way
    } cases[] = {
        {true, false, true, "goalie_catch_ball_l back_pass_l"},
        {false, false, true, "goalie_catch_ball_l free_kick_l"},
        {true, true, true, "goalie_catch_ball_l free_kick_l"},
        {true, false, false, "goalie_catch_ball_l free_kick_l"},
        // a touch alone is no pass: the team-mate's kick still counts
        {true, false, true, "goalie_catch_ball_l back_pass_l", true},
    };
    for (const auto &c : cases) {
        freshmatch();
        Opt.backpass = c.rule;
        int g = seat("A", true), mate = seat("A"), opp = seat("B");
        place(g, -50, 0, 0);
        place(mate, -40, 0, 180);
        place(opp, -40, 15, 180);
        changemode(ModePlayOn, 0);
        int kicker = c.mate ? mate : opp;
        placeball(Players[kicker].x - 0.5, Players[kicker].y);
        cmdkick(kicker, 20, 0);
        if (!c.samecycle)
            simstep();
        if (c.touched) {
            placeball(Players[opp].x + 0.2, Players[opp].y);
            simstep();
        }
        placeball(-49, 0);
        cmdcatch(g, 0);
        EXPECT_EQ(calls(2), c.want) << c.mate << c.samecycle << c.rule;
    }
    freshmatch();
    int g = seat("A", true), mate = seat("A");
    seat("B");
    place(g, -50, 0, 0);
    place(mate, -40, 0, 180);
    changemode(ModePlayOn, 0);
    placeball(-40.5, 0);
    cmdkick(mate, 20, 0);
    simstep();
    placeball(-49, 0);
    cmdcatch(g, 0);
    EXPECT_DOUBLE_EQ(TheBall.x, -47 + 1e-10); // just out of the goal area
    for (int i = 0; i < 31; i++)
        simstep();
    EXPECT_TRUE(lastcall("indirect_free_kick_r"));
}

// Set plays as the real server plays them. The left taker (a goalie) at (tx, ty) has the
// ball at his feet, the right opponent at (ox, oy) runs at ovx; then the script: k kick,
// d dash, c catch, m the opponent moves, x he kicks the ball put at his feet, s step, o the
// ball over the left goal line, b / t the taker back at his spot with the ball at his feet
// / against him, r no free-kick-fault rule. Seen: the last calls (one unless more are
// asked for), the ball, the taker's kick count, the opponent's place and speed (kept when
// he is put out of the area at a goal kick, lost when he is cleared from the ball).
TEST(SetPlays, FaultsClearancesAndMovesAsTheRealServer) {
    const struct {
        int mode;
        double tx, ty, ox, oy, ovx;
        const char *script, *want;
        int ncalls = 1;
    } cases[] = {
        {ModeFreeKick, -10, 0, 20, 20, 0, "ksdsbk", "free_kick_fault_l -9.5 0 k2 20 20 v0"},
        {ModeFreeKick, -10, 0, 20, 20, 0, "kssbk", "play_on -9.5 0 k2 20 20 v0"},
        {ModeFreeKick, -10, 0, 20, 20, 0, "ksdxsbk", "play_on -9.5 0 k2 20 20 v0"},
        {ModeFreeKick, -10, 0, 20, 20, 0, "rksdsbk", "play_on -9.5 0 k2 20 20 v0"},
        {ModeFreeKick, -45.5, -5, 20, 20, 0, "ksdsbk", "free_kick_fault_l -36 -20.16 k2 20 20 v0"},
        // a taker who dashed and catches keeps the ball: his side's free kick, the clock on
        {ModeFreeKick, -45.5, 5, 20, 20, 0, "ksdsbc",
         "goalie_catch_ball_l free_kick_fault_l free_kick_l -36 20.16 k1 20 20 v0", 3},
        // ... but, touching the ball as he caught it, he went with it to where the fault put
        // it, and the next step carries it out of his area in his hands: a catch fault
        {ModeFreeKick, -45.5, 5, 20, 20, 0, "ksdsbcs",
         "catch_fault_l -35.8177 19.8327 k1 20 20 v0"},
        {ModeGoalKick, -47.5, 9.16, 20, 20, 0, "ksdsts", "free_kick_fault_l -36 20.16 k1 20 20 v0"},
        {ModeFreeKick, -10, 0, -7, 1, 0.5, "", "free_kick_l -9.5 0 k0 -0.725886 3.50965 v0"},
        {ModeGoal, -10, 0, 10, 0, 0.5, "m", " -9.5 0 k0 -10 -5 v0.5"},
        {ModePlayOn, -47.5, 9.16, -40, 18, 0.3, "os", "goal_kick_l -47 9.16 k0 -39.7 18 v0.12"},
        {ModePlayOn, -47.5, 9.16, -40, 18, 0.3, "oss",
         "goal_kick_l -47 9.16 k0 -39.58 20.46 v0.05"},
        {ModePlayOn, -47.5, 9.16, -38, 0, 0.3, "oss", "goal_kick_l -47 9.16 k0 -35.7 0 v0.05"},
        // nearest to the goal line: out across the front line all the same
        {ModePlayOn, -47.5, 9.16, -52, -2, 0, "oss", "goal_kick_l -47 9.16 k0 -35.7 -2 v0"},
        // near the ball when the goal kick is given: cleared from it at once
        {ModePlayOn, -47.5, 9.16, -44, 12, 0.3, "os",
         "goal_kick_l -47 9.16 k0 -39.8373 15.3243 v0"},
        // an opponent playing the ball in a goal kick has it taken again
        {ModeGoalKick, -47.5, 9.16, 20, 20, 0, "x", "goal_kick_l goal_kick_l -47 9.16 k0 20 20 v0",
         2},
    };
    for (const auto &c : cases) {
        freshmatch();
        int t = seat("A", true), o = seat("B");
        place(t, c.tx, c.ty, 0);
        place(o, c.ox, c.oy, 180);
        Players[o].vx = c.ovx;
        placeball(c.tx + 0.5, c.ty);
        changemode(c.mode, 1);
        for (const char *s = c.script; *s; s++) {
            std::string cmd = *s == 'd'   ? "(dash 20)"
                              : *s == 'c' ? "(catch 0)"
                              : *s == 'm' ? "(move 10 5)"
                                          : "(kick 20 0)";
            if (*s == 's')
                simstep();
            else if (*s == 'o')
                placeball(-52.6, 15);
            else if (*s == 'r')
                Opt.freekickfault = false;
            if (*s == 'b' || *s == 't') {
                place(t, c.tx, c.ty, 0);
                placeball(c.tx + (*s == 'b' ? 0.5 : 0.2), c.ty);
            }
            if (*s == 'x')
                placeball(c.ox - 0.5, c.oy);
            if (std::strchr("kdcmx", *s))
                runcommands(std::strchr("mx", *s) ? o : t, cmd.c_str(), cmd.size(), 0);
        }
        int kicks = -1;
        double speed = -1;
        std::sscanf(std::strstr(sensetext(t).c_str(), "(kick"), "(kick %d", &kicks);
        std::sscanf(std::strstr(sensetext(o).c_str(), "(speed"), "(speed %lf", &speed);
        char got[160];
        std::snprintf(got, sizeof got, "%s %g %g k%d %g %g v%g", calls(c.ncalls).c_str(), TheBall.x,
                      TheBall.y, kicks, Players[o].x, Players[o].y, speed);
        EXPECT_EQ(got, std::string(c.want)) << c.script;
    }
}

// takerfault: the left taker of a set play in mode (at the goal-area corner for a goal
// kick) kicks, dashes and comes back to the ball: against him when touch, else at his
// feet, kicking it again. Opponent far away.
static void takerfault(int mode, bool touch) {
    freshmatch();
    int t = seat("A", true);
    seat("B");
    double x = mode == ModeGoalKick ? -47.5 : -10, y = mode == ModeGoalKick ? 9.16 : 0;
    place(t, x, y, 0);
    placeball(x + 0.5, y);
    changemode(mode, 1);
    cmdkick(t, 20, 0);
    simstep();
    cmddash(t, 20, 0);
    simstep();
    place(t, x, y, 0);
    placeball(x + (touch ? 0.2 : 0.5), y);
    if (!touch)
        cmdkick(t, 20, 0);
}

// offsidetouch: a left pass to a team-mate beyond the second-last defender, the ball put
// against him.
static void offsidetouch() {
    freshmatch();
    int passer = seat("A"), receiver = seat("A");
    seat("B", true);
    int back = seat("B");
    place(passer, 0, 0, 0);
    place(receiver, 20, 5, 180);
    place(back, 15, -10, 180);
    Players[2].x = 50;
    changemode(ModePlayOn, 0);
    placeball(0.5, 0);
    cmdkick(passer, 30, 0);
    simstep();
    placeball(19.8, 5);
}

// A touch is called as the step finds it, in the cycle that is ending (the clock moves on
// after it), and that step is the first of the pause's 30; a kick is called between steps
// and 31 steps follow it. Seen: the call, the cycle it was announced in against the clock's
// cycle before the step, and the steps until the free kick is given.
TEST(SetPlays, TouchesAreCalledInTheCycleTheyHappen) {
    const struct {
        const char *what;
        void (*setup)();
        bool bystep; // the touch needs the step
        const char *want;
    } cases[] = {
        {"taker runs into the ball", [] { takerfault(ModeFreeKick, true); }, true,
         "free_kick_fault_l +0 30"},
        {"goal kick's taker runs into it", [] { takerfault(ModeGoalKick, true); }, true,
         "free_kick_fault_l +0 30"},
        {"offside by a touch", offsidetouch, true, "offside_l +0 30"},
        {"taker kicks it again", [] { takerfault(ModeFreeKick, false); }, false,
         "free_kick_fault_l +0 31"},
    };
    for (const auto &c : cases) {
        c.setup();
        int before = Time;
        if (c.bystep)
            simstep();
        std::string call = calls(1);
        int announced = CallTime[CallCount - 1];
        int steps = 0;
        while (steps < 60 && !lastcall("free_kick_r")) {
            simstep();
            steps++;
        }
        char got[80];
        std::snprintf(got, sizeof got, "%s %+d %d", call.c_str(), announced - before, steps);
        EXPECT_EQ(got, std::string(c.want)) << c.what;
    }
}

// At every restart the side not taking it is kept 9.15 m plus a player's size plus a
// hair from the ball. A drop ball clears everybody.
TEST(Clearance, PlayersKeptFromTheBallAtRestarts) {
    const struct {
        int mode;
        double radius;
    } cases[] = {
        {ModeKickIn, 9.15 + 0.3 + 1e-5},     {ModeFreeKick, 9.15 + 0.3 + 1e-5},
        {ModeCornerKick, 9.15 + 0.3 + 1e-5}, {ModeIndirectFreeKick, 9.15 + 0.3 + 1e-5},
        {ModeKickOff, 9.15 + 0.3 + 1e-5},    {ModeDropBall, 9.15 + 0.3 + 1e-5},
    };
    for (const auto &c : cases) {
        freshmatch();
        int mate = seat("A"), opp = seat("B");
        placeball(0, 0);
        place(mate, 1, 1, 0);
        place(opp, -2, 0, 0);
        if (c.mode == ModeDropBall)
            dropball(0, 0);
        else
            changemode(c.mode, 1);
        EXPECT_NEAR(std::hypot(Players[opp].x, Players[opp].y), c.radius, 1e-9) << c.mode;
        double mine = c.mode == ModeDropBall ? c.radius : std::sqrt(2.0);
        EXPECT_NEAR(std::hypot(Players[mate].x, Players[mate].y), mine, 1e-9) << c.mode;
    }
}

// Each rule is on by default and has its own switch; random player types are off.
TEST(Options, RulesOnByDefaultEachSwitchedOffAlone) {
    const struct {
        const char *flag;
        bool offside, backpass, freekickfault, playertypes;
    } cases[] = {
        {"--quiet", true, true, true, false},
        {"--no-offside", false, true, true, false},
        {"--no-back-pass", true, false, true, false},
        {"--no-free-kick-fault", true, true, false, false},
        {"--player-types", true, true, true, true},
    };
    for (const auto &c : cases) {
        char prog[] = "pitch", *argv[] = {prog, const_cast<char *>(c.flag), nullptr};
        ASSERT_EQ(parseoptions(2, argv, stdout, stderr), 0) << c.flag;
        const bool got[4] = {Opt.offside, Opt.backpass, Opt.freekickfault, Opt.playertypes};
        const bool want[4] = {c.offside, c.backpass, c.freekickfault, c.playertypes};
        EXPECT_TRUE(std::equal(want, want + 4, got)) << c.flag;
    }
}
