// vision.h -- what a player perceives: the see and sense_body messages.
//
// Both are built from the committed state of the world, in the exact version-6 text
// forms; the caller sends the text. Randomness (dropped names and change values) comes
// from the shared seeded source.
#pragma once

#include "pitch/format.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Sample: (see 0 ((f c) 3 0 0 0) ((f r t) 65.4 -31) ... ((b) 3 0 0 0) ((l r) 55.7 90))
void buildsee(int slot, Out &o);

// Sample: (sense_body 0 (view_mode high normal) (stamina 8000 1) (speed 0 0)
//          (head_angle 0) (kick 0) (dash 0) (turn 0) (say 0) (turn_neck 0))
void buildsensebody(int slot, Out &o);

double viewhalfangle(int width); // half the view cone in degrees
int seeticks(const Player &p);   // visual ticks between two sees for p's view mode

// The line rule, exposed for tests: appends the qualifying lines for an observer at
// (x, y) with body and neck angles in radians (the neck relative to the body).
void putlines(Out &o, double x, double y, double body, double neck, bool lowquality);

} // namespace vorn::pitch
