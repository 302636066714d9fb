// offences.cpp -- offside, back passes and free-kick faults.
//
// Offside: when a player kicks or touches the ball, every team-mate beyond the offside
// line is marked. The line is the second-last opponent or the ball, whichever is nearer
// the goal the side attacks, but never behind the halfway line; goal kicks, kick-ins and
// corner kicks mark nobody. A marked player who is the next to touch the ball, or who
// tries to kick it from within 2.5 m, is offside, and the other side's free kick is taken
// where the line was, at his y.
//
// Back pass: a goalie may not catch the ball when the last kick came from his own side.
// His own kick counts too, unless the kicker before him was an opponent; a kick and a
// catch in the same cycle are let go unless the kicker before was a team-mate. What is
// remembered is forgotten when both sides have had the ball within one cycle, and at
// every change of play mode.
//
// Free-kick fault: the player who took a set play may kick again straight away, but once
// he has dashed he may not kick, run into or catch the ball before somebody else has
// touched it; during a goal kick this holds from each of his kicks. His faulting kick
// still counts as his kick. A goalie who took the free kick and catches the ball after a
// dash commits the fault, but the catch is ruled on after it: he keeps the ball.

#include "pitch/offences.h"

#include <algorithm>
#include <cmath>

#include "pitch/geom.h"
#include "pitch/params.h"
#include "pitch/physics.h"
#include "pitch/referee.h"

