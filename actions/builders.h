// Command builders: the body commands dash, kick, turn, turn_neck and catch, formatted from
// integer arguments and placed into the command queue so that they leave in the last send
// slot of the cycle in which they were decided (or of the next one). A turn also turns the
// stored picture of ball and players with it. Callers are the ball skills and the decision
// makers.
#pragma once

#include <cstdint>

namespace vorn {

constexpr int DigitSize = 16;    // didgit: any int with its sign and a leading blank
constexpr int BuilderSize = 128; // a builder's working buffer

// Globals
extern char *didgit; // DigitSize bytes: one formatted number

// Each builder queues its command by the send-slot state it is given (normally TimeSlot):
// 1 or 4 after two "NOP", 2 after one, 3 at once, anything else not at all (the text is
// then left in messtosend only).
void dash(int power, int slot);
void kick(int power, int direction, int slot);
void turn(int moment, int slot); // also turnplayers(moment), queued or not
void turnNeck(int angle);        // queued at once, without placeholders
void catchball(int direction, int slot);

// Formats "<prefix><first>[ <second>])" into messtosend as the builders do, number by number
// through didgit, without queueing it.
void formatcommand(const char *prefix, int first, const int *second);

// Places a finished command text by the send-slot state, as the builders do.
void placecommand(const char *text, int slot);

// The stored directions of the ball and of every player turn by -angle (flags do not).
void turnplayers(int angle);

int fixangle(int a); // one step of 360 each way: -540..540 comes back within -180..180
int getpower();      // dash power from the stamina: Stamina * 100 / 3500, unbounded

// An angle sum or difference worked out in 64 bits, back as an int: beyond the int range it
// wraps instead of overflowing (a datagram may carry any int as a direction; real ones stay
// within -180..180). For example wrapangle(int64_t{d} - moment).
int wrapangle(int64_t degrees);

} // namespace vorn
