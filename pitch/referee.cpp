// referee.cpp -- play modes, the match clock, and the referee's decisions.
//
// Out of play means the ball centre is more than a ball radius beyond a line. A ball
// that crosses a goal line between the posts is a goal; over the goal line otherwise it
// is a corner kick when the defenders touched it last and a goal kick when not; over a
// touch line it is a kick-in for the opponents of the last toucher (a drop ball when
// nobody touched it since the last restart). A set play ends with the first kick; one
// that nobody takes within 100 cycles becomes a drop ball. Offside, back passes,
// free-kick faults and extra time are not refereed.

#include "pitch/referee.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "pitch/format.h"
#include "pitch/geom.h"
#include "pitch/net.h"
#include "pitch/params.h"
#include "pitch/physics.h"
#include "pitch/rng.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Globals
int Mode;
int ModeSide;
int Time;
int StepCount;
int ModeSteps;
bool ModeChanged;
int Score[2];
int LastToucher;
int KickOffSide;
int Half;
int LastJoinStep;
int TimeOverSteps;
char CallLog[CallLogSize][40];
int CallCount;

// Ball position when the stuck-ball watch last restarted, and cycles since.
static double StuckX, StuckY;
static int StuckCount;

// ORDER PLAYMODE: the words of the PlayMode values.
static const char *const ModeWords[] = {
    "before_kick_off", "play_on",   "time_over", "kick_off",    "kick_in",   "free_kick",
    "corner_kick",     "goal_kick", "goal",      "catch_fault", "drop_ball",
};

void initreferee() {
    Mode = ModeBeforeKickOff;
    ModeSide = 0;
    Time = 0;
    StepCount = 0;
    ModeSteps = 0;
    ModeChanged = false;
    Score[0] = Score[1] = 0;
    LastToucher = -1;
    KickOffSide = 1;
    Half = 1;
    LastJoinStep = 0;
    TimeOverSteps = 0;
    CallCount = 0;
    StuckX = StuckY = 0;
    StuckCount = 0;
}

void modeword(char *buf, size_t cap, int mode, int side) {
    bool sided = mode >= ModeKickOff && mode <= ModeCatchFault;
    std::snprintf(buf, cap, "%s%s", ModeWords[mode], !sided ? "" : (side > 0 ? "_l" : "_r"));
}

void announce(const char *word) {
    if (CallCount == CallLogSize) {
        std::memmove(CallLog[0], CallLog[1], sizeof CallLog - sizeof CallLog[0]);
        CallCount--;
    }
    std::snprintf(CallLog[CallCount++], sizeof CallLog[0], "%s", word);
    char text[96];
    std::snprintf(text, sizeof text, "(hear %d referee %s)", Time, word);
    for (int i = 0; i < MaxPlayers; i++)
        if (Players[i].on)
            sendplayer(i, text);
}

bool lastcall(const char *word) {
    return CallCount > 0 && std::strcmp(CallLog[CallCount - 1], word) == 0;
}

static bool setplay(int mode) {
    return mode == ModeKickOff || mode == ModeKickIn || mode == ModeFreeKick ||
           mode == ModeCornerKick;
}

static void keepaway(int side, double radius, bool everyone);

// The goal modes are not announced by their bare word: the goal call ("goal_l_1")
// carries the news.
void changemode(int mode, int side) {
    Mode = mode;
    ModeSide = side;
    ModeSteps = 0;
    ModeChanged = true;
    if (mode != ModePlayOn)
        LastToucher = -1;
    if (mode != ModeGoal) {
        char word[40];
        modeword(word, sizeof word, mode, side);
        announce(word);
    }
    if (setplay(mode))
        keepaway(side, CentreCircleRadius + PlayerSize, false);
}

bool kickallowed() {
    return Mode != ModeBeforeKickOff && Mode != ModeGoal && Mode != ModeCatchFault &&
           Mode != ModeTimeOver;
}

bool moveallowed(int slot) {
    if (Mode == ModeBeforeKickOff || Mode == ModeGoal)
        return true;
    return Mode == ModeFreeKick && TheBall.holder == slot;
}

bool stoppage() {
    return Mode == ModeGoal || Mode == ModeCatchFault;
}

bool inpenaltyarea(int side, double x, double y, double margin) {
    double gx = -side * PitchHalfLength; // own goal line
    double front = -side * (PitchHalfLength - PenaltyAreaLength);
    double lo = std::min(gx, front) - margin, hi = std::max(gx, front) + margin;
    return x >= lo && x <= hi && std::fabs(y) <= PenaltyAreaHalfWidth + margin;
}

void refereekicked(int slot) {
    LastToucher = slot;
    if (setplay(Mode))
        changemode(ModePlayOn, 0);
}

