// world.cpp -- the state of the simulated match and its start values.

#include "pitch/world.h"

#include <cmath>
#include <cstring>

#include "pitch/params.h"
#include "pitch/types.h"

namespace vorn::pitch {

// Globals
Player Players[MaxPlayers];
Ball TheBall;
Options Opt;
char TeamName[2][TeamNameMax + 1];
bool TeamEver[2];
int Joins[2];
bool Twins;
char TwinName[TeamNameMax + 1];

void initoptions() {
    Opt = Options{};
    Opt.port = 6000;
    std::strcpy(Opt.bind, "127.0.0.1");
    Opt.stepms = 100;
    Opt.cycles = 6000;
    Opt.waitplayers = -1; // resolved after parsing: 11 with the built-in opponent, else 22
    Opt.kickoffafter = 30;
    Opt.noise = true;
    Opt.seed = 1;
    Opt.chasers = false;
    Opt.chasersleft = false;
    Opt.record[0] = '\0';
    Opt.gamelog[0] = '\0';
    Opt.textlog[0] = '\0';
    Opt.quiet = false;
    Opt.offside = true;
    Opt.backpass = true;
    Opt.freekickfault = true;
    Opt.playertypes = false;
    Opt.twins = false;
    Opt.twinbleft = false;
}

void initworld() {
    for (Player &p : Players) {
        p = Player{};
        p.fd = -1;
    }
    TheBall = Ball{};
    TheBall.holder = -1;
    std::memset(TeamName, 0, sizeof TeamName);
    TeamEver[0] = TeamEver[1] = false;
    Joins[0] = Joins[1] = 0;
    Twins = false;
    TwinName[0] = '\0';
    inittypes();
}

// A new player stands in a row 3 m outside the top touch line, facing +x whatever its
// side, at rest and fully rested, with the default view.
void initplayer(int slot, int side, int unum, bool goalie) {
    Player &p = Players[slot];
    int fd = p.fd;
    p = Player{};
    p.fd = fd;
    p.on = true;
    p.side = side;
    p.unum = unum;
    p.goalie = goalie;
    p.x = -side * 3.0 * unum;
    p.y = -37;
    p.stamina = StaminaMax;
    p.effort = 1;
    p.recovery = 1;
    p.capacity = StaminaCapacity;
    p.viewwidth = ViewNormal;
    p.hearmate = p.hearopp = 1;
}

int slotof(int side, int unum) {
    return (side > 0 ? 0 : TeamSize) + unum - 1;
}

int sideindex(int side) {
    return side > 0 ? 0 : 1;
}

bool kickable(const Player &p) {
    double area = PlayerSize + BallSize + ptype(p).kickmargin;
    return std::hypot(TheBall.x - p.x, TheBall.y - p.y) <= area;
}

// The left's players see themselves under the twin name from the first on, whatever the
// logs call them; once the twin has come, each side sees the other under NAME-b.
const char *seenteam(int viewer, int side) {
    if (Twins)
        return viewer == side ? TwinName : TeamName[Opt.twinbleft ? 0 : 1];
    if (viewer == side && side > 0 && TwinName[0])
        return TwinName;
    return TeamName[sideindex(side)];
}

int connectedclients() {
    int n = 0;
    for (const Player &p : Players)
        if (p.on && !p.robot)
            n++;
    return n;
}

} // namespace vorn::pitch
