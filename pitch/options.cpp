// options.cpp -- the command line of pitch.
//
// Every option takes the form "--name value" or "--name=value"; numbers are checked for
// range, and anything unknown stops pitch with one line naming the option.

#include "pitch/options.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "pitch/world.h"

namespace vorn::pitch {

static const char HelpText[] =
    "usage: pitch [options]\n"
    "\n"
    "pitch is a compact soccer simulation server for clients of protocol version 6\n"
    "(init with \"(init TEAM (version 6.02))\", add \"(goalie)\" for the goalie). It runs one\n"
    "match in 100 ms steps, referees it, and reports what the clients sent.\n"
    "\n"
    "options:\n"
    "  --port N           UDP port for init messages (default 6000; 0 picks a free port,\n"
    "                     printed at start as \"pitch: listening on port N\")\n"
    "  --bind ADDR        IPv4 address to listen on (default 127.0.0.1, this machine\n"
    "                     only; 0.0.0.0 for players on other hosts)\n"
    "  --step-ms N        length of a simulation step in ms, 1..1000 (default 100)\n"
    "  --cycles N         the match ends when the cycle counter reaches N, half time at\n"
    "                     N/2 (default 6000)\n"
    "  --wait-players N   kick off once N clients are connected (and 2 s have passed since\n"
    "                     the last one joined); default 22, or 11 with --opponent\n"
    "  --kickoff-after S  kick off S seconds after start even if fewer clients came;\n"
    "                     0 waits for the players only (default 30)\n"
    "  --opponent chasers eleven built-in players on the right side: a goalie on its\n"
    "                     goal line, the nearest field player chases and kicks the ball\n"
    "                     toward the other goal, the others keep a formation\n"
    "  --chasers-side S   the built-in players' side, left or right (default right); the\n"
    "                     first team to connect plays on the other side\n"
    "  --twin-teams       two teams of one name: the first eleven players of the name play\n"
    "                     on the left, the next eleven on the right as NAME-b (so the\n"
    "                     logs, the record and the summary tell them apart); each player\n"
    "                     sees its own side under NAME and the other as NAME-b\n"
    "  --twin-b-side S    with --twin-teams, the side whose team is called NAME-b: right\n"
    "                     (default; the team that came second) or left (the first team,\n"
    "                     so called from its first player on)\n"
    "  --record FILE      write a JSON-lines record: one line per step (play mode, score,\n"
    "                     ball, every player) and one per command received (cycle, player,\n"
    "                     text, ms after that player's sense_body, executed or ignored);\n"
    "                     the built-in players' commands too, marked \"robot\":true\n"
    "  --game-log FILE    write the standard game log (version 6 text, as the real server\n"
    "                     writes it) for log players and analysis tools; gzip-compressed\n"
    "                     when FILE ends in .gz; from the kick-off to time over\n"
    "  --text-log FILE    write the standard text log beside it: every datagram received\n"
    "                     from a player and every referee call, one a line\n"
    "  --no-noise         no movement, turn or kick noise (exact physics)\n"
    "  --no-offside       do not call offside (called by default, as on the real server)\n"
    "  --no-back-pass     let a goalie catch a team-mate's kick (called by default)\n"
    "  --no-free-kick-fault\n"
    "                     let the taker of a set play touch the ball again after a dash\n"
    "                     before anyone else has (called by default)\n"
    "  --player-types     hand out random player types at the first kick-off, as the real\n"
    "                     server does (default: every player has the default type)\n"
    "  --seed N           seed of the random source (default 1)\n"
    "  --quiet            no progress line every 100 cycles\n"
    "  --help, -h         this text\n"
    "\n"
    "After the port, pitch says its seed: \"pitch: random seed N\". Every player that joins\n"
    "is said in a line: \"pitch: vorn 1 (goalie) joined on the left\", and every init refused,\n"
    "with its reason: \"pitch: player at HOST:PORT refused: REASON\" (the first 20 of them;\n"
    "then one line says that further refusals are not said).\n"
    "At the end pitch prints the score, per player the commands per kind, the cycles with\n"
    "two or more body commands, when commands arrived after sense_body, and how closely\n"
    "steps kept their deadlines. When time is over it says so in a line of its own.\n"
    "Ctrl-C, SIGTERM or SIGHUP ends the match early with the same summary, begun by\n"
    "\"match stopped at cycle N of M\", and exit status 128 plus the signal (130, 143,\n"
    "129); after time over it ends as it would have, with status 0.\n"
    "\n"
    "Monitors (the real server's monitor, or vorn-live: scripts/live.py in the repository)\n"
    "may watch: they send \"(dispinit version 5)\" (or 4) to the port and get the parameter\n"
    "lines, then every step from start to end a show line, from a port of their own; up to 16\n"
    "at once, each said on standard output as it comes and goes. \"(dispstart)\" from a\n"
    "monitor kicks off while pitch waits for a kick-off; \"(dispbye)\" leaves. Other versions\n"
    "are refused with \"(error illegal_client_version)\".\n";

void printhelp(FILE *out) {
    std::fputs(HelpText, out);
}

static bool intarg(const char *text, long lo, long hi, long &v) {
    char *end = nullptr;
    errno = 0;
    v = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && v >= lo && v <= hi;
}

static bool realarg(const char *text, double lo, double hi, double &v) {
    char *end = nullptr;
    v = std::strtod(text, &end);
    return end != text && *end == '\0' && v >= lo && v <= hi;
}

static bool twinside = false; // --twin-b-side was given

// apply: one option with its value. Returns nullptr when taken, "" for a name that is not an
// option with a value, else what the value should have been.
static const char *apply(const char *name, const char *value) {
    long n = 0;
    double d = 0;
    if (!std::strcmp(name, "port"))
        return intarg(value, 0, 65535, n) ? (Opt.port = n, nullptr) : "a port 0..65535";
    if (!std::strcmp(name, "bind")) {
        in_addr a;
        if (std::strlen(value) >= sizeof Opt.bind || inet_pton(AF_INET, value, &a) != 1)
            return "a dotted IPv4 address such as 127.0.0.1 or 0.0.0.0";
        std::strcpy(Opt.bind, value);
        return nullptr;
    }
    if (!std::strcmp(name, "step-ms"))
        return intarg(value, 1, 1000, n) ? (Opt.stepms = n, nullptr) : "milliseconds 1..1000";
    if (!std::strcmp(name, "cycles"))
        return intarg(value, 1, 1000000, n) ? (Opt.cycles = n, nullptr) : "cycles 1..1000000";
    if (!std::strcmp(name, "wait-players"))
        return intarg(value, 0, 22, n) ? (Opt.waitplayers = n, nullptr) : "a count 0..22";
    if (!std::strcmp(name, "kickoff-after"))
        return realarg(value, 0, 86400, d) ? (Opt.kickoffafter = d, nullptr) : "seconds 0..86400";
    if (!std::strcmp(name, "seed"))
        return intarg(value, 0, 2147483647, n) ? (Opt.seed = n, nullptr)
                                               : "a whole number 0..2147483647";
    if (!std::strcmp(name, "opponent"))
        return !std::strcmp(value, "chasers") ? (Opt.chasers = true, nullptr)
                                              : "\"chasers\" (the only built-in opponent)";
    if (!std::strcmp(name, "chasers-side")) {
        bool left = !std::strcmp(value, "left");
        if (!left && std::strcmp(value, "right"))
            return "left or right";
        Opt.chasersleft = left;
        return nullptr;
    }
    if (!std::strcmp(name, "twin-b-side")) {
        bool left = !std::strcmp(value, "left");
        if (!left && std::strcmp(value, "right"))
            return "left or right";
        Opt.twinbleft = left;
        twinside = true;
        return nullptr;
    }
    if (!std::strcmp(name, "record")) {
        if (std::strlen(value) >= sizeof Opt.record)
            return "a shorter file name";
        std::strcpy(Opt.record, value);
        return nullptr;
    }
    if (!std::strcmp(name, "game-log")) {
        if (!*value || std::strlen(value) >= sizeof Opt.gamelog)
            return "a file name (at most 511 characters)";
        std::strcpy(Opt.gamelog, value);
        return nullptr;
    }
    if (!std::strcmp(name, "text-log")) {
        if (!*value || std::strlen(value) >= sizeof Opt.textlog)
            return "a file name (at most 511 characters)";
        std::strcpy(Opt.textlog, value);
        return nullptr;
    }
    return "";
}

// Flags: options without a value, each with the switch it sets.
static const struct {
    const char *name;
    bool *value;
    bool set;
} Flags[] = {
    {"no-noise", &Opt.noise, false},          {"no-offside", &Opt.offside, false},
    {"no-back-pass", &Opt.backpass, false},   {"no-free-kick-fault", &Opt.freekickfault, false},
    {"player-types", &Opt.playertypes, true}, {"quiet", &Opt.quiet, true},
    {"twin-teams", &Opt.twins, true},
};

// setflag: sets the switch of a flag option; false when name is none.
static bool setflag(const char *name) {
    for (const auto &f : Flags) {
        if (!std::strcmp(name, f.name)) {
            *f.value = f.set;
            return true;
        }
    }
    return false;
}

// takesvalue: whether name is an option with a value. It asks apply with an empty value,
// which no option accepts silently but --record, and is asked only on the way to an error.
static bool takesvalue(const char *name) {
    const char *why = apply(name, "");
    return !why || *why;
}

int parseoptions(int argc, char **argv, FILE *out, FILE *err) {
    initoptions();
    twinside = false;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (!std::strcmp(arg, "-h")) {
            printhelp(out);
            return 1;
        }
        if (std::strncmp(arg, "--", 2) != 0) {
            std::fprintf(err, "pitch: unexpected argument \"%s\" (try --help)\n", arg);
            return 2;
        }
        char name[32];
        const char *eq = std::strchr(arg, '=');
        size_t len = eq ? static_cast<size_t>(eq - arg - 2) : std::strlen(arg + 2);
        if (len >= sizeof name) {
            std::fprintf(err, "pitch: unknown option \"%s\" (try --help)\n", arg);
            return 2;
        }
        std::memcpy(name, arg + 2, len);
        name[len] = '\0';
        if (!std::strcmp(name, "help")) {
            printhelp(out);
            return 1;
        }
        if (setflag(name))
            continue;
        const char *value = eq ? eq + 1 : (i + 1 < argc ? argv[++i] : nullptr);
        if (!value) {
            if (takesvalue(name))
                std::fprintf(err, "pitch: option --%s needs a value (try --help)\n", name);
            else
                std::fprintf(err, "pitch: unknown option \"--%s\" (try --help)\n", name);
            return 2;
        }
        const char *why = apply(name, value);
        if (why && !*why) {
            std::fprintf(err, "pitch: unknown option \"--%s\" (try --help)\n", name);
            return 2;
        }
        if (why) {
            std::fprintf(err, "pitch: bad value \"%s\" for --%s: expected %s\n", value, name, why);
            return 2;
        }
    }
    if (Opt.twins && Opt.chasers) {
        std::fprintf(err, "pitch: --twin-teams needs both sides for clients, --opponent chasers "
                          "takes one (try --help)\n");
        return 2;
    }
    if (twinside && !Opt.twins) {
        std::fprintf(err, "pitch: --twin-b-side names one of two teams of one name: it needs "
                          "--twin-teams (try --help)\n");
        return 2;
    }
    if (Opt.waitplayers < 0)
        Opt.waitplayers = Opt.chasers ? TeamSize : 2 * TeamSize;
    return 0;
}

} // namespace vorn::pitch
