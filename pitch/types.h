// types.h -- player types: the default type and the random variations.
//
// Every player has the default type unless --player-types is given. Then, as on the real
// server, seventeen random variations of the default are made at start from the seeded
// source, and the first kick-off hands them out: in each team the goalie (or, without one,
// the lowest uniform number) keeps the default, the others get types 1, 2, ... in
// uniform-number order. Players who join later keep the default. Version-6 clients are
// not told their type.
#pragma once

#include "pitch/world.h"

namespace vorn::pitch {

constexpr int PlayerTypeCount = 18;

// PlayerType: what a type changes. The pairs vary together (one random draw each):
// decay with inertia, dash rate with stamina increase, kickable margin with kick noise,
// extra stamina with both effort limits.
struct PlayerType {
    double decay;        // share of the velocity kept per step
    double inertia;      // inertia moment: turns are divided by 1 + inertia * speed
    double dashrate;     // acceleration per unit of dash power, m/cycle^2
    double staminainc;   // stamina recovered per step at recovery 1
    double kickmargin;   // kickable distance beyond the two radii, m
    double kickrand;     // kick noise factor
    double extrastamina; // dash power available beyond the stamina
    double effortmax;    // effort after a full rest
    double effortmin;    // effort never falls below this
    double catchstretch; // factor on the catch area's length
};

// Globals
extern PlayerType Types[PlayerTypeCount]; // [0] the default type

void inittypes();   // every type the default
void maketypes();   // types 1..17 random, from the seeded source
void assigntypes(); // the first kick-off: hand the types out to the seated players
double topspeed(const PlayerType &t); // steady-state speed of a full-power dash, m/cycle

inline const PlayerType &ptype(const Player &p) {
    return Types[p.type >= 0 && p.type < PlayerTypeCount ? p.type : 0];
}

} // namespace vorn::pitch
