// command.cpp -- the commands a player sends, parsed and carried out.
//
// move, turn, dash, kick and catch share one body command per cycle: the first one
// taken wins and later ones in the same cycle are ignored without a reply. A kick or
// catch that finds no ball still uses the slot; a move in a mode that forbids it does
// not. The slot is freed at the start of every step.

#include "pitch/command.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pitch/format.h"
#include "pitch/geom.h"
#include "pitch/net.h"
#include "pitch/params.h"
#include "pitch/physics.h"
#include "pitch/record.h"
#include "pitch/referee.h"
#include "pitch/textlog.h"
#include "pitch/vision.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Cursor: a position in one datagram's text. s[n] is a NUL.
struct Cursor {
    const char *s;
    size_t n;
    size_t i;
};

static void skipblanks(Cursor &c) {
    while (c.i < c.n &&
           (c.s[c.i] == ' ' || c.s[c.i] == '\t' || c.s[c.i] == '\n' || c.s[c.i] == '\r'))
        c.i++;
}

static bool expect(Cursor &c, char ch) {
    skipblanks(c);
    if (c.i < c.n && c.s[c.i] == ch) {
        c.i++;
        return true;
    }
    return false;
}

// word: letters and underscores, at most cap - 1 of them.
static bool word(Cursor &c, char *buf, size_t cap) {
    skipblanks(c);
    size_t k = 0;
    while (c.i < c.n && (std::isalpha(static_cast<unsigned char>(c.s[c.i])) || c.s[c.i] == '_')) {
        if (k + 1 >= cap)
            return false;
        buf[k++] = c.s[c.i++];
    }
    buf[k] = '\0';
    return k > 0;
}

// number: [+-] digits [. digits] [e [+-] digits], or with the digits only after the
// point. The span is checked here, so strtod never looks beyond it.
static bool number(Cursor &c, double &v) {
    skipblanks(c);
    size_t start = c.i, j = c.i;
    auto digits = [&](size_t &k) {
        size_t from = k;
        while (k < c.n && std::isdigit(static_cast<unsigned char>(c.s[k])))
            k++;
        return k - from;
    };
    if (j < c.n && (c.s[j] == '+' || c.s[j] == '-'))
        j++;
    size_t intpart = digits(j), frac = 0;
    if (j < c.n && c.s[j] == '.') {
        j++;
        frac = digits(j);
    }
    if (intpart + frac == 0)
        return false;
    if (j < c.n && (c.s[j] == 'e' || c.s[j] == 'E')) {
        size_t k = j + 1;
        if (k < c.n && (c.s[k] == '+' || c.s[k] == '-'))
            k++;
        if (digits(k) > 0)
            j = k;
    }
    char tmp[64];
    size_t len = j - start;
    if (len >= sizeof tmp)
        return false;
    std::memcpy(tmp, c.s + start, len);
    tmp[len] = '\0';
    v = std::strtod(tmp, nullptr);
    c.i = j;
    return std::isfinite(v);
}

// skiprest: pass over the arguments of a command pitch accepts but does not model, up
// to its closing parenthesis.
static bool skiprest(Cursor &c) {
    int depth = 1;
    while (c.i < c.n) {
        char ch = c.s[c.i++];
        if (ch == '(')
            depth++;
        else if (ch == ')' && --depth == 0)
            return true;
    }
    return false;
}

static bool bodyfree(Player &p) {
    if (p.bodyused)
        return false;
    p.bodyused = true;
    return true;
}

int cmdmove(int slot, double x, double y) {
    Player &p = Players[slot];
    if (!moveallowed(slot))
        return IgnoredMode;
    bool holding = TheBall.holder == slot;
    if (holding && p.moves >= GoalieMaxMoves) {
        sendplayer(slot, "(error too_many_moves)");
        return IgnoredMode;
    }
    if (!bodyfree(p))
        return IgnoredSecond;
    if (Mode == ModeBeforeKickOff && x >= -0.3)
        sendplayer(slot, "(warning moving_to_opponent_field)");
    p.x = x * p.side; // only the position: the velocity is kept and decays as usual
    p.y = y * p.side;
    p.movesdone++;
    if (holding)
        p.moves++; // the ball follows him in the next step, not now
    else
        collide(judgetouch); // before a kick-off or after a goal: overlaps resolved at once
    return Executed;
}

int cmdturn(int slot, double moment) {
    Player &p = Players[slot];
    if (!bodyfree(p))
        return IgnoredSecond;
    turnby(p, moment);
    p.turns++;
    return Executed;
}

