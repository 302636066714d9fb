// The goalie's picture of its place: where it stands in front of its own goal, estimated from
// the flags of the current "see", and the ball's situation as one of four codes that the
// decision maker switches on.
//
// The position frame: x along the field, 0 at the halfway line, the own goal line taken to be
// at -54 and the opponents' end at positive x, on either side of the field; y across it as
// the server has it on both sides (the top touch line, of the flags "f c t", "f l t" and
// "f r t", at -34).
#pragma once

namespace vorn {

// What golieinfo makes of the ball.
enum BallCode {
    BallAway = 0,    // none of the below: hold the post
    BallInHands = 1, // in the catch rectangle, 2 m deep and 1 m wide straight ahead
    BallNear = 2,    // within 15 m, the goalie in front of x = -40: kick it or go to it
    BallComing = 3,  // within 30 m, the goalie deeper than x = -49: follow it along the line
};

// Globals
extern double golie_x; // metres along the field, own goal line at -54; 0.0 at start
extern double golie_y; // metres across the field, top touch line at -34; 0.0 at start

float deg_to_rad(float degrees); // degrees * pi / 180, worked out in double

// Renews golie_x and golie_y from the flags seen now (the previous estimate stays when none
// was), prints them, and returns the BallCode of the ball record as it stands.
int golieinfo();

} // namespace vorn
