// referee.h -- play modes, the match clock, and the referee's decisions.
//
// The referee watches the ball after every step (goals, balls out of play, set plays
// that end or time out, goalie catches), moves players that stand where the rules forbid,
// and announces every decision to all players as "(hear T referee WORD)". Offside, back
// passes and free-kick faults are judged in offences.cpp.
#pragma once

#include <cstddef>

namespace vorn::pitch {

// Play modes. The side-specific ones carry the side in ModeSide.
// ORDER PLAYMODE: referee.cpp keeps their words in this order.
enum PlayMode {
    ModeBeforeKickOff,
    ModePlayOn,
    ModeTimeOver,
    ModeKickOff,          // side: who kicks off
    ModeKickIn,           // side: who takes it
    ModeFreeKick,         // side: who takes it
    ModeCornerKick,       // side: who takes it
    ModeGoalKick,         // side: who takes it
    ModeIndirectFreeKick, // side: who takes it; no goal before a second player touches
    ModeGoal,             // side: who scored; a pause with the clock stopped
    ModeCatchFault,       // side: who committed it; a pause with the clock stopped
    ModeOffside,          // side: who committed it; a pause with the clock stopped
    ModeBackPass,         // side: who committed it; a pause with the clock stopped
    ModeFreeKickFault,    // side: who committed it; a pause with the clock stopped
    ModeDropBall,         // passes at once to play_on
};

constexpr int KickOffGrace = 20; // steps between the last expected client and kick-off
constexpr int CallLogSize = 16;

// Globals
extern int Mode;                      // current PlayMode
extern int ModeSide;                  // +1 left, -1 right, 0 for modes without a side
extern int Time;                      // the cycle counter T printed in messages
extern int StepCount;                 // steps since start (runs on when T is frozen)
extern int ModeSteps;                 // steps since the mode began
extern int StepMode;                  // the mode the last step began in
extern int StoppageSteps;             // steps the clock has stood since it last moved
extern bool ModeChanged;              // the mode changed during the current step
extern int Score[2];                  // goals of left [0] and right [1]
extern int LastToucher;               // slot that last kicked or touched the ball, -1 none
extern int KickOffSide;               // side kicking off when before_kick_off ends
extern int Half;                      // 1 or 2
extern int LastJoinStep;              // StepCount when the last client connected
extern int TimeOverSteps;             // steps spent in time_over
extern char CallLog[CallLogSize][40]; // the most recent referee words, oldest first
extern int CallTime[CallLogSize];     // the cycle T each of them was announced in
extern int CallCount;                 // words in CallLog

void initreferee();
void modeword(char *buf, size_t cap, int mode, int side); // e.g. "kick_off_l"
void announce(const char *word);                          // tell every player; also kept in CallLog
void changemode(int mode, int side);
bool lastcall(const char *word); // the latest referee word equals word

// Questions the command code asks.
bool kickallowed();
bool moveallowed(int slot); // move is possible for this player in the current mode
bool stoppage();            // a pause in which the clock is stopped
bool setplay(int mode);     // a restart that the first kick ends (not the goal kick)

// What the referee made of a tried kick: nothing, an offside (the kick is lost), or a
// free-kick fault (the kick still counts in the taker's kick count).
enum KickCall { KickFree, KickOffside, KickFaulted };

// Reactions to commands and to the step.
int refereekicktry(int slot);               // a kick is tried: its KickCall
void refereekicked(int slot, double accel); // after an effective kick of that strength
void refereecaught(int slot);
void refereedashed(int slot);
void refereeafterstep(); // clock, goals, out of play, set plays (play modes that run)
void refereepause();     // end of a goal or fault pause
void refereeplacement(); // keep players where the current mode wants them
bool kickoffdue();       // before_kick_off: time for the automatic kick-off
void startkickoff(int side);
void dropball(double x, double y);
void putball(double x, double y); // the ball at rest at (x, y), out of anyone's hands
// offence: announce mode (an offence of side) with the ball at rest at (x, y).
void offence(int mode, int side, double x, double y);
void clearfromball(int side, double clear); // players of side (0: all) kept clear + size away
bool judgetouch(int slot); // a touch of the ball ruled on; true when play is on after it

// Geometry shared with the built-in opponent.
bool inpenaltyarea(int side, double x, double y, double margin); // side's own area

} // namespace vorn::pitch
