// world.h -- the state of the simulated match: the players, the ball, the options.
//
// Everything here is plain global data; the physics, referee, vision and network code
// read and write it directly. initworld() puts it back to the state of a fresh server
// and is also what the tests call before each case.
#pragma once

#include <cstdint>

namespace vorn::pitch {

constexpr int TeamSize = 11;
constexpr int MaxPlayers = 2 * TeamSize; // slot = (left ? 0 : 11) + unum - 1
constexpr int TeamNameMax = 15;

enum ViewWidth { ViewNarrow = 0, ViewNormal = 1, ViewWide = 2 };

// Player: one slot, connected client or built-in opponent. Positions in world metres,
// velocities in metres per cycle, angles in radians (neck relative to body).
struct Player {
    bool on;                   // slot in use
    bool robot;                // moved by pitch itself (built-in opponent), no socket
    int side;                  // +1 left (attacks +x), -1 right
    int unum;                  // uniform number 1..11
    bool goalie;               // connected with (goalie)
    int type;                  // player type, index into Types (types.h); 0 the default
    double x, y;               // position
    double vx, vy;             // velocity after the last step (already decayed)
    double ax, ay;             // acceleration queued for the next step
    double body, neck;         // committed angles, as observed
    double nextbody, nextneck; // pending angles, committed by the next step
    double stamina, effort, recovery, capacity; // stamina model
    int kicks, dashes, turns, says, necks;      // counters printed in sense_body
    int kicktries;                              // kick commands taken, the ball hit or not
    int catches, movesdone, views;              // catches reaching the ball, moves, views
    int catchtries;                             // catch commands taken, the ball reached or not
    bool bodyused;                              // a body command was taken this cycle
    bool neckused;                              // a turn_neck was taken this cycle
    double dashpower;                           // dash waiting for the next step, 0 if none
    double dashdir;                             // its direction relative to the body, rad
    bool dashqueued;                            // a dash is waiting (power 0 still counts)
    int catchban;                               // cycles before the next catch may be tried
    int moves;                                  // moves made while holding the ball
    int viewwidth;                              // ViewNarrow, ViewNormal, ViewWide
    bool lowquality;                            // view quality low
    int ticks;                                  // visual ticks since the last see
    double hearmate, hearopp;                   // hearing capacity for each team, 0..1
    int fd;                                     // reply socket, -1 when none
    uint32_t addr;                              // client IPv4 address, network order
    uint16_t port;                              // client port, network order
    int64_t sensebodyus; // monotonic time the cycle's sense_body was sent, us
};

// Ball: position, velocity and acceleration as for players.
struct Ball {
    double x, y, vx, vy, ax, ay;
    double prevx, prevy; // position before the last step (for goal-line crossing)
    int holder;          // slot of the goalie holding it, -1 when free
};

// Options: what the command line set. Defaults in initoptions().
struct Options {
    int port;            // well-known port, 0 = any free port
    char bind[64];       // address to listen on
    int stepms;          // length of one simulation step in milliseconds
    int cycles;          // the match ends when T reaches this; half time at half of it
    int waitplayers;     // connected clients that trigger the automatic kick-off
    double kickoffafter; // seconds after start when kick-off happens anyway, 0 = never
    bool noise;          // movement, turn and kick noise
    uint64_t seed;       // random seed
    bool chasers;        // built-in opponent
    bool chasersleft;    // the built-in opponent plays on the left, not the right
    char record[512];    // record file, empty = none
    char gamelog[512];   // game log file (.gz: compressed), empty = none
    char textlog[512];   // text log file, empty = none
    bool quiet;          // no progress lines
    bool offside;        // referee offside
    bool backpass;       // referee back passes to the goalie
    bool freekickfault;  // referee a set-play taker touching the ball twice
    bool playertypes;    // random player types handed out at the first kick-off
    bool twins;          // two teams of one name: the first eleven left, the next right
    bool twinbleft;      // with twins, the left's team is the one called NAME-b
};

// Globals
extern Player Players[MaxPlayers];
extern Ball TheBall;
extern Options Opt;
extern char TeamName[2][TeamNameMax + 1]; // [0] left, [1] right; empty when no team yet
extern bool TeamEver[2];                  // the side ever had a player
extern int Joins[2];                      // players seated on the side so far, ever
extern bool Twins;                        // the right side plays under the left's name
extern char TwinName[TeamNameMax + 1];    // with twins, the name both teams gave; else empty

void initoptions();
void initworld(); // fresh match: no players, ball at the centre
void initplayer(int slot, int side, int unum, bool goalie);
int slotof(int side, int unum); // slot index of side (+1/-1) and uniform number
int sideindex(int side);        // 0 for left, 1 for right
bool kickable(const Player &p); // the ball is within the kickable area of p
int connectedclients();         // slots used by real clients
// seenteam: the team name a player of side viewer sees the players of side under. With two
// teams of one name each sees its own side under that name and the other as NAME-b, the
// name in the logs of the right side's team (the left's with --twin-b-side left).
const char *seenteam(int viewer, int side);

} // namespace vorn::pitch
