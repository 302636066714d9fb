// referee.cpp -- play modes, the match clock, and the referee's decisions.
//
// Out of play means the ball centre is more than a ball radius beyond a line. A ball
// that crosses a goal line between the posts is a goal; over the goal line otherwise it
// is a corner kick when the defenders touched it last and a goal kick when not; over a
// touch line it is a kick-in for the opponents of the last toucher (a drop ball when
// nobody touched it since the last restart). A set play ends with the first kick; one
// that nobody takes within 100 cycles becomes a drop ball. After an offence the clock
// stands for 30 steps, the offenders are cleared from the ball in the last five, and the
// other side gets its free kick. Extra time is not played.

#include "pitch/referee.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "pitch/format.h"
#include "pitch/geom.h"
#include "pitch/net.h"
#include "pitch/offences.h"
#include "pitch/params.h"
#include "pitch/physics.h"
#include "pitch/rng.h"
#include "pitch/types.h"
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
    "before_kick_off", "play_on",     "time_over", "kick_off",           "kick_in",
    "free_kick",       "corner_kick", "goal_kick", "indirect_free_kick", "goal",
    "catch_fault",     "offside",     "back_pass", "free_kick_fault",    "drop_ball",
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
    initoffences();
}

void modeword(char *buf, size_t cap, int mode, int side) {
    bool sided = mode >= ModeKickOff && mode <= ModeFreeKickFault;
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

bool setplay(int mode) {
    return mode == ModeKickOff || mode == ModeKickIn || mode == ModeFreeKick ||
           mode == ModeCornerKick || mode == ModeIndirectFreeKick;
}

// clearance: how far the side not taking a set play is kept from the ball. At the
// kick-off that is the centre circle; elsewhere a hair more, as on the real server.
static double clearance(int mode) {
    double r = CentreCircleRadius + PlayerSize;
    return mode == ModeKickOff ? r : r + ClearanceEps;
}

// The goal modes are not announced by their bare word: the goal call ("goal_l_1")
// carries the news.
void changemode(int mode, int side) {
    Mode = mode;
    ModeSide = side;
    ModeSteps = 0;
    ModeChanged = true;
    if (mode != ModePlayOn)
        LastToucher = -1;
    forgettouches(mode != ModePlayOn);
    if (mode != ModeGoal) {
        char word[40];
        modeword(word, sizeof word, mode, side);
        announce(word);
    }
    if (setplay(mode))
        keepaway(side, clearance(mode), false);
}

bool kickallowed() {
    return Mode != ModeBeforeKickOff && Mode != ModeTimeOver && !stoppage();
}

bool moveallowed(int slot) {
    if (Mode == ModeBeforeKickOff || Mode == ModeGoal)
        return true;
    return Mode == ModeFreeKick && TheBall.holder == slot;
}

bool stoppage() {
    return Mode == ModeGoal || Mode == ModeCatchFault || Mode == ModeOffside ||
           Mode == ModeBackPass || Mode == ModeFreeKickFault;
}

bool inpenaltyarea(int side, double x, double y, double margin) {
    double gx = -side * PitchHalfLength; // own goal line
    double front = -side * (PitchHalfLength - PenaltyAreaLength);
    double lo = std::min(gx, front) - margin, hi = std::max(gx, front) + margin;
    return x >= lo && x <= hi && std::fabs(y) <= PenaltyAreaHalfWidth + margin;
}

int refereekicktry(int slot) {
    return kickoffence(slot);
}

void refereekicked(int slot) {
    int from = Mode;
    LastToucher = slot;
    if (setplay(Mode))
        changemode(ModePlayOn, 0);
    notekick(slot, from);
}

void refereedashed(int slot) {
    notedash(slot);
}

// Outside play_on a touch only pushes the player off the ball. Touches count for offside
// and the free-kick fault in play_on, and for the fault also while a goal kick lasts (its
// taker may kick it again and again, but not touch it after a dash).
void refereetouched(int slot) {
    LastToucher = slot;
    if (Mode == ModePlayOn || Mode == ModeGoalKick)
        notetouch(slot);
}

// outofgoalarea: x moved to a metre in front of side's goal area when (x, y) lies in it.
static double outofgoalarea(int side, double x, double y) {
    double front = -side * (PitchHalfLength - GoalAreaLength);
    if (std::fabs(y) <= GoalAreaHalfWidth && side * (front - x) >= 0)
        return front + side;
    return x;
}

// A catch inside the goalie's own area (widened by a ball radius) gives his side a
// free kick with the ball in his hands, unless it was a back pass; a catch outside the
// area is a fault, and so is a catch by the taker of a set play who has dashed since. The
// catch itself is announced first either way.
void refereecaught(int slot) {
    const Player &g = Players[slot];
    LastToucher = slot;
    char word[40];
    std::snprintf(word, sizeof word, "goalie_catch_ball_%c", g.side > 0 ? 'l' : 'r');
    announce(word);
    if (touchfault(slot))
        return;
    double x = TheBall.x, y = TheBall.y;
    if (!inpenaltyarea(g.side, x, y, BallSize)) {
        offence(ModeCatchFault, g.side, x, y);
    } else if (catchisbackpass(slot)) {
        x = outofgoalarea(g.side, x, y);
        offence(ModeBackPass, g.side, x, y);
    } else {
        changemode(ModeFreeKick, g.side);
    }
}

// checkholder: a goalie who carried the ball out of his area commits a fault.
static bool checkholder() {
    const Ball &b = TheBall;
    int side = Players[b.holder].side;
    if (inpenaltyarea(side, b.x, b.y, BallSize))
        return false;
    offence(ModeCatchFault, side, b.x, b.y);
    return true;
}

void putball(double x, double y) {
    Ball &b = TheBall;
    b.x = b.prevx = x;
    b.y = b.prevy = y;
    b.vx = b.vy = b.ax = b.ay = 0;
    b.holder = -1;
}

// areacorner: (x, y) moved to the front corner of side's penalty area on its half of the
// width (y = 0 counts as the bottom half) when it lies in that area.
static void areacorner(int side, double &x, double &y) {
    if (!inpenaltyarea(side, x, y, 0))
        return;
    x = -side * (PitchHalfLength - PenaltyAreaLength);
    y = y < 0 ? -PenaltyAreaHalfWidth : PenaltyAreaHalfWidth;
}

// The free kick that follows a fault is never taken inside the offenders' own penalty
// area: the ball goes to the area's front corner, as for a drop ball.
void offence(int mode, int side, double x, double y) {
    if (mode != ModeOffside && mode != ModeBackPass)
        areacorner(side, x, y);
    putball(clampd(x, -PitchHalfLength, PitchHalfLength),
            clampd(y, -PitchHalfWidth, PitchHalfWidth));
    changemode(mode, side);
}

// The kick-offs that start the halves restore everyone; the first one also hands out the
// player types when they are asked for.
void startkickoff(int side) {
    if (Time == 0 || Half == 2) {
        if (Time == 0 && Half == 1 && Opt.playertypes)
            assigntypes();
        for (Player &p : Players)
            if (p.on)
                restorestamina(p);
    }
    putball(0, 0);
    changemode(ModeKickOff, side);
}

// Drop ball: the ball is put back on the pitch (out of the penalty areas, to their front
// corners), everybody is cleared from it once, and play goes on at once.
void dropball(double x, double y) {
    x = clampd(x, -PitchHalfLength, PitchHalfLength);
    y = clampd(y, -PitchHalfWidth, PitchHalfWidth);
    areacorner(1, x, y);
    areacorner(-1, x, y);
    putball(x, y);
    changemode(ModeDropBall, 0);
    keepaway(0, CentreCircleRadius + PlayerSize + ClearanceEps, true);
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
        putball(0, 0);
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

// Over a goal line: goal when the ball crossed between the posts this step, unless it
// comes straight from an indirect free kick.
static bool checkgoalline() {
    Ball &b = TheBall;
    double line = PitchHalfLength + BallSize;
    if (std::fabs(b.x) <= line)
        return false;
    int end = b.x > 0 ? 1 : -1; // +1: the right goal, defended by the right side
    double ycross = b.y;
    if (b.x != b.prevx && std::fabs(b.prevx) <= line)
        ycross = b.prevy + (b.y - b.prevy) * (end * line - b.prevx) / (b.x - b.prevx);
    if (std::fabs(ycross) <= GoalPostY && !indirectpending()) {
        scoregoal(end); // the left side (+1) scores in the right goal (+1)
        return true;
    }
    int defender = -end;
    bool bydefender = LastToucher >= 0 && Players[LastToucher].side == defender;
    double sy = b.y < 0 ? -1 : 1;
    if (bydefender) {
        putball(end * (PitchHalfLength - 1), sy * (PitchHalfWidth - 1));
        changemode(ModeCornerKick, end);
    } else {
        putball(end * (PitchHalfLength - GoalAreaLength), sy * GoalAreaHalfWidth);
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
    putball(x, y);
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
    if (b.holder >= 0 ? checkholder() : checkgoalline() || checktouchline())
        return;
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

// The pause after an offence ends with a free kick for the other side where the ball
// lies (an indirect one after a back pass).
void refereepause() {
    if (Mode == ModeGoal && ModeSteps > GoalPause) {
        putball(0, 0);
        changemode(ModeKickOff, -ModeSide);
    } else if (Mode != ModeGoal && ModeSteps > FaultPause) {
        changemode(Mode == ModeBackPass ? ModeIndirectFreeKick : ModeFreeKick, -ModeSide);
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

// moveplayer: the referee puts a player somewhere; he arrives standing.
static void moveplayer(Player &p, double x, double y) {
    p.x = x;
    p.y = y;
    p.vx = p.vy = 0;
}

// keepaway: players of the side not taking the set play (or everybody) are moved out
// to the given distance from the ball, along the line from the ball.
void keepaway(int side, double radius, bool everyone) {
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
        moveplayer(p, b.x + dx / d * radius, b.y + dy / d * radius);
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

// outofpenaltyarea: opponents of side within a player's size of its penalty area are
// moved just out of it, across the front line or a side line, whichever is nearer.
static void outofpenaltyarea(int side) {
    double front = -side * (PitchHalfLength - PenaltyAreaLength - PlayerSize);
    double edge = PenaltyAreaHalfWidth + PlayerSize;
    for (Player &p : Players) {
        if (!p.on || p.side == side || !inpenaltyarea(side, p.x, p.y, PlayerSize))
            continue;
        if (std::fabs(p.x - front) <= edge - std::fabs(p.y))
            moveplayer(p, front, p.y);
        else
            moveplayer(p, p.x, std::copysign(edge, p.y));
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
    case ModeIndirectFreeKick:
        keepaway(ModeSide, clearance(Mode), false);
        break;
    case ModeGoalKick: // from the step after it was given
        if (ModeSteps > 0) {
            outofpenaltyarea(ModeSide);
            keepaway(ModeSide, clearance(Mode), false);
        }
        break;
    case ModeCatchFault:
    case ModeOffside:
    case ModeBackPass:
    case ModeFreeKickFault:
        offencepause();
        break;
    default:
        break;
    }
    for (Player &p : Players)
        if (p.on)
            keepinmargin(p);
}

} // namespace vorn::pitch