int cmddash(int slot, double power, double dir) {
    Player &p = Players[slot];
    if (!bodyfree(p))
        return IgnoredSecond;
    queuedash(p, power, dir);
    p.dashes++;
    refereedashed(slot);
    return Executed;
}

int cmdkick(int slot, double power, double dir) {
    Player &p = Players[slot];
    if (!bodyfree(p))
        return IgnoredSecond;
    p.kicktries++; // p.kicks counts only those that reach the ball, and a faulting one
    bool heldbyother = TheBall.holder >= 0 && TheBall.holder != slot;
    if (!kickallowed() || heldbyother)
        return Executed;
    int call = refereekicktry(slot);
    if (call == KickFaulted)
        p.kicks++; // the faulting kick counts, though the ball is placed for the fault
    if (call != KickFree || !kickable(p))
        return Executed;
    double accel = kickball(p, power, dir);
    p.kicks++;
    refereekicked(slot, accel);
    return Executed;
}

int cmdcatch(int slot, double dir) {
    Player &p = Players[slot];
    if (!bodyfree(p))
        return IgnoredSecond;
    p.catchtries++; // p.catches counts only those that reach the ball
    if (!p.goalie || p.catchban > 0 || Mode != ModePlayOn || TheBall.holder >= 0)
        return Executed;
    p.catchban = CatchBanCycles;
    if (incatcharea(p, dir)) {
        p.catches++;
        catchball(slot);
        refereecaught(slot);
    }
    return Executed;
}

int cmdturnneck(int slot, double moment) {
    Player &p = Players[slot];
    if (p.neckused)
        return IgnoredSecond;
    p.neckused = true;
    turnneckby(p, moment);
    p.necks++;
    return Executed;
}

// A say reaches every other player within 50 m who can still hear one message this
// cycle from the speaker's team; the direction is relative to the listener's body.
int cmdsay(int slot, const char *msg, size_t len) {
    if (len > SayMaxLength)
        return Dropped;
    Player &sp = Players[slot];
    char m[SayMaxLength + 1];
    std::memcpy(m, msg, len);
    m[len] = '\0';
    char text[64];
    sp.says++;
    std::snprintf(text, sizeof text, "(hear %d self %s)", Time, m);
    sendplayer(slot, text);
    for (int i = 0; i < MaxPlayers; i++) {
        Player &l = Players[i];
        if (i == slot || !l.on)
            continue;
        double dx = sp.x - l.x, dy = sp.y - l.y;
        if (std::hypot(dx, dy) > AudioCutDistance)
            continue;
        double &cap = l.side == sp.side ? l.hearmate : l.hearopp;
        if (cap < 1)
            continue;
        cap -= 1;
        std::snprintf(text, sizeof text, "(hear %d %d %s)", Time, truncdir(dirrad(dx, dy) - l.body),
                      m);
        sendplayer(i, text);
    }
    return Executed;
}

static bool sayallowed(char ch) {
    return std::isalnum(static_cast<unsigned char>(ch)) || std::strchr(" ().+-*/?<>_", ch);
}

// The unquoted message runs greedily to the last ")" reachable through allowed
// characters, so commands written after it become part of the message, as on the real
// server. The quoted form ends at the closing quote.
static bool parsesay(Cursor &c, int slot, int &outcome) {
    skipblanks(c);
    const char *msg = c.s + c.i;
    size_t len = 0;
    if (c.i < c.n && c.s[c.i] == '"') {
        const char *q = static_cast<const char *>(std::memchr(c.s + c.i + 1, '"', c.n - c.i - 1));
        if (!q)
            return false;
        msg = c.s + c.i + 1;
        len = static_cast<size_t>(q - msg);
        c.i = static_cast<size_t>(q - c.s) + 1;
        if (!expect(c, ')'))
            return false;
    } else {
        size_t j = c.i, close = c.n;
        while (j < c.n && c.s[j] != '\0' && sayallowed(c.s[j])) {
            if (c.s[j] == ')')
                close = j;
            j++;
        }
        if (close == c.n)
            return false;
        len = close - c.i;
        c.i = close + 1;
    }
    outcome = cmdsay(slot, msg, len);
    return true;
}

static bool parseview(Cursor &c, int slot) {
    char w[16], q[16] = "high";
    if (!word(c, w, sizeof w))
        return false;
    skipblanks(c);
    if (c.i < c.n && c.s[c.i] != ')' && !word(c, q, sizeof q))
        return false;
    if (!expect(c, ')'))
        return false;
    int width = !std::strcmp(w, "narrow")   ? ViewNarrow
                : !std::strcmp(w, "normal") ? ViewNormal
                : !std::strcmp(w, "wide")   ? ViewWide
                                            : -1;
    bool low = !std::strcmp(q, "low");
    if (width < 0 || (!low && std::strcmp(q, "high")))
        return false;
    Players[slot].viewwidth = width;
    Players[slot].lowquality = low;
    Players[slot].views++;
    return true;
}

