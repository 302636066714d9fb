// physics.cpp -- how players and the ball move.
//
// Per step every object takes its queued acceleration (capped), gets its speed capped,
// receives noise proportional to its speed, bounces off goal posts, moves by its velocity
// and then slows down by its decay. Players turn more slowly the faster they run (inertia
// moment). Overlaps are resolved afterwards, and each object that collided bounces back
// with a tenth of its speed. Angles are radians throughout; the degrees of a command are
// converted where the command is taken. A player's own parameters come from its type.

#include "pitch/physics.h"

#include <cmath>

#include "pitch/geom.h"
#include "pitch/params.h"
#include "pitch/rng.h"
#include "pitch/types.h"

namespace vorn::pitch {

static void capvector(double &x, double &y, double max) {
    double len = std::hypot(x, y);
    if (len > max) {
        x *= max / len;
        y *= max / len;
    }
}

// addnoise: a random vector of length uniform in [0, scale] and uniform direction.
static void addnoise(double &x, double &y, double scale) {
    if (!Opt.noise || scale <= 0)
        return;
    double len = urand(0, scale);
    double dir = urand(-Pi, Pi);
    x += len * std::cos(dir);
    y += len * std::sin(dir);
}

// The dash direction rate: full power straight ahead, 0.4 sideways, 0.7 straight back.
static double dashdirrate(double dir) {
    double a = std::fabs(dir) * RadToDeg;
    if (a <= 90)
        return 0.4 + 0.6 * (1 - a / 90);
    return 0.7 - 0.3 * (1 - (a - 90) / 90);
}

// dash: the queued dash becomes an acceleration. When the stamina (with the extra
// stamina) cannot pay for it, what is left is split between the legs: each asks half the
// power, the left leg's share of what is left is settled first, and the right leg's is
// then computed against the left's already reduced share. The right leg so pushes harder,
// the player gets the mean of the two pushes, and the difference turns the body.
static void dash(Player &p) {
    const PlayerType &t = ptype(p);
    double power = p.dashpower, left = power / 2, right = power / 2;
    double avail = p.stamina + t.extrastamina;
    bool split = power > avail;
    if (split) {
        left = avail * left / (left + right);
        right = avail * right / (left + right);
        power = avail;
    }
    p.stamina = std::max(0.0, p.stamina - power);
    double rate = p.effort * t.dashrate * dashdirrate(p.dashdir);
    double dir = p.body + p.dashdir;
    double cx = std::cos(dir), cy = std::sin(dir);
    double accleft = rate * 2 * left, accright = rate * 2 * right;
    double acc = (accleft + accright) / 2;
    p.ax += acc * cx;
    p.ay += acc * cy;
    if (!split)
        return;
    double bx = std::cos(p.body), by = std::sin(p.body);
    double vleft = (p.vx + accleft * cx) * bx + (p.vy + accleft * cy) * by;
    double vright = (p.vx + accright * cx) * bx + (p.vy + accright * cy) * by;
    p.nextbody = normrad(p.nextbody + (vleft - vright) / (2 * PlayerSize));
}

void applydashes() {
    for (Player &p : Players) {
        if (p.on && p.dashqueued && p.dashpower > 0)
            dash(p);
        p.dashqueued = false;
        p.dashpower = 0;
        p.dashdir = 0;
        p.bodyused = false;
        p.neckused = false;
    }
}

void commitangles() {
    for (Player &p : Players) {
        if (!p.on)
            continue;
        p.body = normrad(p.nextbody);
        p.neck = p.nextneck;
    }
}

void zeromotion() {
    for (Player &p : Players)
        p.vx = p.vy = p.ax = p.ay = 0;
    TheBall.vx = TheBall.vy = TheBall.ax = TheBall.ay = 0;
}

// bounceposts: an object of radius r that would end inside a goal post is stopped at
// the post's surface and its velocity is reflected about the contact normal.
static void bounceposts(double &x, double &y, double &vx, double &vy, double r) {
    static const double posts[4][2] = {{GoalPostX, GoalPostY},
                                       {GoalPostX, -GoalPostY},
                                       {-GoalPostX, GoalPostY},
                                       {-GoalPostX, -GoalPostY}};
    for (const auto &post : posts) {
        double nx = x + vx - post[0], ny = y + vy - post[1];
        double d = std::hypot(nx, ny);
        double touch = r + GoalPostRadius;
        if (d >= touch || d == 0)
            continue;
        nx /= d;
        ny /= d;
        double dot = vx * nx + vy * ny;
        if (dot < 0) {
            vx -= 2 * dot * nx;
            vy -= 2 * dot * ny;
        }
        // end the move on the surface: from the contact point along the new velocity
        x = post[0] + nx * touch - vx;
        y = post[1] + ny * touch - vy;
    }
}

static void moveone(double &x, double &y, double &vx, double &vy, double &ax, double &ay,
                    double accmax, double speedmax, double rand, double decay, double r) {
    capvector(ax, ay, accmax);
    vx += ax;
    vy += ay;
    capvector(vx, vy, speedmax);
    addnoise(vx, vy, rand * std::hypot(vx, vy));
    bounceposts(x, y, vx, vy, r);
    x += vx;
    y += vy;
    vx *= decay;
    vy *= decay;
    ax = ay = 0;
}

void moveobjects() {
    for (Player &p : Players) {
        if (!p.on)
            continue;
        p.body = normrad(p.nextbody);
        p.neck = p.nextneck;
        moveone(p.x, p.y, p.vx, p.vy, p.ax, p.ay, PlayerAccelMax, PlayerSpeedMax, PlayerRand,
                ptype(p).decay, PlayerSize);
    }
    Ball &b = TheBall;
    b.prevx = b.x;
    b.prevy = b.y;
    if (b.holder < 0)
        moveone(b.x, b.y, b.vx, b.vy, b.ax, b.ay, BallAccelMax, BallSpeedMax, BallRand, BallDecay,
                BallSize);
}

// Collisions are resolved the way the real server resolves them, to the last bit: each
// overlap proposes a place for both objects, an object that takes part in several overlaps
// of one pass goes to the mean of its proposals, and up to ten passes are made. Overlaps
// are tested on squared distances, and vectors are scaled by their length taken as the
// square root of the squared components (not hypot, which may round the other way).

// Proposal: the places proposed for one object in the current pass.
struct Proposal {
    double x, y;
    int count;
    bool hit; // took part in an overlap during this collision check
};

static void propose(Proposal &p, double x, double y) {
    p.x += x;
    p.y += y;
    p.count++;
    p.hit = true;
}

static double length(double x, double y) {
    return std::sqrt(x * x + y * y);
}

// scaleto: (x, y) scaled to length l (a zero vector is scaled as if it were very short).
static void scaleto(double &x, double &y, double l) {
    double f = l / std::max(length(x, y), Tiny);
    x *= f;
    y *= f;
}

static double dist2(double ax, double ay, double bx, double by) {
    double dx = ax - bx, dy = ay - by;
    return dx * dx + dy * dy;
}

// apart: a and b (sizes summing to touch) pushed apart alike from their midpoint until
// they just do not overlap; objects on top of each other part in a random direction.
static void apart(double ax, double ay, double bx, double by, double touch, Proposal &pa,
                  Proposal &pb) {
    double mx = ax + bx, my = ay + by;
    mx /= 2.0;
    my /= 2.0;
    double ax2 = ax - mx, ay2 = ay - my, bx2 = bx - mx, by2 = by - my;
    double half = touch / 2.0 + Tiny;
    if ((ax == bx && ay == by) || (length(ax2, ay2) < Tiny && length(bx2, by2) < Tiny)) {
        double a = urand(-Pi, Pi), b = normrad(a + Pi);
        ax2 = half * std::cos(a);
        ay2 = half * std::sin(a);
        bx2 = half * std::cos(b);
        by2 = half * std::sin(b);
    } else {
        scaleto(ax2, ay2, half);
        scaleto(bx2, by2, half);
    }
    double apx = mx + ax2, apy = my + ay2, bpx = mx + bx2, bpy = my + by2;
    const double touch2 = std::pow(touch, 2);
    for (int count = 0; dist2(apx, apy, bpx, bpy) < touch2 && count < 10; count++) {
        scaleto(ax2, ay2, length(ax2, ay2) * 1.0001);
        scaleto(bx2, by2, length(bx2, by2) * 1.0001);
        apx = mx + ax2;
        apy = my + ay2;
        bpx = mx + bx2;
        bpy = my + by2;
    }
    propose(pa, apx, apy);
    propose(pb, bpx, bpy);
}

// offball: outside play_on the ball stays where it is and the player is put just off it.
static void offball(const Ball &b, const Player &p, Proposal &pb, Proposal &pp) {
    double dx, dy;
    const double touch = BallSize + PlayerSize + Tiny;
    if (b.x == p.x && b.y == p.y) {
        double a = urand(-Pi, Pi);
        dx = touch * std::cos(a);
        dy = touch * std::sin(a);
    } else {
        dx = p.x - b.x;
        dy = p.y - b.y;
        scaleto(dx, dy, touch);
    }
    propose(pb, b.x, b.y);
    propose(pp, b.x + dx, b.y + dy);
}

static void settle(double &x, double &y, Proposal &p) {
    if (p.count > 0) {
        p.x /= p.count;
        p.y /= p.count;
        x = p.x;
        y = p.y;
    }
    p.x = p.y = 0;
    p.count = 0;
}

void collide(TouchJudge judge) {
    Proposal props[MaxPlayers] = {}, ball = {};
    Ball &b = TheBall;
    const double balltouch2 = std::pow(BallSize + PlayerSize, 2);
    const double playertouch2 = std::pow(PlayerSize + PlayerSize, 2);
    bool any = false;
    for (int pass = 0; pass < 10; pass++) {
        any = false;
        for (int i = 0; i < MaxPlayers; i++) {
            Player &p = Players[i];
            if (!p.on || i == b.holder || dist2(b.x, b.y, p.x, p.y) >= balltouch2)
                continue;
            any = true;
            // The touch is ruled on first; the ruling may place the ball elsewhere, and the
            // overlap is then resolved against its new place, by the new play mode.
            if (judge(i))
                apart(b.x, b.y, p.x, p.y, BallSize + PlayerSize, ball, props[i]);
            else
                offball(b, p, ball, props[i]);
        }
        for (int i = 0; i < MaxPlayers; i++) {
            for (int j = i + 1; j < MaxPlayers; j++) {
                Player &p = Players[i], &q = Players[j];
                if (!p.on || !q.on || dist2(p.x, p.y, q.x, q.y) >= playertouch2)
                    continue;
                any = true;
                apart(p.x, p.y, q.x, q.y, PlayerSize + PlayerSize, props[i], props[j]);
            }
        }
        settle(b.x, b.y, ball);
        for (int i = 0; i < MaxPlayers; i++)
            settle(Players[i].x, Players[i].y, props[i]);
        if (!any)
            break;
    }
    for (int i = 0; i < MaxPlayers; i++) {
        if (props[i].hit) {
            Players[i].vx *= -0.1;
            Players[i].vy *= -0.1;
        }
    }
    if (ball.hit) {
        b.vx *= -0.1;
        b.vy *= -0.1;
    }
}

void placeheldball() {
    Ball &b = TheBall;
    if (b.holder < 0)
        return;
    const Player &g = Players[b.holder];
    b.x = g.x + (PlayerSize + BallSize) * std::cos(g.body);
    b.y = g.y + (PlayerSize + BallSize) * std::sin(g.body);
    b.vx = b.vy = b.ax = b.ay = 0;
}

void updatestamina() {
    for (Player &p : Players) {
        if (!p.on)
            continue;
        const PlayerType &t = ptype(p);
        if (p.stamina <= EffortDecThr * StaminaMax) {
            p.recovery = std::max(RecoveryMin, p.recovery - RecoveryDec);
            p.effort = std::max(t.effortmin, p.effort - EffortDec);
        }
        if (p.stamina >= EffortIncThr * StaminaMax)
            p.effort = std::min(t.effortmax, p.effort + EffortInc);
        double inc = std::min(p.recovery * t.staminainc, StaminaMax - p.stamina);
        inc = std::min(inc, p.capacity);
        p.stamina += inc;
        p.capacity -= inc;
        p.hearmate = std::min(1.0, p.hearmate + 1);
        p.hearopp = std::min(1.0, p.hearopp + 1);
        if (p.catchban > 0)
            p.catchban--;
    }
}

void turnby(Player &p, double moment) {
    double m = clampd(moment, -180, 180) * DegToRad;
    double r = Opt.noise ? urand(-PlayerRand, PlayerRand) : 0;
    double speed = std::hypot(p.vx, p.vy);
    p.nextbody = normrad(p.body + m * (1 + r) / (1 + ptype(p).inertia * speed));
}

void turnneckby(Player &p, double moment) {
    double m = clampd(moment, -180, 180) * DegToRad;
    p.nextneck = clampd(p.neck + m, -NeckMax * DegToRad, NeckMax * DegToRad);
}

void queuedash(Player &p, double power, double dir) {
    p.dashqueued = true;
    p.dashpower = clampd(power, 0, 100);
    p.dashdir = std::round(clampd(dir, -180, 180)) * DegToRad;
}

// The farther the ball is from the foot and the more it lies to the side or behind, the
// less of the kick's power reaches it.
// The ball's distance beyond touching and its direction from the body; the distance is
// negative when the two overlap, and the kick is then stronger, as on the real server.
static void kickgeometry(const Player &p, double &gap, double &theta) {
    double dx = TheBall.x - p.x, dy = TheBall.y - p.y;
    gap = length(dx, dy) - PlayerSize - BallSize;
    theta = std::fabs(normrad(dirrad(dx, dy) - p.body));
}

double kickpower(const Player &p, double power) {
    double gap, theta;
    kickgeometry(p, gap, theta);
    return power * KickPowerRate * (1 - 0.25 * theta / Pi - 0.25 * gap / ptype(p).kickmargin);
}

double kickball(Player &p, double power, double dir) {
    power = clampd(power, -100, 100);
    const PlayerType &t = ptype(p);
    Ball &b = TheBall;
    double gap, theta;
    kickgeometry(p, gap, theta);
    double eff = kickpower(p, power);
    double a = p.body + clampd(dir, -180, 180) * DegToRad;
    double ax = eff * std::cos(a), ay = eff * std::sin(a);
    double posrate = 0.5 + 0.25 * (theta / Pi + gap / t.kickmargin);
    double speedrate = 0.5 + 0.5 * length(b.vx, b.vy) / (BallSpeedMax * BallDecay);
    addnoise(ax, ay, t.kickrand * std::fabs(power) / 100 * (posrate + speedrate));
    b.ax += ax;
    b.ay += ay;
    b.holder = -1;
    return length(ax, ay);
}

// The catch rectangle reaches 1.2 m out from the goalie's centre in the catch direction
// (longer for some player types) and is 1 m wide.
bool incatcharea(const Player &p, double dir) {
    double a = p.body + clampd(dir, -90, 90) * DegToRad;
    double dx = TheBall.x - p.x, dy = TheBall.y - p.y;
    double along = dx * std::cos(a) + dy * std::sin(a);
    double across = -dx * std::sin(a) + dy * std::cos(a);
    double length = CatchAreaLength * ptype(p).catchstretch;
    return along >= 0 && along <= length && std::fabs(across) <= CatchAreaWidth / 2;
}

// The goalie steps up to the ball, to where the two just touch, turns to face it and
// stops. The turn is his at once, but what he sees until the next step still looks along
// the direction committed then. (A ball closer than that makes him step back from it,
// facing away, as on the real server.) Whether he holds the ball is the referee's ruling.
void catchball(int slot) {
    Player &g = Players[slot];
    double dx = TheBall.x - g.x, dy = TheBall.y - g.y;
    scaleto(dx, dy, length(dx, dy) - (BallSize + PlayerSize));
    g.x += dx;
    g.y += dy;
    g.nextbody = dirrad(dx, dy);
    g.vx = g.vy = g.ax = g.ay = 0;
    g.moves = 0;
}

void keepinmargin(Player &p) {
    p.x = clampd(p.x, -PitchHalfLength - PitchMargin, PitchHalfLength + PitchMargin);
    p.y = clampd(p.y, -PitchHalfWidth - PitchMargin, PitchHalfWidth + PitchMargin);
}

void restorestamina(Player &p) {
    p.stamina = StaminaMax;
    p.effort = ptype(p).effortmax;
    p.recovery = 1;
    p.capacity = StaminaCapacity;
}

} // namespace vorn::pitch
