// referee.cpp -- play modes, the match clock, and the referee's decisions.
//
// Out of play means the ball centre is more than a ball radius beyond a line. A ball
// that crosses a goal line between the posts is a goal; over the goal line otherwise it
// is a corner kick when the defenders touched it last and a goal kick when not; over a
// touch line it is a kick-in for the opponents of the last toucher (a drop ball when
// nobody touched it since the last restart). A set play ends with the first kick; one
// that nobody takes within 100 cycles becomes a drop ball; an opponent playing the ball
// in a goal kick has it taken again. A touch of the ball is ruled on while the step
// resolves the overlaps, in the cycle that is ending. After an offence the clock stands
// for 30 steps (the step that found a touching offence is the first of them), the
// offenders are cleared from the ball in the last five, and the other side gets its free
// kick. Players are cleared from the ball as the real server clears them, to the last
// bit. Extra time is not played.

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
#include "pitch/textlog.h"
#include "pitch/types.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Globals
int Mode;
int ModeSide;
int Time;
int StepCount;
int ModeSteps;
int StepMode;
int StoppageSteps;
bool ModeChanged;
int Score[2];
int LastToucher;
int KickOffSide;
int Half;
int LastJoinStep;
int TimeOverSteps;
char CallLog[CallLogSize][40];
int CallTime[CallLogSize];
int CallCount;

// The cycle of the last kick or touch noted in LastToucher, and the kick's acceleration.
static int TouchTime;
static double TouchAccel;

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
    StepMode = ModeBeforeKickOff;
    StoppageSteps = 0;
    ModeChanged = false;
    Score[0] = Score[1] = 0;
    LastToucher = -1;
    TouchTime = -1;
    TouchAccel = 0;
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
        std::memmove(CallTime, CallTime + 1, sizeof CallTime - sizeof CallTime[0]);
        CallCount--;
    }
    CallTime[CallCount] = Time;
    textlogcall(word);
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
    if (setplay(mode) || mode == ModeGoalKick)
        clearfromball(-side, CentreCircleRadius);
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

// notetoucher: who last kicked or touched the ball, for the restart when it goes out. Of
// several in one cycle the strongest kick counts, and a touch only when nobody kicked; a
// ball beyond a goal line is touched by nobody.
static void notetoucher(int slot, double accel) {
    if (std::fabs(TheBall.x) > PitchHalfLength + BallSize)
        return;
    if (TouchTime == Time && TouchAccel <= accel) {
        LastToucher = slot;
        TouchAccel = accel;
    } else if (TouchTime < Time) {
        LastToucher = slot;
        TouchTime = Time;
        TouchAccel = accel;
    }
}

// regoalkick: an opponent has played the ball while a goal kick lasts: it is taken again,
// from the corner of the goal area on the ball's side.
static void regoalkick() {
    int side = ModeSide;
    putball(-side * (PitchHalfLength - GoalAreaLength),
            TheBall.y > 0 ? GoalAreaHalfWidth : -GoalAreaHalfWidth);
    changemode(ModeGoalKick, side);
}

void refereekicked(int slot, double accel) {
    int from = Mode;
    notebackpass(slot, true);
    if (from == ModeGoalKick && Players[slot].side != ModeSide) {
        regoalkick();
        return;
    }
    if (setplay(Mode))
        changemode(ModePlayOn, 0);
    notetoucher(slot, accel);
    notekick(slot, from);
}

void refereedashed(int slot) {
    notedash(slot);
}

// A touch is ruled on as the step finds it, before the overlap is resolved and before the
// clock moves on. It counts for offside and the free-kick fault in play_on, and for the
// fault also while a goal kick lasts (its taker may kick it again and again, but not touch
// it after a dash); an opponent touching the ball in a goal kick has it taken again.
bool judgetouch(int slot) {
    notebackpass(slot, false);
    if (Mode == ModeGoalKick && Players[slot].side != ModeSide) {
        regoalkick();
        return false;
    }
    if (Mode == ModePlayOn || Mode == ModeGoalKick)
        notetouch(slot);
    notetoucher(slot, 0);
    return Mode == ModePlayOn;
}

// outofgoalarea: x moved to the front line of side's goal area when (x, y) lies in it.
static double outofgoalarea(int side, double x, double y) {
    double front = -side * (PitchHalfLength - GoalAreaLength);
    if (std::fabs(y) <= GoalAreaHalfWidth && side * (front - x) >= 0)
        return front + side * Tiny;
    return x;
}

