// Message parser. A server message is one parenthesised expression whose first word names it:
// "init", "see", "sense_body" or "hear"; anything else is passed over. getpart cuts a message
// into its parts one at a time, recvmess dispatches on the head word, and the object handlers
// (flags, players, lines) read the part pair that getpart leaves in out.
//
// Numbers and words are read with scanf's rules (a field that cannot be read keeps its value,
// "%d" stops at a decimal point), but through small readers of our own: the common shapes are
// converted here directly, and only unusual floats ("1e3", "0x1p3", overlong digit runs) are
// handed to sscanf, so that the hot path stays free of format parsing. Where scanf has no
// sound answer the readers choose one: integers beyond int are clamped, and floats that are
// not finite are not read.

#include "perception/parser.h"

#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/players.h"
#include "perception/referee.h"
#include "placement/placement.h"
#include "runtime/runtime.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace vorn {

// Globals
int Turn = 0;
int AgentSide = 0;
int AgentNumber = 0;
char *ViewQuality = nullptr;
char *ViewWidth = nullptr;
int Stamina = 0;
int Effort = 0;
int AmountOfSpeed = 0;
int HeadDirection = 0;
int KickCount = 0;
int DashCount = 0;
int TurnCount = 0;
int SayCount = 0;
int TurnNeckCount = 0;
char **out = nullptr;
char *com = nullptr;
char *dump = nullptr;
char *dump2 = nullptr;
char *dump3 = nullptr;

// ---------------------------------------------------------------------------------------------
// Readers with scanf's rules. Each takes the cursor by reference, converts one field and
// advances past it; false means the field could not be converted (end of text or no number),
// and a caller stops at the first false, as sscanf stops at its first failed conversion.

