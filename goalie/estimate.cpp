// The goalie's position estimate and ball codes. Four flags can place the goalie: the two
// centre flags on the touch lines and the two corners of its own goal line. Each one seen now
// replaces the whole estimate of the flags before it in the table, so the table's order is an
// order of preference; nothing is averaged. A flag seen at distance d and at an angle a from
// the attack direction gives the goalie's place as the flag's place less d along a.
//
// On the right side the frame is a mirror image of the field (x turned round, y kept), so
// there the angles of the goal-line corners run the other way.

#include "goalie/estimate.h"

#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "perception/referee.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace vorn {

// Globals
double golie_x = 0.0;
double golie_y = 0.0;

float deg_to_rad(float degrees) {
    return static_cast<float>(degrees * 3.141592653589793 / 180);
}

// One flag's part in the estimate. With e its direction, A = AttackAngle and d its distance,
// the angle is a = sign * (e - A) + (corner ? 180 : 0) degrees; then
// golie_x = corner ? d * cos a - 54 : -d * cos a, and golie_y = y + ys * d * sin a.
struct Sighting {
    Obs **flag;  // the flag's record (built at the init reply, hence its pointer's address)
    bool corner; // a corner of the own goal line, else a centre flag
    int sign;    // -1 where the mirrored frame turns the angle round
    double y;    // the flag's y
    double ys;   // sign of d * sin a in golie_y
};

// ORDER: preference, lowest first.
static const Sighting Left[] = {
    // flag   corner sign  y     ys
    {&FlagCT, false, 1, -34, -1},
    {&FlagCB, false, 1, 34, -1},
    {&FlagLT, true, 1, -34, 1},
    {&FlagLB, true, 1, 34, 1},
};
static const Sighting Right[] = {
    {&FlagCT, false, 1, -34, 1},
    {&FlagCB, false, 1, 34, 1},
    {&FlagRT, true, -1, -34, 1},
    {&FlagRB, true, -1, 34, 1},
};

// The angle is worked out in 64 bits (any two ints off the wire), then rounded to float.
static void estimate(const Sighting &s) {
    const Obs *flag = *s.flag;
    if (flag->time != Turn)
        return;
    int64_t degrees = s.sign * (int64_t{flag->direction} - AttackAngle) + (s.corner ? 180 : 0);
    double a = deg_to_rad(static_cast<float>(degrees));
    double d = flag->distance;
    golie_x = s.corner ? d * std::cos(a) - 54 : -d * std::cos(a);
    golie_y = s.y + s.ys * d * std::sin(a);
}

// The catch rectangle: 0 to 2 m ahead and half a metre to either side, bounds included.
static bool inhands() {
    double b = deg_to_rad(static_cast<float>(Ball->direction));
    double forward = Ball->distance * std::cos(b);
    double lateral = Ball->distance * std::sin(b);
    return forward >= 0 && forward <= 2.0 && 2 * lateral >= -1.0 && 2 * lateral <= 1.0;
}

// The ball's time is not looked at: the decision maker asks only about a ball seen now.
int golieinfo() {
    for (const Sighting &s : AgentSide == 0 ? Left : Right)
        estimate(s);
    printf("golie_x=%f,gloie_y=%f\n", golie_x, golie_y);
    if (inhands() && strcmp(Eventtype, "goal_kick_") != 0)
        return BallInHands;
    if (Ball->distance < 15.0f && golie_x < -40)
        return BallNear;
    if (Ball->distance < 30.0f && golie_x < -49)
        return BallComing;
    return BallAway;
}

} // namespace vorn
