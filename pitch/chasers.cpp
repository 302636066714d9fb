// chasers.cpp -- the built-in opponent.
//
// Each robot decides once per step from the true world state (it needs no see) and
// issues at most one body command through the same cmd* functions a client's text
// reaches, so the one-body-command rule, stamina and the referee apply unchanged; the
// text log has each command as if the robot had sent it, the record too (marked as a
// robot's, without a time after a sense_body). They
// also read what the referee remembers, to keep out of offences: no robot plays the ball
// from an offside position or twice after taking a set play, the formation stays onside,
// and the goalie catches neither a back pass nor, having dashed since, his own set play.
// Positions below are in the robots' own frame (own goal at negative x); RobotSide maps
// them to world coordinates: unchanged on the left, negated on the right.

#include "pitch/chasers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "pitch/command.h"
#include "pitch/connect.h"
#include "pitch/geom.h"
#include "pitch/offences.h"
#include "pitch/params.h"
#include "pitch/record.h"
#include "pitch/referee.h"
#include "pitch/textlog.h"
#include "pitch/types.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Home positions of uniform numbers 1..11, own frame.
static const double Home[TeamSize][2] = {
    {-50, 0},                                    // 1 goalie
    {-36, -20}, {-38, -7}, {-38, 7},  {-36, 20}, // 2-5 defenders
    {-22, -15}, {-22, 0},  {-22, 15},            // 6-8 midfield
    {-12, -22}, {-12, 0},  {-12, 22},            // 9-11 forwards
};

// Globals
static int RobotSide = -1; // +1 left, -1 right: world = RobotSide * own frame

// The robots claim their side before anyone connects, so the first team to connect plays
// on the other side against them.
bool chasersjoin() {
    RobotSide = Opt.chasersleft ? 1 : -1;
    char *name = TeamName[sideindex(RobotSide)];
    if (name[0])
        return false;
    std::snprintf(name, TeamNameMax + 1, "%s", ChaserTeam);
    char err[80];
    for (int u = 1; u <= TeamSize; u++)
        if (joinplayer(ChaserTeam, u == 1, true, err, sizeof err) < 0)
            return false;
    return true;
}

// The robots' commands: each is written to the text log as a client's datagram would be
// before it is carried out, then to the record with what became of it.
struct Said {
    char text[64];
    size_t len;
};

static Said said(int slot, int kind, double a, double b, int args) {
    Said s;
    const char *name = kindname(kind);
    int n = args == 1 ? std::snprintf(s.text, sizeof s.text, "(%s %.6g)", name, a)
                      : std::snprintf(s.text, sizeof s.text, "(%s %.6g %.6g)", name, a, b);
    s.len = static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof s.text) - 1));
    textlogrecv(slot, s.text, s.len);
    return s;
}

static void turn(int slot, double moment) {
    Said s = said(slot, KindTurn, moment, 0, 1);
    noterobotcommand(slot, KindTurn, cmdturn(slot, moment), s.text, s.len);
}

static void dash(int slot, double power, double dir) {
    Said s = said(slot, KindDash, power, dir, 2);
    noterobotcommand(slot, KindDash, cmddash(slot, power, dir), s.text, s.len);
}

static void kick(int slot, double power, double dir) {
    Said s = said(slot, KindKick, power, dir, 2);
    noterobotcommand(slot, KindKick, cmdkick(slot, power, dir), s.text, s.len);
}

static void catchat(int slot, double dir) {
    Said s = said(slot, KindCatch, dir, 0, 1);
    noterobotcommand(slot, KindCatch, cmdcatch(slot, dir), s.text, s.len);
}

static void move(int slot, double x, double y) {
    Said s = said(slot, KindMove, x, y, 2);
    noterobotcommand(slot, KindMove, cmdmove(slot, x, y), s.text, s.len);
}

// relangle: the direction of (dx, dy) relative to p's body, in degrees as a command takes it.
static double relangle(const Player &p, double dx, double dy) {
    return normrad(dirrad(dx, dy) - p.body) * RadToDeg;
}

// runto: face the target first, then run; arrive means within tolerance.
static void runto(int slot, double wx, double wy, double tolerance, double power) {
    Player &p = Players[slot];
    double dx = wx - p.x, dy = wy - p.y;
    if (std::hypot(dx, dy) < tolerance)
        return;
    double a = relangle(p, dx, dy);
    if (std::fabs(a) > 12)
        turn(slot, a * (1 + ptype(p).inertia * std::hypot(p.vx, p.vy)));
    else
        dash(slot, power, 0);
}