// A catch is announced first, then ruled on as the real server rules on it: the overlaps
// are resolved (the goalie may still touch the ball), the catch counts as his touch of the
// ball (offside, the free-kick fault of a set play's taker who dashed), and then the catch
// itself is judged, whatever the touch brought: outside his own area (widened by a ball
// radius) it is a catch fault, a back pass is called as such, and otherwise his side has a
// free kick with the ball in his hands, so that a faulting taker keeps the ball.
void refereecaught(int slot) {
    const Player &g = Players[slot];
    char word[40];
    std::snprintf(word, sizeof word, "goalie_catch_ball_%c", g.side > 0 ? 'l' : 'r');
    announce(word);
    collide(judgetouch);
    judgetouch(slot);
    double x = TheBall.x, y = TheBall.y;
    if (!inpenaltyarea(g.side, x, y, BallSize)) {
        offence(ModeCatchFault, g.side, x, y);
    } else if (catchisbackpass(slot)) {
        x = outofgoalarea(g.side, x, y);
        offence(ModeBackPass, g.side, x, y);
    } else {
        putball(clampd(x, -PitchHalfLength, PitchHalfLength),
                clampd(y, -PitchHalfWidth, PitchHalfWidth));
        changemode(ModeFreeKick, g.side);
        TheBall.holder = slot;
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

// outofarea: (x, y) moved to the front corner of side's penalty area, just outside it, on
// its half of the width (y = 0 counts as the top half), when it lies in that area.
static void outofarea(int side, double &x, double &y) {
    double front = -side * (PitchHalfLength - PenaltyAreaLength);
    if (side * (front - x) < 0 || std::fabs(y) > PenaltyAreaHalfWidth)
        return;
    x = front + side * Tiny;
    y = y > 0 ? PenaltyAreaHalfWidth + Tiny : -PenaltyAreaHalfWidth - Tiny;
}

// The free kick that follows a fault is never taken inside the offenders' own penalty
// area: the ball goes to the area's front corner, as for a drop ball.
void offence(int mode, int side, double x, double y) {
    x = clampd(x, -PitchHalfLength, PitchHalfLength);
    y = clampd(y, -PitchHalfWidth, PitchHalfWidth);
    if (mode != ModeOffside && mode != ModeBackPass)
        outofarea(side, x, y);
    putball(x, y);
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
    outofarea(1, x, y);
    outofarea(-1, x, y);
    putball(x, y);
    changemode(ModeDropBall, 0);
    clearfromball(0, CentreCircleRadius);
    for (Player &p : Players)
        if (p.on)
            keepinmargin(p);
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

static double length(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// ontocircle: (x, y) moved onto the circle of radius r about (cx, cy), along the line
// from its centre, as the real server computes it.
static void ontocircle(double cx, double cy, double r, double &x, double &y) {
    double dx = x - cx, dy = y - cy;
    if (dx == 0 && dy == 0)
        dx = dy = Tiny;
    double f = r / std::max(length(dx, dy), Tiny);
    x = cx + dx * f;
    y = cy + dy * f;
}

// turnaround: (x, y) turned half a circle about the ball, with the real server's cosine
// and sine of pi (the sine is not quite 0).
static void turnaround(double &x, double &y) {
    const Ball &b = TheBall;
    double dx = x - b.x, dy = y - b.y, c = std::cos(Pi), s = std::sin(Pi);
    x = b.x + (dx * c - dy * s);
    y = b.y + (dx * s + dy * c);
}

// clearplace: where a player within r (clear plus his size) of the ball is put: just
// beyond r along the line from the ball, but never outside the area players may stand in
// (there the circle's edge is taken where it meets that area's border, or the place on the
// other side of the ball). Before an indirect free kick a defender is not put beyond his
// goal line but onto it.
static void clearplace(double r, bool indirect, bool corner, double &x, double &y) {
    const Ball &b = TheBall;
    const double maxx = PitchHalfLength + PitchMargin, maxy = PitchHalfWidth + PitchMargin;
    ontocircle(b.x, b.y, r + ClearanceEps, x, y);
    if (corner && std::fabs(x) > PitchHalfLength && std::fabs(y) > PitchHalfWidth)
        turnaround(x, y);
    if (indirect && std::fabs(x) > PitchHalfLength) {
        double tangent = (y - b.y) / (x - b.x);
        x = x > 0 ? PitchHalfLength : -PitchHalfLength;
        y = b.y + tangent * (x - b.x);
    }
    if (std::fabs(x) > maxx) {
        double off = std::fabs(r * std::sin(std::acos((maxx - std::fabs(b.x)) / r)));
        x = x < 0 ? -maxx : maxx;
        y = b.y + (y < b.y ? -off - ClearanceEps : off + ClearanceEps);
    }
    if (std::fabs(y) > maxy) {
        double off = std::fabs(r * std::sin(std::acos((maxy - std::fabs(b.y)) / r)));
        x = b.x + (x < b.x ? -off - ClearanceEps : off + ClearanceEps);
        y = y < 0 ? -maxy : maxy;
    }
    if (std::fabs(x) > maxx || std::fabs(y) > maxy)
        turnaround(x, y);
}

// clearfromball: the players of side (0: everybody) within clear plus their size of the
// ball are put just beyond it (clearplace) at rest; the overlaps this makes are resolved
// as in a step, and the round is repeated until nobody is too near (at most ten rounds).
// Before an indirect free kick a defender on his goal line may stay there.
void clearfromball(int side, double clear) {
    const Ball &b = TheBall;
    const bool indirect = Mode == ModeBackPass || Mode == ModeIndirectFreeKick;
    const double maxx = PitchHalfLength + PitchMargin, maxy = PitchHalfWidth + PitchMargin;
    const bool corner = std::fabs(b.x) > maxx - clear && std::fabs(b.y) > maxy - clear;
    for (int round = 0; round < 10; round++) {
        bool moved = false;
        for (Player &p : Players) {
            if (!p.on || (side != 0 && p.side != side))
                continue;
            if (indirect && std::fabs(p.x) >= PitchHalfLength)
                continue;
            double r = clear + PlayerSize;
            if (length(b.x - p.x, b.y - p.y) > r)
                continue;
            clearplace(r, indirect, corner, p.x, p.y);
            p.vx = p.vy = p.ax = p.ay = 0;
            moved = true;
        }
        if (!moved)
            break;
        collide(judgetouch);
    }
}

// Before a kick-off and during it the players in the opponents' half are sent back (before
// it to a random point of their own half, during it just behind the halfway line), and
// the side not kicking off is kept out of the centre circle. They keep their speed.
static void ownhalf(int kicker) {
    const double r = CentreCircleRadius + PlayerSize;
    for (Player &p : Players) {
        if (!p.on)
            continue;
        if (p.x * p.side > 0) {
            if (Mode == ModeKickOff) {
                p.x = -p.side * PlayerSize;
            } else {
                p.x = -p.side * urand(0, PitchHalfLength);
                p.y = urand(-PitchHalfWidth, PitchHalfWidth);
            }
        }
        if (p.side != kicker && length(p.x, p.y) <= r)
            ontocircle(0, 0, r, p.x, p.y);
    }
}

// outofpenaltyarea: at a goal kick the opponents of side within a player's size of its
// penalty area are put on the nearest edge of the area so widened; one who would stand
// on the goal line is put on the front edge instead. They keep their speed.
static void outofpenaltyarea(int side) {
    const double centre = -side * (PitchHalfLength - PenaltyAreaLength / 2.0);
    const double left = centre - PenaltyAreaLength * 0.5 - PlayerSize;
    const double right = centre + PenaltyAreaLength * 0.5 + PlayerSize;
    const double top = -PenaltyAreaHalfWidth - PlayerSize,
                 bottom = PenaltyAreaHalfWidth + PlayerSize;
    for (Player &p : Players) {
        if (!p.on || p.side == side || p.x < left || p.x > right || p.y < top || p.y > bottom)
            continue;
        double x, y;
        if (std::min(std::fabs(p.x - left), std::fabs(p.x - right)) <
            std::min(std::fabs(p.y - top), std::fabs(p.y - bottom))) {
            x = std::fabs(p.x - left) < std::fabs(p.x - right) ? left : right;
            y = std::min(std::max(p.y, top), bottom);
        } else {
            x = std::min(std::max(p.x, left), right);
            y = std::fabs(p.y - top) < std::fabs(p.y - bottom) ? top : bottom;
        }
        if (x * p.side >= PitchHalfLength)
            x = (PitchHalfLength - PenaltyAreaLength - PlayerSize) * p.side;
        p.x = x;
        p.y = y;
    }
}

void refereeplacement() {
    switch (Mode) {
    case ModeBeforeKickOff:
        ownhalf(KickOffSide);
        clearfromball(-KickOffSide, CentreCircleRadius);
        break;
    case ModeKickOff:
        ownhalf(ModeSide);
        clearfromball(-ModeSide, CentreCircleRadius);
        break;
    case ModeKickIn:
    case ModeFreeKick:
    case ModeCornerKick:
    case ModeIndirectFreeKick:
        clearfromball(-ModeSide, CentreCircleRadius);
        break;
    case ModeGoalKick: // from the step after it was given
        if (ModeSteps > 0)
            outofpenaltyarea(ModeSide);
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
