// physics.h -- how players and the ball move: dash, turn, kick, catch, decay, noise,
// collisions and stamina.
//
// The step code calls these in the order of one simulation step; the command code calls
// the command helpers when a client's command is taken. Nothing here decides play modes:
// the referee looks at the results.
#pragma once

#include "pitch/world.h"

namespace vorn::pitch {

// One step, in this order (the loop decides which parts apply in which play mode).
void applydashes();  // queued dashes become accelerations; frees every body/neck slot
void commitangles(); // pending body and neck angles become the observed ones
void zeromotion();   // before kick-off: nothing may move
void moveobjects();  // accelerate, add noise, move, decay; commits angles
// collide: overlapping objects separated; each player found touching the ball is ruled on
// first by judge, which returns whether play is on after its ruling (then the ball and the
// player are pushed apart alike; otherwise the ball stays and the player is put off it).
// Every object that collided bounces back with a tenth of its speed.
using TouchJudge = bool (*)(int slot);
void collide(TouchJudge judge);
void placeheldball(); // a held ball sits just in front of its goalie (done by the step
                      // only: after a move the ball stays until the next step)
void updatestamina(); // stamina, effort, recovery, hearing capacity, catch ban

// Command effects. Arguments come in the command's units (angles in degrees) and are
// clamped to their legal ranges here.
void turnby(Player &p, double moment);
void turnneckby(Player &p, double moment);
void queuedash(Player &p, double power, double dir);
double kickpower(const Player &p, double power);      // effective kick acceleration
double kickball(Player &p, double power, double dir); // returns the acceleration's length
bool incatcharea(const Player &p, double dir);        // ball centre inside the catch rectangle
void catchball(int slot);                             // the goalie steps up to the ball
void keepinmargin(Player &p);                         // players stay within 5 m of the lines
void restorestamina(Player &p);                       // full stamina at a half's kick-off

} // namespace vorn::pitch