static void faceball(int slot) {
    Player &p = Players[slot];
    double a = relangle(p, TheBall.x - p.x, TheBall.y - p.y);
    if (std::fabs(a) > 20)
        turn(slot, a);
}

// kicktoward: kick the ball at full power toward a world point.
static void kicktoward(int slot, double wx, double wy) {
    const Player &p = Players[slot];
    kick(slot, 100, relangle(p, wx - TheBall.x, wy - TheBall.y));
}

// ourrestart: the ball is ours to play (or soon will be: in the pause after the other
// side's offence the side letter names the offenders).
static bool ourrestart() {
    if (Mode == ModePlayOn || Mode == ModeDropBall)
        return true;
    if (stoppage())
        return Mode != ModeGoal && ModeSide == -RobotSide;
    return ModeSide == RobotSide;
}

static void goalie(int slot) {
    Player &g = Players[slot];
    const Ball &b = TheBall;
    if (b.holder == slot) {
        if (ModeSteps >= 10)
            kicktoward(slot, RobotSide * PitchHalfLength, b.y < 0 ? -20 : 20);
        return;
    }
    double d = std::hypot(b.x - g.x, b.y - g.y);
    bool fault = slot == SetPlayTaker && TakerDashed;
    if (Mode == ModePlayOn && d < CatchAreaLength && inpenaltyarea(RobotSide, b.x, b.y, 0) &&
        !catchisbackpass(slot) && !fault) {
        catchat(slot, clampd(relangle(g, b.x - g.x, b.y - g.y), -90, 90));
        return;
    }
    if (kickable(g) && ourrestart() && !fault) {
        kicktoward(slot, RobotSide * PitchHalfLength, 0);
        return;
    }
    // keep to the goal line, between the ball and the goal centre
    double tx = -RobotSide * (PitchHalfLength - 1.5),
           ty = clampd(b.y * 0.25, -GoalHalfWidth + 1, GoalHalfWidth - 1);
    double dx = tx - g.x, dy = ty - g.y;
    if (std::hypot(dx, dy) > 0.6)
        dash(slot, 100, relangle(g, dx, dy));
    else
        faceball(slot);
}

// chaser: the field robot nearest the ball (ties to the lower number), leaving out the
// ones marked offside and the one who took the set play (running after the ball he
// kicked means dashing before he may touch it again).
static int chaser() {
    int best = -1;
    double bestd = 1e9;
    for (int u = 2; u <= TeamSize; u++) {
        int s = slotof(RobotSide, u);
        const Player &p = Players[s];
        if (!p.on || OffsideMark[s] || s == SetPlayTaker)
            continue;
        double d = std::hypot(TheBall.x - p.x, TheBall.y - p.y);
        if (d < bestd) {
            bestd = d;
            best = s;
        }
    }
    return best;
}

static void fielder(int slot, bool chasing) {
    Player &p = Players[slot];
    if (chasing && ourrestart()) {
        if (kickable(p))
            kicktoward(slot, RobotSide * PitchHalfLength, 0);
        else
            runto(slot, TheBall.x, TheBall.y, 0, 100);
        return;
    }
    // formation: home position shifted toward the ball's depth, a metre onside
    const double *h = Home[p.unum - 1];
    double ballown = RobotSide * TheBall.x; // ball x in our frame
    double onside = RobotSide * offsideline(RobotSide) - 1;
    double hx = std::min(clampd(h[0] + 0.5 * (ballown + 10), -45, 40), onside);
    double hy = h[1] + 0.2 * RobotSide * TheBall.y;
    runto(slot, RobotSide * hx, RobotSide * hy, 2, 60);
    if (!p.bodyused)
        faceball(slot);
}

void chasersact() {
    if (Mode == ModeTimeOver)
        return;
    int chase = chaser();
    for (int u = 1; u <= TeamSize; u++) {
        int slot = slotof(RobotSide, u);
        Player &p = Players[slot];
        if (!p.on || !p.robot)
            continue;
        if (Mode == ModeBeforeKickOff || Mode == ModeGoal) {
            const double *h = Home[u - 1];
            if (std::hypot(p.x - RobotSide * h[0], p.y - RobotSide * h[1]) > 0.5)
                move(slot, h[0], h[1]);
            else
                faceball(slot);
            continue;
        }
        if (u == 1)
            goalie(slot);
        else
            fielder(slot, slot == chase);
    }
}

} // namespace vorn::pitch