// A catch inside the goalie's own area (widened by a ball radius) gives his side a
// free kick with the ball in his hands; a catch outside it is a fault.
void refereecaught(int slot) {
    const Player &g = Players[slot];
    LastToucher = slot;
    char word[40];
    if (inpenaltyarea(g.side, TheBall.x, TheBall.y, BallSize)) {
        std::snprintf(word, sizeof word, "goalie_catch_ball_%c", g.side > 0 ? 'l' : 'r');
        announce(word);
        changemode(ModeFreeKick, g.side);
        return;
    }
    TheBall.holder = -1;
    changemode(ModeCatchFault, g.side);
}

void refereegoaliemoved(int slot) {
    const Player &g = Players[slot];
    placeheldball();
    if (!inpenaltyarea(g.side, TheBall.x, TheBall.y, BallSize)) {
        TheBall.holder = -1;
        changemode(ModeCatchFault, g.side);
    }
}

static void placeball(double x, double y) {
    Ball &b = TheBall;
    b.x = b.prevx = x;
    b.y = b.prevy = y;
    b.vx = b.vy = b.ax = b.ay = 0;
    b.holder = -1;
}

void startkickoff(int side) {
    if (Time == 0 || Half == 2) {
        for (Player &p : Players)
            if (p.on)
                restorestamina(p);
    }
    placeball(0, 0);
    changemode(ModeKickOff, side);
}

// Drop ball: the ball is put back on the pitch (out of the penalty areas, to their front
// corners), everybody is cleared from it once, and play goes on at once.
void dropball(double x, double y) {
    x = clampd(x, -PitchHalfLength, PitchHalfLength);
    y = clampd(y, -PitchHalfWidth, PitchHalfWidth);
    for (int side = 1; side >= -1; side -= 2) {
        if (inpenaltyarea(side, x, y, 0)) {
            x = -side * (PitchHalfLength - PenaltyAreaLength);
            y = y < 0 ? -PenaltyAreaHalfWidth : PenaltyAreaHalfWidth;
        }
    }
    placeball(x, y);
    changemode(ModeDropBall, 0);
    keepaway(0, CentreCircleRadius, true);
    changemode(ModePlayOn, 0);
    StuckX = x;
    StuckY = y;
    StuckCount = 0;
}

static void scoregoal(int side) {
    int &s = Score[sideindex(side)];
    s++;
    char word[40];
    std::snprintf(word, sizeof word, "goal_%c_%d", side > 0 ? 'l' : 'r', s);
    announce(word);
    Ball &b = TheBall;
    b.vx = b.vy = b.ax = b.ay = 0;
    changemode(ModeGoal, side);
}

// Half time and the end of the match. Returns true when the clock ended play.
static bool checkclock() {
    int half = Opt.cycles / 2;
    if (Half == 1 && half > 0 && Time >= half && Time < Opt.cycles) {
        announce("half_time");
        Half = 2;
        KickOffSide = -1;
        placeball(0, 0);
        changemode(ModeBeforeKickOff, 0);
        return true;
    }
    if (Time >= Opt.cycles) {
        announce(TeamEver[0] && TeamEver[1] ? "time_up" : "time_up_without_a_team");
        changemode(ModeTimeOver, 0);
        return true;
    }
    return false;
}

// Over a goal line: goal when the ball crossed between the posts this step.
static bool checkgoalline() {
    Ball &b = TheBall;
    double line = PitchHalfLength + BallSize;
    if (std::fabs(b.x) <= line)
        return false;
    int end = b.x > 0 ? 1 : -1; // +1: the right goal, defended by the right side
    double ycross = b.y;
    if (b.x != b.prevx && std::fabs(b.prevx) <= line)
        ycross = b.prevy + (b.y - b.prevy) * (end * line - b.prevx) / (b.x - b.prevx);
    if (std::fabs(ycross) <= GoalPostY) {
        scoregoal(end); // the left side (+1) scores in the right goal (+1)
        return true;
    }
    int defender = -end;
    bool bydefender = LastToucher >= 0 && Players[LastToucher].side == defender;
    double sy = b.y < 0 ? -1 : 1;
    if (bydefender) {
        placeball(end * (PitchHalfLength - 1), sy * (PitchHalfWidth - 1));
        changemode(ModeCornerKick, end);
    } else {
        placeball(end * (PitchHalfLength - GoalAreaLength), sy * GoalAreaHalfWidth);
        changemode(ModeGoalKick, defender);
    }
    return true;
}

static bool checktouchline() {
    Ball &b = TheBall;
    if (std::fabs(b.y) <= PitchHalfWidth + BallSize)
        return false;
    double x = clampd(b.x, -PitchHalfLength, PitchHalfLength);
    double y = b.y < 0 ? -PitchHalfWidth : PitchHalfWidth;
    if (LastToucher < 0) {
        dropball(x, y);
        return true;
    }
    int side = -Players[LastToucher].side;
    placeball(x, y);
    changemode(ModeKickIn, side);
    return true;
}

