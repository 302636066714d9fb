// types.cpp -- player types: the default type and the random variations.
//
// A random type draws four numbers, each moving two parameters together within the
// ranges the real server uses, and is kept only when a full-power dash would settle at a
// speed between 0.75 and 1.05 m per cycle; otherwise it is drawn again.

#include "pitch/types.h"

#include "pitch/params.h"
#include "pitch/rng.h"

namespace vorn::pitch {

// Globals
PlayerType Types[PlayerTypeCount];

static PlayerType defaulttype() {
    PlayerType t;
    t.decay = PlayerDecay;
    t.inertia = InertiaMoment;
    t.dashrate = DashPowerRate;
    t.staminainc = StaminaIncMax;
    t.kickmargin = KickableMargin;
    t.kickrand = KickRand;
    t.extrastamina = ExtraStamina;
    t.effortmax = 1;
    t.effortmin = EffortMin;
    t.catchstretch = 1;
    return t;
}

void inittypes() {
    for (PlayerType &t : Types)
        t = defaulttype();
}

double topspeed(const PlayerType &t) {
    return 100 * t.dashrate * t.effortmax / (1 - t.decay);
}

// One draw: decay 0.3..0.5 with inertia 2.5..7.5, dash rate 0.0048..0.0068 with stamina
// increase 52.2..40.2, kickable margin 0.6..0.8 with kick noise 0..0.2, extra stamina
// 50..100 with effort max 1..0.8 and effort min 0.6..0.4, catch area stretch 1..1.3.
static PlayerType randomtype() {
    PlayerType t = defaulttype();
    double d = urand(-0.1, 0.1);
    t.decay += d;
    t.inertia += 25 * d;
    d = urand(-0.0012, 0.0008);
    t.dashrate += d;
    t.staminainc -= 6000 * d;
    d = urand(-0.1, 0.1);
    t.kickmargin += d;
    t.kickrand += d;
    d = urand(0, 50);
    t.extrastamina += d;
    t.effortmax -= 0.004 * d;
    t.effortmin -= 0.004 * d;
    t.catchstretch = urand(1, 1.3);
    return t;
}

void maketypes() {
    inittypes();
    for (int i = 1; i < PlayerTypeCount; i++) {
        for (int tries = 0; tries < 1000; tries++) {
            PlayerType t = randomtype();
            double v = topspeed(t);
            if (v >= 0.75 && v <= 1.05) {
                Types[i] = t;
                break;
            }
        }
    }
}

// The goalie (or the first player) keeps the default; the rest of the team follows in
// uniform-number order. The effort starts at the type's maximum.
void assigntypes() {
    for (int side = 1; side >= -1; side -= 2) {
        int keeper = -1;
        for (int u = 1; u <= TeamSize && keeper < 0; u++)
            if (Players[slotof(side, u)].on && Players[slotof(side, u)].goalie)
                keeper = slotof(side, u);
        for (int u = 1; u <= TeamSize && keeper < 0; u++)
            if (Players[slotof(side, u)].on)
                keeper = slotof(side, u);
        int next = 1;
        for (int u = 1; u <= TeamSize; u++) {
            Player &p = Players[slotof(side, u)];
            if (!p.on)
                continue;
            p.type = slotof(side, u) == keeper ? 0 : next++;
            p.effort = ptype(p).effortmax;
        }
    }
}

} // namespace vorn::pitch