static void replyscore(int slot) {
    const Player &p = Players[slot];
    char text[64];
    std::snprintf(text, sizeof text, "(score %d %d %d)", Time, Score[sideindex(p.side)],
                  Score[sideindex(-p.side)]);
    sendplayer(slot, text);
}

static void replysensebody(int slot) {
    char buf[512];
    Out o = outof(buf, sizeof buf);
    buildsensebody(slot, o);
    sendplayer(slot, buf);
}

// Commands with numbers only: move, turn, dash, kick, catch, turn_neck.
static bool parsenumeric(Cursor &c, int slot, int kind, int &outcome) {
    double a = 0, b = 0;
    if (!number(c, a))
        return false;
    bool two = kind == KindMove || kind == KindKick;
    if (two && !number(c, b))
        return false;
    if (kind == KindDash) {
        skipblanks(c);
        if (c.i < c.n && c.s[c.i] != ')' && !number(c, b))
            return false;
    }
    if (!expect(c, ')'))
        return false;
    switch (kind) {
    case KindMove:
        outcome = cmdmove(slot, a, b);
        break;
    case KindTurn:
        outcome = cmdturn(slot, a);
        break;
    case KindDash:
        outcome = cmddash(slot, a, b);
        break;
    case KindKick:
        outcome = cmdkick(slot, a, b);
        break;
    case KindCatch:
        outcome = cmdcatch(slot, a);
        break;
    default:
        outcome = cmdturnneck(slot, a);
        break;
    }
    return true;
}

static int kindof(const char *w) {
    static const char *const numeric[] = {"move", "turn", "dash", "kick", "catch", "turn_neck"};
    static const int kinds[] = {KindMove, KindTurn, KindDash, KindKick, KindCatch, KindTurnNeck};
    for (int i = 0; i < 6; i++)
        if (!std::strcmp(w, numeric[i]))
            return kinds[i];
    if (!std::strcmp(w, "say"))
        return KindSay;
    if (!std::strcmp(w, "change_view"))
        return KindChangeView;
    if (!std::strcmp(w, "sense_body"))
        return KindSenseBody;
    if (!std::strcmp(w, "score"))
        return KindScore;
    if (!std::strcmp(w, "bye"))
        return KindBye;
    static const char *const unmodelled[] = {"tackle",       "pointto",      "attentionto", "ear",
                                             "clang",        "compression",  "synch_see",   "done",
                                             "change_focus", "gaussian_see", "long_kick"};
    for (const char *u : unmodelled)
        if (!std::strcmp(w, u))
            return KindOther;
    return -1;
}

// parseone: one command at the cursor. Returns false on a malformed command.
static bool parseone(Cursor &c, int slot, int64_t nowus) {
    size_t start = c.i;
    char w[24];
    if (!expect(c, '(') || !word(c, w, sizeof w))
        return false;
    int kind = kindof(w), outcome = Executed;
    bool ok = true;
    switch (kind) {
    case KindSay:
        ok = parsesay(c, slot, outcome);
        break;
    case KindChangeView:
        ok = parseview(c, slot);
        break;
    case KindSenseBody:
    case KindScore:
    case KindBye:
        ok = expect(c, ')');
        break;
    case KindOther:
        ok = skiprest(c);
        outcome = Dropped;
        break;
    case -1:
        return false;
    default:
        ok = parsenumeric(c, slot, kind, outcome);
        break;
    }
    if (!ok)
        return false;
    notecommand(slot, kind, outcome, c.s + start, c.i - start, nowus);
    if (kind == KindSenseBody)
        replysensebody(slot);
    else if (kind == KindScore)
        replyscore(slot);
    else if (kind == KindBye) {
        closereply(slot);
        Players[slot].on = false;
    }
    return true;
}

void runcommands(int slot, const char *text, size_t len, int64_t nowus) {
    textlogrecv(slot, text, len);
    Cursor c{text, len, 0};
    if (std::memchr(text, '\0', len))
        c.n = std::strlen(text); // a client's NUL ends its text
    for (int guard = 0; guard < static_cast<int>(DatagramMax); guard++) {
        skipblanks(c);
        if (c.i >= c.n || !Players[slot].on)
            return;
        if (!parseone(c, slot, nowus)) {
            sendplayer(slot, "(error illegal_command_form)");
            return;
        }
    }
}

} // namespace vorn::pitch