// The white space of the C locale, which scanf skips before "%s", "%d" and "%f".
static bool isblankish(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static bool isdigitchar(char c) {
    return c >= '0' && c <= '9';
}

static void skipspace(const char *&p) {
    while (isblankish(*p))
        ++p;
}

// "%s" into a BufSize buffer. A word longer than the buffer is cut (never the case for text
// that came through getpart, whose parts are shorter than BufSize).
bool scanword(const char *&p, char *word) {
    skipspace(p);
    if (*p == '\0')
        return false;
    int n = 0;
    for (; *p != '\0' && !isblankish(*p); ++p)
        if (n < BufSize - 1)
            word[n++] = *p;
    word[n] = '\0';
    return true;
}

// "%c" (the character itself, white space included).
static bool readchar(const char *&p, char *c) {
    if (*p == '\0')
        return false;
    *c = *p++;
    return true;
}

// "%d", but defined for every number: one beyond the range of int is clamped to INT_MIN or
// INT_MAX. (scanf leaves such a number undefined, and the C library wraps it round, so that a
// cycle number of 2147483648 came out negative.)
bool scanint(const char *&p, int *value) {
    skipspace(p);
    const char *q = p;
    bool negative = *q == '-';
    if (*q == '-' || *q == '+')
        ++q;
    const char *first = q;
    int64_t v = 0;
    for (; isdigitchar(*q); ++q)
        if (v <= INT_MAX + 1LL) // past that the clamped result is known; v stays small
            v = v * 10 + (*q - '0');
    if (q == first)
        return false; // a sign or anything else without a digit: matching failure
    v = negative ? -v : v;
    *value = static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
    p = q;
    return true;
}

// Exact powers of ten in single precision (10^10 is the largest one a float holds exactly).
static const float Pow10[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// "%f", but only for finite numbers: "nan", "inf" and a number too large for a float (1e40)
// are no distance, and are refused like any field that cannot be read. A plain decimal (sign,
// digits, point, digits) whose digits fit in 24 bits and that has at most ten decimals is an exact
// float divided by an exact power of ten: one correctly rounded division, the same float that
// scanf's correctly rounded conversion gives. Anything else, or a number followed by a character
// that could continue it, goes to sscanf.
bool scanfloat(const char *&p, float *value) {
    skipspace(p);
    const char *q = p;
    bool negative = *q == '-';
    if (*q == '-' || *q == '+')
        ++q;
    uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool fits = true;
    for (; isdigitchar(*q); ++q, ++digits)
        if ((mantissa = mantissa * 10 + (*q - '0')) > (1u << 24))
            fits = false;
    if (*q == '.')
        for (++q; isdigitchar(*q); ++q, ++digits, ++decimals)
            if ((mantissa = mantissa * 10 + (*q - '0')) > (1u << 24))
                fits = false;
    char next = *q;
    bool continues = next == '.' || next == 'e' || next == 'E' || next == 'x' || next == 'X' ||
                     next == 'p' || next == 'P';
    if (digits == 0 || !fits || decimals > 10 || continues) {
        int n = 0;
        float v = 0;
        if (sscanf(p, "%f%n", &v, &n) != 1 || !std::isfinite(v))
            return false;
        *value = v;
        p += n;
        return true;
    }
    float v = static_cast<float>(mantissa) / Pow10[decimals];
    *value = negative ? -v : v;
    p = q;
    return true;
}

void readdistdir(const char *text, float *distance, int *direction) {
    const char *p = text;
    if (scanfloat(p, distance))
        scanint(p, direction);
}

// The first word of a part: false when the part holds none. com is emptied then, so that no
// word of an earlier message or part can be taken for this one's.
static bool readhead(const char *name) {
    const char *p = name;
    if (scanword(p, com))
        return true;
    com[0] = '\0';
    return false;
}

// ---------------------------------------------------------------------------------------------
// Cutting parts

// Skips every "(" at pos, then takes the text up to the first ")" as the name part and the
// rest up to the next "(" as the value part; later ")" are dropped. The "(" that ends the part
// is left for the next call. At the end of the text the name part is empty and pos stays.
// A part longer than a buffer is cut to BufSize - 1 characters (and read to its end).
char **getpart(const char *mess, int &pos) {
    const char *p = mess + pos;
    while (*p == '(')
        ++p;
    char *buffer = out[0];
    bool inname = true;
    int fill = 0;
    for (; *p != '\0' && *p != '('; ++p) {
        if (*p != ')') {
            if (fill < BufSize - 1)
                buffer[fill++] = *p;
        } else if (inname) {
            buffer[fill] = '\0';
            buffer = out[1];
            inname = false;
            fill = 0;
        }
    }
    buffer[fill] = '\0';
    pos = static_cast<int>(p - mess);
    return out;
}

int getnbrargs(const char *text) {
    int words = 0;
    for (size_t i = 0; text[i] != '\0'; i++)
        if (text[i] != ' ' && (i == 0 || text[i - 1] == ' '))
            words++;
    return words;
}

// ---------------------------------------------------------------------------------------------
// Messages

// (init l 3 before_kick_off): side letter, uniform number, play mode. Read like
// "%s%*c%c%*c%d%s"; a side letter that cannot be read leaves AgentSide as it was.
static int initreply() {
    const char *p = out[0];
    char side = '\0', skipped;
    bool gotside = scanword(p, dump) && readchar(p, &skipped) && readchar(p, &side);
    if (gotside && readchar(p, &skipped) && scanint(p, &AgentNumber))
        scanword(p, Event);
    if (gotside && side == 'l') {
        AgentSide = 0;
        logf("AgentSide=left\n");
    } else if (gotside) {
        AgentSide = 1;
        logf("AgentSide=right\n");
    }
    initinfo();
    initplace();
    return 3;
}

// ((b) 1.2 150 -0.1 3): distance, direction, distance change, direction change. The time is
// stamped even when no number can be read.
static void seeball() {
    Ball->time = Turn;
    const char *p = out[1];
    if (scanfloat(p, &Ball->distance) && scanint(p, &Ball->direction) &&
        scanfloat(p, &Ball->distchange))
        scanint(p, &Ball->dirchange);
}

// ((g r) 30 10): the whole name decides; "g" alone names no goal.
static void seegoal() {
    if (strcmp(out[0], "g r") == 0) {
        GoalR->time = Turn;
        readdistdir(out[1], &GoalR->distance, &GoalR->direction);
    }
    if (strcmp(out[0], "g l") == 0) {
        GoalL->time = Turn;
        readdistdir(out[1], &GoalL->distance, &GoalL->direction);
    }
}

// One entry of a "see", dispatched on the first word of its name.
static void seeentry() {
    if (com[1] != '\0')
        return; // every object word is one letter
    switch (com[0]) {
    case 'f':
        handleflag(out);
        break;
    case 'p':
        handleplayer(out);
        break;
    case 'l':
        handleline(out);
        break;
    case 'b':
        seeball();
        break;
    case 'g':
        seegoal();
        break;
    default:
        break;
    }
}

// (see 57 ((f c) 12.2 -35) ((g r) 46.5 8) ((b) 20.1 -3 0.2 1) ((p "vorn" 7) 10.5 30)
//  ((p "opp") 44.7 8) ((p) 60 12) ((l r) 45.6 90))
// The time stamps every record that this message updates. Before the init reply there are no
// records to update: such a "see" is passed over like an unknown message.
static int see(const char *mess, int pos) {
    if (Ball == nullptr)
        return 3;
    const char *p = out[0];
    if (scanword(p, dump))
        scanint(p, &Turn);
    while (mess[pos] != '\0') {
        // An entry cut off before its closing parenthesis has no value part; without this the
        // numbers of the entry before it would be read as its own.
        out[1][0] = '\0';
        getpart(mess, pos);
        if (readhead(out[0]))
            seeentry();
    }
    return 1;
}

// Reads one body part's name and up to two integers; missing ones keep their values.
static void bodypart(const char *mess, int &pos, int *first, int *second) {
    getpart(mess, pos);
    const char *p = out[0];
    if (scanword(p, dump) && scanint(p, first) && second != nullptr)
        scanint(p, second);
}

// (sense_body 0 (view_mode high normal) (stamina 8000 1) (speed 0 0) (head_angle 0) (kick 0)
//  (dash 0) (turn 0) (say 0) (turn_neck 0))
// The parts are taken by position; every number is read as an integer (0.8 gives 0).
static int sensebody(const char *mess, int pos) {
    const char *p = out[0];
    if (scanword(p, dump))
        scanint(p, &Turn);
    if (Turn % 100 == 0)
        printf("Agent %d team %s still working turn %d \n", AgentNumber,
               TeamName != nullptr ? TeamName : "", Turn);
    getpart(mess, pos);
    p = out[0];
    if (scanword(p, dump) && scanword(p, ViewQuality))
        scanword(p, ViewWidth);
    bodypart(mess, pos, &Stamina, &Effort);
    bodypart(mess, pos, &AmountOfSpeed, nullptr);
    bodypart(mess, pos, &HeadDirection, nullptr);
    bodypart(mess, pos, &KickCount, nullptr);
    bodypart(mess, pos, &DashCount, nullptr);
    bodypart(mess, pos, &TurnCount, nullptr);
    bodypart(mess, pos, &SayCount, nullptr);
    bodypart(mess, pos, &TurnNeckCount, nullptr);
    return 2;
}

// (hear 110 referee goal_l_1) or (hear 40 -30 hello): time, sender, first word of the text.
// Only a message read whole, with the sender "referee", is a referee call: a shorter one
// would leave a sender or call word of an earlier message in the scratch words.
static int hear() {
    printf("in hear out[0]=%s,out[1]=%s\n", out[0], out[1]);
    const char *p = out[0];
    bool whole = scanword(p, dump) && scanint(p, &Turn) && scanword(p, dump2) && scanword(p, dump3);
    if (whole && strcmp(dump2, "referee") == 0)
        refereecall(dump3);
    return 3;
}

// A text of 2 GiB or more is no datagram, and the parse position could not address it: it is
// passed over like an unknown message.
int recvmess(const char *mess) {
    logf("recvmess\n");
    if (strnlen(mess, INT_MAX) == INT_MAX)
        return 3;
    int pos = 0;
    getpart(mess, pos);
    if (!readhead(out[0]))
        return 3;
    if (strcmp(com, "init") == 0)
        return initreply();
    if (strcmp(com, "see") == 0)
        return see(mess, pos);
    if (strcmp(com, "sense_body") == 0)
        return sensebody(mess, pos);
    if (strcmp(com, "hear") == 0)
        return hear();
    return 3;
}

} // namespace vorn
