// vision.cpp -- what a player perceives: the see and sense_body messages.
//
// An object is in view when its direction from the player's face lies strictly inside
// half the view cone and it is nearer than the field's diagonal; out of view but within
// 3 m it is felt (upper-case name, distance and direction only). Distances are printed
// after a logarithmic quantisation, directions truncated toward zero. Change values
// appear always within 20 m, never beyond 40 m, and with falling probability between;
// players lose first their number, then their team name, the farther away they are.
// Directions are worked out in radians and only converted when printed.

#include "pitch/vision.h"

#include <cmath>

#include "pitch/geom.h"
#include "pitch/landmarks.h"
#include "pitch/params.h"
#include "pitch/referee.h"
#include "pitch/rng.h"

namespace vorn::pitch {

// Look: where an object lies as seen from a player.
struct Look {
    double d;      // true distance
    double dir;    // direction relative to the face, radians
    double dx, dy; // object - observer
    bool inview;   // inside the view cone and range
    bool felt;     // out of view but close enough to feel
};

double viewhalfangle(int width) {
    return width == ViewNarrow ? 22.5 : (width == ViewWide ? 90 : 45);
}

int seeticks(const Player &p) {
    int n = p.viewwidth == ViewNarrow ? 2 : (p.viewwidth == ViewWide ? 8 : 4);
    return p.lowquality ? n / 2 : n;
}

static Look look(const Player &me, double ox, double oy) {
    Look l;
    l.dx = ox - me.x;
    l.dy = oy - me.y;
    l.d = std::hypot(l.dx, l.dy);
    l.dir = fromface(dirrad(l.dx, l.dy), me.body, me.neck);
    l.inview = std::fabs(l.dir) < viewhalfangle(me.viewwidth) * DegToRad && l.d < VisibleDiagonal;
    l.felt = !l.inview && l.d <= FeelDistance;
    return l;
}

// chance that an object at printed distance qd loses a detail that is always shown
// below near and never beyond far
static double lossprob(double qd, double near, double far) {
    return clampd((qd - near) / (far - near), 0, 1);
}

// putchanges: " distchg dirchg" of an object moving at (vx, vy) seen by me.
static void putchanges(Out &o, const Player &me, const Look &l, double qd, double vx, double vy) {
    double rx = vx - me.vx, ry = vy - me.vy;
    double distchg = 0, dirchg = 0;
    if (l.d > 1e-10) {
        double ex = l.dx / l.d, ey = l.dy / l.d;
        distchg = qd * quantise((rx * ex + ry * ey) / l.d, 0.02);
        dirchg = (ry * ex - rx * ey) / l.d * RadToDeg;
        dirchg = dirchg == 0 ? 0 : quantise(dirchg, 0.1); // no -0 for a change of nothing
    }
    putc1(o, ' ');
    putnum(o, distchg);
    putc1(o, ' ');
    putnum(o, dirchg);
}

// putdistdir: " dist dir" in high quality, " dir" in low.
static void putdistdir(Out &o, const Player &me, double qd, double dir) {
    if (!me.lowquality) {
        putc1(o, ' ');
        putnum(o, qd);
    }
    putc1(o, ' ');
    putint(o, truncdir(dir));
}

// putfelt: an object close behind or beside: "((B) 2.1 170)".
static void putfelt(Out &o, const Player &me, const char *name, const Look &l, double q) {
    put(o, " ((");
    put(o, name);
    put(o, ")");
    putdistdir(o, me, qdist(l.d, q), l.dir);
    put(o, ")");
}

// putstill: a landmark or the ball, with change values when near enough.
static void putthing(Out &o, const Player &me, const char *name, const char *feltname, double x,
                     double y, double vx, double vy, double q) {
    Look l = look(me, x, y);
    if (l.felt) {
        putfelt(o, me, feltname, l, q);
        return;
    }
    if (!l.inview)
        return;
    double qd = qdist(l.d, q);
    put(o, " ((");
    put(o, name);
    put(o, ")");
    putdistdir(o, me, qd, l.dir);
    if (!me.lowquality && !chance(lossprob(qd, 20, 40)))
        putchanges(o, me, l, qd, vx, vy);
    put(o, ")");
}

static void putplayer(Out &o, const Player &me, const Player &p) {
    Look l = look(me, p.x, p.y);
    if (l.felt) {
        putfelt(o, me, "P", l, MovableQuantStep);
        return;
    }
    if (!l.inview)
        return;
    double qd = qdist(l.d, MovableQuantStep);
    const char *team = seenteam(me.side, p.side);
    if (chance(lossprob(qd, 40, 60))) {
        put(o, " ((p)");
        putdistdir(o, me, qd, l.dir);
    } else if (chance(lossprob(qd, 20, 40))) {
        put(o, " ((p \"");
        put(o, team);
        put(o, "\")");
        putdistdir(o, me, qd, l.dir);
    } else {
        put(o, " ((p \"");
        put(o, team);
        put(o, "\" ");
        putint(o, p.unum);
        if (p.goalie)
            put(o, " goalie");
        put(o, ")");
        putdistdir(o, me, qd, l.dir);
        if (!me.lowquality) {
            putchanges(o, me, l, qd, p.vx, p.vy);
            putc1(o, ' ');
            putint(o, truncdir(p.body - me.body - me.neck));
            putc1(o, ' ');
            putint(o, truncdir(p.body + p.neck - me.body - me.neck));
        }
    }
    put(o, ")");
}

// One touch line or goal line as a candidate for the line rule.
struct LineDef {
    const char *name;
    bool vertical; // x = at (goal lines) or y = at (touch lines)
    double at;     // the line's coordinate
    double normal; // direction from the pitch's inside toward the line, radians
};

static const LineDef Lines[4] = {
    {"l l", true, -PitchHalfLength, Pi},
    {"l r", true, PitchHalfLength, 0},
    {"l t", false, -PitchHalfWidth, -Pi / 2},
    {"l b", false, PitchHalfWidth, Pi / 2},
};

// A line is reported when the centre line of sight runs toward it and meets it on the
// stretch that borders the pitch; its distance is measured along the line of sight and
// its direction is the angle between the line and the line of sight. That angle is the
// normal less the body, less the neck, normalised once at the end: the order decides on
// which side of a whole degree the truncated direction falls.
void putlines(Out &o, double x, double y, double body, double neck, bool lowquality) {
    bool inside = std::fabs(x) < PitchHalfLength && std::fabs(y) < PitchHalfWidth;
    int max = inside ? 1 : 2, found = 0;
    double face = body + neck;
    double fx = std::cos(face), fy = std::sin(face);
    for (const LineDef &ln : Lines) {
        if (found >= max)
            break;
        double own = ln.vertical ? x : y;
        double normal = ln.normal;
        bool beyond = (ln.at > 0 && own > ln.at) || (ln.at < 0 && own < ln.at);
        if (beyond)
            normal += Pi;
        double sigma = normrad(normal - body - neck);
        if (std::fabs(sigma) >= Pi / 2)
            continue;
        double offset = ln.at - own;
        double along = ln.vertical ? fx : fy;
        if (std::fabs(along) < 1e-12)
            continue;
        double t = offset / along; // distance along the line of sight
        double hit = ln.vertical ? y + t * fy : x + t * fx;
        double span = ln.vertical ? PitchHalfWidth : PitchHalfLength;
        if (t < 0 || hit < -span || hit > span)
            continue;
        double dist = std::fabs(offset / std::cos(sigma));
        double dir = sigma > 0 ? sigma - Pi / 2 : sigma + Pi / 2;
        put(o, " ((");
        put(o, ln.name);
        put(o, ")");
        if (!lowquality) {
            putc1(o, ' ');
            putnum(o, qdist(dist, LandmarkQuantStep));
        }
        putc1(o, ' ');
        putint(o, truncdir(dir));
        put(o, ")");
        found++;
    }
}

void buildsee(int slot, Out &o) {
    const Player &me = Players[slot];
    put(o, "(see ");
    putint(o, Time);
    for (const Landmark &lm : Landmarks)
        putthing(o, me, lm.name, lm.goal ? "G" : "F", lm.x, lm.y, 0, 0, LandmarkQuantStep);
    putthing(o, me, "b", "B", TheBall.x, TheBall.y, TheBall.vx, TheBall.vy, MovableQuantStep);
    for (int i = 0; i < MaxPlayers; i++)
        if (i != slot && Players[i].on)
            putplayer(o, me, Players[i]);
    putlines(o, me.x, me.y, me.body, me.neck, me.lowquality);
    put(o, ")");
}

void buildsensebody(int slot, Out &o) {
    const Player &me = Players[slot];
    static const char *widths[3] = {"narrow", "normal", "wide"};
    put(o, "(sense_body ");
    putint(o, Time);
    put(o, " (view_mode ");
    put(o, me.lowquality ? "low " : "high ");
    put(o, widths[me.viewwidth]);
    put(o, ") (stamina ");
    putnum(o, me.stamina);
    putc1(o, ' ');
    putnum(o, me.effort);
    put(o, ") (speed ");
    putnum(o, quantise(std::hypot(me.vx, me.vy), 0.01));
    putc1(o, ' ');
    putint(o, truncdir(dirrad(me.vx, me.vy) - me.body - me.neck));
    put(o, ") (head_angle ");
    putint(o, truncdir(me.neck));
    const int counts[5] = {me.kicks, me.dashes, me.turns, me.says, me.necks};
    static const char *names[5] = {") (kick ", ") (dash ", ") (turn ", ") (say ", ") (turn_neck "};
    for (int i = 0; i < 5; i++) {
        put(o, names[i]);
        putint(o, counts[i]);
    }
    put(o, "))");
}

} // namespace vorn::pitch
