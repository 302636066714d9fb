// connect.cpp -- datagrams from unknown addresses: init, reconnect, and a monitor's dispinit.
//
// The first team name to arrive plays on the left, the second on the right; uniform
// numbers go out in connection order. With --twin-teams a second team of the left's name
// plays on the right once eleven have joined the left, and one of the two is called NAME-b
// (the right's, or the left's from its first player on with --twin-b-side left). Every player
// that joins is said on standard output, so that a runner knows who has come, and so is every
// init refused, with its reason (up to RefusalsSaid of them). Only protocol version 6 is
// served: pitch writes no other message formats, so any other version is refused the way the real
// server refuses a version it has no formats for.

#include "pitch/connect.h"

#include <arpa/inet.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pitch/monitor.h"
#include "pitch/net.h"
#include "pitch/referee.h"
#include "pitch/textlog.h"
#include "pitch/world.h"

namespace vorn::pitch {

static const char ErrForm[] = "(error illegal_command_form)";
static const char ErrNoMorePlayer[] = "(error no_more_player_or_goalie_or_illegal_client_version)";

int findsender(uint32_t addr, uint16_t port) {
    for (int i = 0; i < MaxPlayers; i++) {
        const Player &p = Players[i];
        if (p.on && !p.robot && p.addr == addr && p.port == port)
            return i;
    }
    return -1;
}

static bool namechar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

static void skipblanks(const char *s, size_t n, size_t &i) {
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        i++;
}

// Init: a team name, then "(version V)" and "(goalie)" in any order. Fills the
// parsed fields (the version also as the client wrote it, digits and points only); returns
// the error reply, with the reason for pitch's output in why, or nullptr when well formed.
struct InitRequest {
    char team[TeamNameMax + 1];
    double version;
    char versiontext[32]; // empty when the init gave none
    bool goalie;
};

static const char ReasonForm[] = "bad init form";

static const char *parseinit(const char *s, size_t n, InitRequest &r, const char *&why) {
    size_t i = 5, k = 0; // after "(init"
    why = ReasonForm;
    skipblanks(s, n, i);
    size_t start = i;
    while (i < n && s[i] != ' ' && s[i] != '\t' && s[i] != '(' && s[i] != ')') {
        if (!namechar(s[i])) {
            why = "bad team name (letters, digits, - and _ only)";
            return "(error illegal_teamname)";
        }
        i++;
    }
    k = i - start;
    if (k == 0) {
        why = "no team name";
        return "(error illegal_teamname)";
    }
    if (k > TeamNameMax) {
        why = "team name longer than 15 characters";
        return "(error illegal_teamname_or_too_long_teamname)";
    }
    std::memcpy(r.team, s + start, k);
    r.team[k] = '\0';
    r.version = 3;
    r.versiontext[0] = '\0';
    r.goalie = false;
    for (int guard = 0; guard < 4; guard++) {
        skipblanks(s, n, i);
        if (i < n && s[i] == ')')
            return nullptr;
        if (n - i >= 8 && !std::strncmp(s + i, "(goalie)", 8)) {
            r.goalie = true;
            i += 8;
        } else if (n - i >= 8 && !std::strncmp(s + i, "(version", 8)) {
            i += 8;
            char num[32];
            skipblanks(s, n, i);
            size_t j = 0;
            while (i < n && j + 1 < sizeof num &&
                   (std::isdigit((unsigned char)s[i]) || s[i] == '.'))
                num[j++] = s[i++];
            num[j] = '\0';
            skipblanks(s, n, i);
            if (j == 0 || i >= n || s[i] != ')')
                return ErrForm;
            i++;
            r.version = std::strtod(num, nullptr);
            std::memcpy(r.versiontext, num, j + 1);
        } else {
            return ErrForm;
        }
    }
    return ErrForm;
}

// sidefor: the side a team name plays on, seating a new team if there is room.
// 0 when both sides belong to other teams.
static int sidefor(const char *team, bool claim) {
    for (int s = 0; s < 2; s++) {
        if (TeamName[s][0] && !std::strcmp(TeamName[s], team))
            return s == 0 ? 1 : -1;
    }
    for (int s = 0; s < 2; s++) {
        if (!TeamName[s][0]) {
            if (claim)
                std::snprintf(TeamName[s], sizeof TeamName[s], "%s", team);
            return s == 0 ? 1 : -1;
        }
    }
    return 0;
}

// twinnames: with two teams of one name, the names in the logs of the left's team and,
// when right is set, of the right's: NAME and NAME-b (cut to fit), either way round.
static void twinnames(bool right) {
    char b[TeamNameMax + 1];
    int keep = static_cast<int>(std::strlen(TwinName));
    if (keep > TeamNameMax - 2)
        keep = TeamNameMax - 2;
    std::snprintf(b, sizeof b, "%.*s-b", keep, TwinName);
    std::snprintf(TeamName[0], sizeof TeamName[0], "%s", Opt.twinbleft ? b : TwinName);
    if (right)
        std::snprintf(TeamName[1], sizeof TeamName[1], "%s", Opt.twinbleft ? TwinName : b);
}

// joinside: the side a newcomer of the team plays on, as sidefor. With two teams of one name
// the first team to come takes the left under that name, a newcomer of that name once
// eleven have joined there plays on the right, and any other name only on the right.
static int joinside(const char *team, bool claim) {
    if (!Opt.twins)
        return sidefor(team, claim);
    if (!TwinName[0]) {
        if (claim) {
            std::snprintf(TwinName, sizeof TwinName, "%s", team);
            twinnames(false);
        }
        return 1;
    }
    if (!std::strcmp(TwinName, team)) {
        if (Joins[0] < TeamSize)
            return 1;
        if (Twins)
            return -1;
        if (TeamName[1][0])
            return 1; // the right side is another team's; the left is full
        if (claim) {
            twinnames(true);
            Twins = true;
        }
        return -1;
    }
    if (Twins || (TeamName[1][0] && std::strcmp(TeamName[1], team) != 0))
        return 0;
    if (claim && !TeamName[1][0])
        std::snprintf(TeamName[1], sizeof TeamName[1], "%s", team);
    return -1;
}

// seat: joinplayer, with the reason of a refusal for pitch's output in why.
static int seat(const char *team, bool goalie, bool robot, char *err, size_t errcap, char *why,
                size_t whycap) {
    int side = joinside(team, false);
    if (side == 0) {
        std::snprintf(err, errcap, "(error no_more_team)");
        std::snprintf(why, whycap, "a third team, %s (the sides are %s's and %s's)", team,
                      TeamName[0], TeamName[1]);
        return -1;
    }
    int free = -1;
    bool goalietaken = false;
    for (int u = 1; u <= TeamSize; u++) {
        const Player &p = Players[slotof(side, u)];
        if (p.on && goalie && p.goalie) {
            goalietaken = true;
            break;
        }
        if (!p.on && free < 0)
            free = slotof(side, u);
    }
    if (free < 0 || goalietaken) {
        std::snprintf(err, errcap, "%s", ErrNoMorePlayer);
        const char *name = TeamName[sideindex(side)][0] ? TeamName[sideindex(side)] : team;
        if (goalietaken)
            std::snprintf(why, whycap, "team %s has its goalie already", name);
        else
            std::snprintf(why, whycap, "team %s has eleven players already", name);
        return -1;
    }
    joinside(team, true);
    initplayer(free, side, free % TeamSize + 1, goalie);
    Players[free].robot = robot;
    TeamEver[sideindex(side)] = true;
    Joins[sideindex(side)]++;
    return free;
}

int joinplayer(const char *team, bool goalie, bool robot, char *err, size_t errcap) {
    char why[120];
    return seat(team, goalie, robot, err, errcap, why, sizeof why);
}

// Refusals said: a client that sends inits without end must not fill the runner's file.
constexpr int RefusalsSaid = 20;
static int Refusals = 0; // refused inits so far

static void sayrefused(uint32_t addr, uint16_t port, const char *why) {
    if (Refusals > RefusalsSaid)
        return;
    if (Refusals++ == RefusalsSaid) {
        std::printf("pitch: %d refusals said; further refusals are not said\n", RefusalsSaid);
    } else {
        char host[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &addr, host, sizeof host);
        std::printf("pitch: player at %s:%d refused: %s\n", host, ntohs(port), why);
    }
    std::fflush(stdout);
}

// refuse: the error reply to the client, from the well-known port, and its reason said.
static void refuse(uint32_t addr, uint16_t port, const char *reply, const char *why) {
    sendfrommain(addr, port, reply);
    sayrefused(addr, port, why);
}

static void handleinit(uint32_t addr, uint16_t port, const char *s, size_t n) {
    InitRequest r{};
    const char *reason = nullptr;
    const char *err = parseinit(s, n, r, reason);
    if (err) {
        refuse(addr, port, err, reason);
        return;
    }
    // Compared as a double: a version too large for an int must not be converted to one.
    if (!(r.version >= 6 && r.version < 7)) {
        char why[96];
        if (r.versiontext[0])
            std::snprintf(why, sizeof why, "pitch serves protocol 6 only (it asked for version %s)",
                          r.versiontext);
        else
            std::snprintf(why, sizeof why,
                          "pitch serves protocol 6 only (it asked for no version, which means 3)");
        refuse(addr, port, ErrNoMorePlayer, why);
        return;
    }
    char reply[80], why[120];
    int slot = seat(r.team, r.goalie, false, reply, sizeof reply, why, sizeof why);
    if (slot < 0) {
        refuse(addr, port, reply, why);
        return;
    }
    Player &p = Players[slot];
    p.fd = openreply(addr, port);
    if (p.fd < 0) {
        p.on = false;
        refuse(addr, port, ErrNoMorePlayer, "pitch could not open a socket for it");
        return;
    }
    p.addr = addr;
    p.port = port;
    LastJoinStep = StepCount;
    textlogrecv(slot, s, n);
    char mode[40];
    modeword(mode, sizeof mode, Mode, ModeSide);
    std::snprintf(reply, sizeof reply, "(init %c %d %s)", p.side > 0 ? 'l' : 'r', p.unum, mode);
    sendplayer(slot, reply);
    std::printf("pitch: %s %d%s joined on the %s\n", TeamName[sideindex(p.side)], p.unum,
                p.goalie ? " (goalie)" : "", p.side > 0 ? "left" : "right");
    std::fflush(stdout);
}

// Reconnect: "(reconnect TEAM UNUM)" takes over a seated player from a new address.
static void handlereconnect(uint32_t addr, uint16_t port, const char *s, size_t n) {
    char team[32];
    int unum = 0, used = 0;
    if (std::sscanf(s, "(reconnect %31[A-Za-z0-9_-] %d)%n", team, &unum, &used) != 2 || used == 0 ||
        static_cast<size_t>(used) > n) {
        sendfrommain(addr, port, ErrForm);
        return;
    }
    if (Mode == ModePlayOn) {
        sendfrommain(addr, port, "(error cannot_reconnect_while_playon)");
        return;
    }
    int side = sidefor(team, false);
    bool known = side != 0 && TeamName[sideindex(side)][0] && unum >= 1 && unum <= TeamSize;
    int slot = known ? slotof(side, unum) : -1;
    if (slot < 0 || !Players[slot].on || Players[slot].robot) {
        sendfrommain(addr, port, "(error no_such_team_or_player)");
        return;
    }
    Player &p = Players[slot];
    closereply(slot);
    p.fd = openreply(addr, port);
    p.addr = addr;
    p.port = port;
    textlogrecv(slot, s, n);
    char mode[40], reply[80];
    modeword(mode, sizeof mode, Mode, ModeSide);
    std::snprintf(reply, sizeof reply, "(reconnect %c %s)", p.side > 0 ? 'l' : 'r', mode);
    sendplayer(slot, reply);
}

void handlenew(uint32_t addr, uint16_t port, const char *text, size_t len) {
    char s[DatagramMax + 1];
    size_t n = len < DatagramMax ? len : DatagramMax;
    std::memcpy(s, text, n);
    s[n] = '\0';
    n = std::strlen(s); // a client's NUL ends its text
    while (n > 0 && (s[n - 1] == '\n' || s[n - 1] == '\r'))
        s[--n] = '\0';
    if (n >= 6 && !std::strncmp(s, "(init ", 6))
        handleinit(addr, port, s, n);
    else if (n >= 11 && !std::strncmp(s, "(reconnect ", 11))
        handlereconnect(addr, port, s, n);
    else if (isdispinit(s))
        handledispinit(addr, port, s);
    else
        sendfrommain(addr, port, "(error unknown_command)");
}

} // namespace vorn::pitch