static void checkstuck() {
    Ball &b = TheBall;
    if (std::hypot(b.x - StuckX, b.y - StuckY) > StuckArea || Mode != ModePlayOn || b.holder >= 0) {
        StuckX = b.x;
        StuckY = b.y;
        StuckCount = 0;
        return;
    }
    if (++StuckCount >= StuckCycles)
        dropball(b.x, b.y);
}

void refereeafterstep() {
    if (checkclock())
        return;
    Ball &b = TheBall;
    if (b.holder >= 0) { // a goalie who carries the ball out of his area commits a fault
        refereegoaliemoved(b.holder);
        if (Mode == ModeCatchFault)
            return;
    } else if (checkgoalline() || checktouchline()) {
        return;
    }
    if (Mode == ModeGoalKick && !inpenaltyarea(ModeSide, b.x, b.y, 0)) {
        changemode(ModePlayOn, 0);
        return;
    }
    bool timed = setplay(Mode) || Mode == ModeGoalKick;
    if (timed && ModeSteps >= SetPlayTimeout) {
        dropball(b.x, b.y);
        return;
    }
    checkstuck();
}

void refereepause() {
    if (Mode == ModeGoal && ModeSteps > GoalPause) {
        placeball(0, 0);
        changemode(ModeKickOff, -ModeSide);
    } else if (Mode == ModeCatchFault && ModeSteps > FaultPause) {
        int side = -ModeSide; // the side that did not commit the fault takes it
        double x = TheBall.x, y = TheBall.y;
        if (inpenaltyarea(ModeSide, x, y, 0))
            x = -ModeSide * (PitchHalfLength - PenaltyAreaLength - 1);
        placeball(clampd(x, -PitchHalfLength, PitchHalfLength),
                  clampd(y, -PitchHalfWidth, PitchHalfWidth));
        changemode(ModeFreeKick, side);
    }
}

bool kickoffdue() {
    if (Half == 2)
        return ModeSteps >= HalfTimePause;
    int clients = connectedclients();
    if (clients > 0 && clients >= Opt.waitplayers && StepCount - LastJoinStep >= KickOffGrace)
        return true;
    return Opt.kickoffafter > 0 && StepCount * Opt.stepms >= Opt.kickoffafter * 1000;
}

// keepaway: players of the side not taking the set play (or everybody) are moved out
// to the given distance from the ball, along the line from the ball.
static void keepaway(int side, double radius, bool everyone) {
    const Ball &b = TheBall;
    for (Player &p : Players) {
        if (!p.on || (!everyone && p.side == side))
            continue;
        double dx = p.x - b.x, dy = p.y - b.y;
        double d = std::hypot(dx, dy);
        if (d >= radius)
            continue;
        if (d < 1e-9) {
            dx = -p.side; // straight back toward the own goal
            dy = 0;
            d = 1;
        }
        p.x = b.x + dx / d * radius;
        p.y = b.y + dy / d * radius;
    }
}

// Players in the opponents' half before a kick-off: to a random point of their own half
// before the kick-off is given, just behind the halfway line once it is.
static void ownhalf(bool random) {
    for (Player &p : Players) {
        if (!p.on || p.x * p.side <= 0)
            continue;
        if (random) {
            p.x = -p.side * urand(0, PitchHalfLength);
            p.y = urand(-PitchHalfWidth, PitchHalfWidth);
        } else {
            p.x = -p.side * PlayerSize;
        }
    }
}

static void outofpenaltyarea(int side) {
    double front = -side * (PitchHalfLength - PenaltyAreaLength - PlayerSize);
    for (Player &p : Players) {
        if (p.on && p.side != side && inpenaltyarea(side, p.x, p.y, PlayerSize))
            p.x = front;
    }
}

void refereeplacement() {
    switch (Mode) {
    case ModeBeforeKickOff:
        ownhalf(true);
        keepaway(KickOffSide, CentreCircleRadius + PlayerSize, false);
        break;
    case ModeKickOff:
        ownhalf(false);
        keepaway(ModeSide, CentreCircleRadius + PlayerSize, false);
        break;
    case ModeKickIn:
    case ModeFreeKick:
    case ModeCornerKick:
        keepaway(ModeSide, CentreCircleRadius + PlayerSize, false);
        break;
    case ModeGoalKick:
        outofpenaltyarea(ModeSide);
        break;
    default:
        break;
    }
    for (Player &p : Players)
        if (p.on)
            keepinmargin(p);
}

} // namespace vorn::pitch