namespace vorn::pitch {

// Globals
bool OffsideMark[MaxPlayers];
double OffsideMarkX[MaxPlayers];
double OffsideMarkY[MaxPlayers];
int SetPlayTaker;
bool TakerDashed;
int IndirectTaker;
int LastPasser;
int BeforePasser;
int PassTime;
bool CycleTouched[2];
double OffsideSpotX, OffsideSpotY;

void initoffences() {
    forgettouches(true);
    PassTime = -1;
    CycleTouched[0] = CycleTouched[1] = false;
}

void forgettouches(bool all) {
    std::fill(OffsideMark, OffsideMark + MaxPlayers, false);
    if (!all)
        return;
    SetPlayTaker = -1;
    TakerDashed = false;
    IndirectTaker = -1;
    LastPasser = BeforePasser = -1;
}

// Depths are metres toward the goal that side attacks (side * x).
double offsideline(int side) {
    double first = -1e9, second = -1e9; // the two deepest opponents
    for (const Player &p : Players) {
        if (!p.on || p.side == side)
            continue;
        double d = side * p.x;
        if (d > first) {
            second = first;
            first = d;
        } else if (d > second) {
            second = d;
        }
    }
    return side * std::max({second, side * TheBall.x, 0.0});
}

// markoffside: slot touched the ball; mark the team-mates beyond the line.
static void markoffside(int slot, int mode) {
    std::fill(OffsideMark, OffsideMark + MaxPlayers, false);
    if (!Opt.offside || mode == ModeGoalKick || mode == ModeKickIn || mode == ModeCornerKick)
        return;
    int side = Players[slot].side;
    double line = offsideline(side);
    for (int i = 0; i < MaxPlayers; i++) {
        const Player &p = Players[i];
        if (!p.on || p.side != side || i == slot || side * (p.x - line) <= 0)
            continue;
        OffsideMark[i] = true;
        OffsideMarkX[i] = line;
        OffsideMarkY[i] = p.y;
    }
}

// The marked spot, but the goal-area corner when that lies in a goal area or beyond a
// goal line, and a metre inside the lines when it lies off the pitch.
static void calloffside(int slot) {
    double x = OffsideMarkX[slot], y = OffsideMarkY[slot];
    OffsideSpotX = x;
    OffsideSpotY = y;
    double ax = std::fabs(x), ay = std::fabs(y);
    bool goalarea = ax >= PitchHalfLength - GoalAreaLength && ay <= GoalAreaHalfWidth;
    if (ax > PitchHalfLength || goalarea) {
        x = std::copysign(PitchHalfLength - GoalAreaLength, x);
        y = std::copysign(GoalAreaHalfWidth, y);
    } else if (ay > PitchHalfWidth) {
        x = clampd(x, 1 - PitchHalfLength, PitchHalfLength - 1);
        y = clampd(y, 1 - PitchHalfWidth, PitchHalfWidth - 1);
    }
    offence(ModeOffside, Players[slot].side, x, y);
}

static void callfault(int slot) {
    offence(ModeFreeKickFault, Players[slot].side, TheBall.x, TheBall.y);
}

static bool faulttouch(int slot) {
    return Opt.freekickfault && slot == SetPlayTaker && TakerDashed;
}

int kickoffence(int slot) {
    const Player &p = Players[slot];
    double d = std::hypot(TheBall.x - p.x, TheBall.y - p.y);
    if (Opt.offside && OffsideMark[slot] && d < OffsideActiveArea) {
        calloffside(slot);
        return KickOffside;
    }
    if (faulttouch(slot) && kickable(p)) {
        callfault(slot);
        return KickFaulted;
    }
    return KickFree;
}

bool touchfault(int slot) {
    if (!faulttouch(slot))
        return false;
    callfault(slot);
    return true;
}

// After a kick or touch by slot: whoever else took the set play may play again, and the
// indirect free kick has been touched by a second player.
static void touched(int slot) {
    if (slot != SetPlayTaker)
        SetPlayTaker = -1;
    if (slot != IndirectTaker)
        IndirectTaker = -1;
}

void notebackpass(int slot, bool kicked) {
    CycleTouched[sideindex(Players[slot].side)] = true;
    if (CycleTouched[0] && CycleTouched[1]) {
        LastPasser = BeforePasser = -1;
        return;
    }
    if (!kicked)
        return;
    if (LastPasser != slot) {
        BeforePasser = LastPasser;
        LastPasser = slot;
    }
    PassTime = Time;
}

void newcycle() {
    CycleTouched[0] = CycleTouched[1] = false;
}

void notekick(int slot, int frommode) {
    touched(slot);
    if (setplay(frommode) || frommode == ModeGoalKick) {
        SetPlayTaker = slot;
        TakerDashed = false;
    }
    if (frommode == ModeIndirectFreeKick)
        IndirectTaker = slot;
    markoffside(slot, frommode);
}

void notetouch(int slot) {
    if (Opt.offside && OffsideMark[slot]) {
        calloffside(slot);
        return;
    }
    if (touchfault(slot))
        return;
    touched(slot);
    markoffside(slot, Mode);
}

void notedash(int slot) {
    if (slot == SetPlayTaker)
        TakerDashed = true;
}

bool catchisbackpass(int slot) {
    if (!Opt.backpass || LastPasser < 0)
        return false;
    int side = Players[slot].side;
    if (Players[LastPasser].side != side)
        return false;
    bool afteropponent = BeforePasser >= 0 && Players[BeforePasser].side != side;
    if (LastPasser == slot && afteropponent)
        return false; // his own kick after an opponent's
    if (Time == PassTime && (BeforePasser < 0 || afteropponent))
        return false; // kicked and caught in one cycle
    return true;
}

bool indirectpending() {
    return IndirectTaker >= 0;
}

// In the last steps of every offence's pause the offenders are cleared from the ball: 9.15 m
// as at any free kick, 5.5 m before the indirect free kick of a back pass. In an offside
// pause they are also kept out of the active area around the spot where the offside was
// (a circle of 2.5 m) and sent back 9.15 m behind the spot when they stand ahead of it or
// off the pitch; these keep their speed.
void offencepause() {
    int side = ModeSide;
    if (ModeSteps > FaultPause - ClearingSteps)
        clearfromball(side, Mode == ModeBackPass ? GoalAreaLength : CentreCircleRadius);
    if (Mode != ModeOffside)
        return;
    const double sx = OffsideSpotX, sy = OffsideSpotY;
    // the offenders' part of the pitch: from their own goal line to the spot
    const double left = side > 0 ? -PitchHalfLength : sx, right = side > 0 ? sx : PitchHalfLength;
    for (Player &p : Players) {
        if (!p.on || p.side != side)
            continue;
        double dx = p.x - sx, dy = p.y - sy;
        double d = std::sqrt(dx * dx + dy * dy);
        if (d <= OffsideActiveArea) {
            if (dx == 0 && dy == 0)
                dx = dy = Tiny;
            double f = OffsideActiveArea / std::max(d, Tiny);
            p.x = sx + dx * f;
            p.y = sy + dy * f;
        }
        if (p.x >= left && p.x <= right && std::fabs(p.y) <= PitchHalfWidth)
            continue;
        double edge = std::fabs(p.x - left) < std::fabs(p.x - right) ? left : right;
        p.x = edge - side * CentreCircleRadius;
        p.y = clampd(p.y, -PitchHalfWidth, PitchHalfWidth);
    }
}

} // namespace vorn::pitch
