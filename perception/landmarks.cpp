// Landmark table: the records of the 53 flags, the two goals, the four lines, the ball and
// the 22 players, built at the init reply, and the update of a flag from a "see" entry.
// Records are overwritten in place; only the player records are replaced while running.

#include "perception/landmarks.h"

#include "perception/parser.h"
#include "runtime/runtime.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace vorn {

// Globals
Obs *FlagLT = nullptr, *FlagGLT = nullptr, *FlagGLB = nullptr, *FlagLB = nullptr;
Obs *FlagPLT = nullptr, *FlagPLC = nullptr, *FlagPLB = nullptr;
Obs *FlagCT = nullptr, *FlagC = nullptr, *FlagCB = nullptr;
Obs *FlagPRT = nullptr, *FlagPRC = nullptr, *FlagPRB = nullptr;
Obs *FlagRT = nullptr, *FlagGRT = nullptr, *FlagGRB = nullptr, *FlagRB = nullptr;
Obs *FlagL0 = nullptr, *FlagT0 = nullptr, *FlagB0 = nullptr, *FlagR0 = nullptr;
Obs *FlagLT10 = nullptr, *FlagLT20 = nullptr, *FlagLT30 = nullptr;
Obs *FlagLB10 = nullptr, *FlagLB20 = nullptr, *FlagLB30 = nullptr;
Obs *FlagRT10 = nullptr, *FlagRT20 = nullptr, *FlagRT30 = nullptr;
Obs *FlagRB10 = nullptr, *FlagRB20 = nullptr, *FlagRB30 = nullptr;
Obs *FlagTL10 = nullptr, *FlagTL20 = nullptr, *FlagTL30 = nullptr, *FlagTL40 = nullptr;
Obs *FlagTL50 = nullptr;
Obs *FlagTR10 = nullptr, *FlagTR20 = nullptr, *FlagTR30 = nullptr, *FlagTR40 = nullptr;
Obs *FlagTR50 = nullptr;
Obs *FlagBL10 = nullptr, *FlagBL20 = nullptr, *FlagBL30 = nullptr, *FlagBL40 = nullptr;
Obs *FlagBL50 = nullptr;
Obs *FlagBR10 = nullptr, *FlagBR20 = nullptr, *FlagBR30 = nullptr, *FlagBR40 = nullptr;
Obs *FlagBR50 = nullptr;
Obs *GoalL = nullptr, *GoalR = nullptr;
Obs *LineL = nullptr, *LineT = nullptr, *LineR = nullptr, *LineB = nullptr;
ExtObs *Ball = nullptr;
ExtObs *TeamPlayer[TeamSize] = {};
ExtObs *OppPlayer[TeamSize] = {};

// The flag names as the server writes them, each with the record it updates.
struct FlagName {
    const char *name;
    Obs **record;
};

// ORDER FLAGS: the order in which the names are tried; names are unique, so at most one
// matches a given entry.
static constexpr FlagName Flags[] = {
    {"f l t", &FlagLT},      {"f g l t", &FlagGLT},   {"f g l b", &FlagGLB},
    {"f l b", &FlagLB},      {"f p l t", &FlagPLT},   {"f p l c", &FlagPLC},
    {"f p l b", &FlagPLB},   {"f c t", &FlagCT},      {"f c", &FlagC},
    {"f c b", &FlagCB},      {"f p r t", &FlagPRT},   {"f p r c", &FlagPRC},
    {"f p r b", &FlagPRB},   {"f r t", &FlagRT},      {"f g r t", &FlagGRT},
    {"f g r b", &FlagGRB},   {"f r b", &FlagRB},      {"f l 0", &FlagL0},
    {"f t 0", &FlagT0},      {"f b 0", &FlagB0},      {"f r 0", &FlagR0},
    {"f l t 10", &FlagLT10}, {"f l t 20", &FlagLT20}, {"f l t 30", &FlagLT30},
    {"f l b 10", &FlagLB10}, {"f l b 20", &FlagLB20}, {"f l b 30", &FlagLB30},
    {"f r t 10", &FlagRT10}, {"f r t 20", &FlagRT20}, {"f r t 30", &FlagRT30},
    {"f r b 10", &FlagRB10}, {"f r b 20", &FlagRB20}, {"f r b 30", &FlagRB30},
    {"f t l 10", &FlagTL10}, {"f t l 20", &FlagTL20}, {"f t l 30", &FlagTL30},
    {"f t l 40", &FlagTL40}, {"f t l 50", &FlagTL50}, {"f t r 10", &FlagTR10},
    {"f t r 20", &FlagTR20}, {"f t r 30", &FlagTR30}, {"f t r 40", &FlagTR40},
    {"f t r 50", &FlagTR50}, {"f b l 10", &FlagBL10}, {"f b l 20", &FlagBL20},
    {"f b l 30", &FlagBL30}, {"f b l 40", &FlagBL40}, {"f b l 50", &FlagBL50},
    {"f b r 10", &FlagBR10}, {"f b r 20", &FlagBR20}, {"f b r 30", &FlagBR30},
    {"f b r 40", &FlagBR40}, {"f b r 50", &FlagBR50},
};
constexpr int FlagCount = sizeof Flags / sizeof Flags[0];
static_assert(FlagCount == 53);

