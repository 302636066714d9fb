// fixture.h -- a fresh in-process match for the unit tests of pitch.
//
// No sockets: players are seated without a reply socket, so whatever pitch would send
// them is dropped, and the referee's words are read back from its call log.
#pragma once

#include <string>

#include "pitch/connect.h"
#include "pitch/format.h"
#include "pitch/geom.h"
#include "pitch/record.h"
#include "pitch/referee.h"
#include "pitch/rng.h"
#include "pitch/vision.h"
#include "pitch/world.h"

namespace pitchtest {

using namespace vorn::pitch;

// freshmatch: a new server without noise (unless asked), no players, before kick-off.
inline void freshmatch(bool noise = false) {
    initoptions();
    Opt.noise = noise;
    Opt.waitplayers = 22;
    Opt.kickoffafter = 0;
    initworld();
    initreferee();
    resetstats();
    seedrandom(1);
}

inline int seat(const char *team, bool goalie = false) {
    char err[80];
    return joinplayer(team, goalie, false, err, sizeof err);
}

inline std::string seetext(int slot) {
    static char buf[MessageMax];
    Out o = outof(buf, sizeof buf);
    buildsee(slot, o);
    return buf;
}

inline std::string sensetext(int slot) {
    char buf[512];
    Out o = outof(buf, sizeof buf);
    buildsensebody(slot, o);
    return buf;
}

// place: put a player somewhere at rest, facing body degrees (kept in radians, as a
// command's degrees are).
inline void place(int slot, double x, double y, double body, double neck = 0) {
    Player &p = Players[slot];
    p.x = x;
    p.y = y;
    p.vx = p.vy = p.ax = p.ay = 0;
    p.body = p.nextbody = body * DegToRad;
    p.neck = p.nextneck = neck * DegToRad;
}

inline void placeball(double x, double y, double vx = 0, double vy = 0) {
    Ball &b = TheBall;
    b.x = b.prevx = x;
    b.y = b.prevy = y;
    b.vx = vx;
    b.vy = vy;
    b.ax = b.ay = 0;
    b.holder = -1;
}

// calls: the last n referee words, oldest first, separated by blanks.
inline std::string calls(int n) {
    std::string out;
    for (int i = CallCount - n < 0 ? 0 : CallCount - n; i < CallCount; i++)
        out += (out.empty() ? "" : " ") + std::string(CallLog[i]);
    return out;
}

// inplay: one left player at (0, 0) facing +x in play_on, the ball out of the way.
inline int inplay() {
    freshmatch();
    int p = seat("A");
    place(p, 0, 0, 0);
    placeball(20, 20);
    changemode(ModePlayOn, 0);
    return p;
}

} // namespace pitchtest