// An open-addressing index over Flags, built at compile time, so that an entry costs one hash
// and usually one string comparison instead of 53. A lookup compares whole strings along its
// probe run, which holds every name of its hash, so it finds exactly the record that trying
// every name in turn would find.
constexpr unsigned FlagIndexSize = 128; // a power of two, well above FlagCount
constexpr int NoFlag = -1;

constexpr unsigned flaghash(const char *name) {
    unsigned h = 0;
    for (; *name != '\0'; ++name)
        h = h * 31 + static_cast<unsigned char>(*name);
    return h & (FlagIndexSize - 1);
}

struct FlagIndex {
    int slot[FlagIndexSize]; // position in Flags, or NoFlag
};

consteval FlagIndex buildflagindex() {
    FlagIndex index{};
    for (unsigned i = 0; i < FlagIndexSize; i++)
        index.slot[i] = NoFlag;
    for (int f = 0; f < FlagCount; f++) {
        unsigned i = flaghash(Flags[f].name);
        while (index.slot[i] != NoFlag)
            i = (i + 1) & (FlagIndexSize - 1);
        index.slot[i] = f;
    }
    return index;
}

static constexpr FlagIndex FlagLookup = buildflagindex();

// The record of the flag with exactly this name, or nullptr.
static Obs **findflag(const char *name) {
    if (name[0] != 'f' || strlen(name) > 8)
        return nullptr; // every flag name starts with "f" and has at most 8 characters
    for (unsigned i = flaghash(name); FlagLookup.slot[i] != NoFlag;
         i = (i + 1) & (FlagIndexSize - 1))
        if (strcmp(Flags[FlagLookup.slot[i]].name, name) == 0)
            return Flags[FlagLookup.slot[i]].record;
    return nullptr;
}

Obs *initpoint() {
    Obs *record = static_cast<Obs *>(mymalloc(sizeof(Obs)));
    *record = Obs{-1, 0, 0};
    return record;
}

// A record of the table is made once and renewed in place by every later init reply, so
// that repeated init replies neither leak nor free what someone may still point at.
static void renew(Obs *&record) {
    if (record == nullptr)
        record = initpoint();
    else
        *record = Obs{-1, 0, 0};
}

static void renew(ExtObs *&record, int time) {
    if (record == nullptr)
        record = new ExtObs{};
    else
        *record = ExtObs{};
    record->time = time;
}

// ORDER FLAGS for the 21 names before the numbered ones; goals stand beside their flags.
void initinfo() {
    Obs **first[] = {&FlagLT, &FlagGLT, &GoalL,  &FlagGLB, &FlagLB,  &FlagPLT, &FlagPLC, &FlagPLB,
                     &FlagCT, &FlagC,   &FlagCB, &FlagPRT, &FlagPRC, &FlagPRB, &FlagRT,  &FlagGRT,
                     &GoalR,  &FlagGRB, &FlagRB, &FlagL0,  &FlagT0,  &FlagB0,  &FlagR0};
    for (Obs **record : first)
        renew(*record);
    for (int f = 21; f < FlagCount; f++)
        renew(*Flags[f].record);
    for (Obs **line : {&LineL, &LineT, &LineR, &LineB})
        renew(*line);
    renew(Ball, -1);
    for (int i = 0; i < TeamSize; i++) {
        renew(TeamPlayer[i], 10);
        renew(OppPlayer[i], 10);
    }
    Turn = 0;
}

// ((f p l c) 12.2 -35): stamps the flag, then reads distance and direction as far as they
// can be read.
char **handleflag(char **entry) {
    Obs **record = findflag(entry[0]);
    if (record != nullptr && *record != nullptr) {
        (*record)->time = Turn;
        readdistdir(entry[1], &(*record)->distance, &(*record)->direction);
    }
    return entry;
}

// Law of cosines over the angle at the agent. Rounding of the single-precision squares can
// push the radicand a hair below zero for nearly equal positions; that reads as distance 0.
double getlength(const Obs *a, const Obs *b) {
    // The difference is taken in double: directions read from a datagram may be any int.
    double angle = (static_cast<double>(a->direction) - b->direction) * 3.141592653589793 / 180;
    float aa = a->distance * a->distance;
    float bb = b->distance * b->distance;
    float ab = a->distance * b->distance;
    double square = static_cast<double>(aa) + bb - 2.0 * ab * cos(angle);
    return square > 0 ? sqrt(square) : 0;
}

} // namespace vorn
