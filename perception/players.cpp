// Player observations. The server names a player in one of four ways:
//   (p "vorn" 7 goalie)  (p "vorn" 7)  numbered: the record of that number is updated in place
//   (p "opp")                          team-only: a new record replaces the nearest stale one
//   (p)                                anonymous: the same, searched in both teams
// A record is stale when it was not stamped by the "see" being parsed (time below Turn).
//
// A sighting without a number fills a spare record, which then takes the place of the record
// it displaces; the displaced record becomes a spare in its turn. The spares are used round
// in a ring, so a record returns to a table only after SpareCount others, and nothing is
// allocated or freed while the match runs.

#include "perception/players.h"

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/runtime.h"

#include <cstring>

namespace vorn {

// Globals
char *pteamname = nullptr;

constexpr int SpareCount = 2 * TeamSize;
static ExtObs SpareRecords[SpareCount];
static ExtObs *spares[SpareCount]; // records free for the next sighting without a number
static int nextspare = 0;          // the spare the next such sighting fills

// The best slot found so far while matching a player seen without a number.
struct Candidate {
    ExtObs **table;  // TeamPlayer or OppPlayer
    int slot;        // 0..TeamSize-1
    double distance; // metres between the new record and the slot's record
};

// The team word is the quoted name: copy it without its quotes. A word without its closing
// quote gives everything after the opening one.
static void taketeamname(const char *word) {
    int n = 0;
    if (word[0] != '\0')
        for (const char *c = word + 1; *c != '\0' && *c != '"' && n < BufSize - 1; ++c)
            pteamname[n++] = *c;
    pteamname[n] = '\0';
}

static ExtObs **teamtable() {
    return TeamName != nullptr && strcmp(pteamname, TeamName) == 0 ? TeamPlayer : OppPlayer;
}

// Looks at slots from..TeamSize-1 of one table for a stale record strictly nearer than the
// candidate; the agent's own slot is never taken when skipown is set.
static void nearerstale(const ExtObs *seen, ExtObs **table, int from, bool skipown,
                        Candidate &best) {
    for (int i = from; i < TeamSize; i++) {
        double d = getlength(seen, table[i]);
        if (d < best.distance && table[i]->time < Turn && !(skipown && i + 1 == AgentNumber))
            best = {table, i, d};
    }
}

// A fresh record for a player seen without a number; numbers it lacks are 0.
static ExtObs *newsighting(const char *values) {
    if (spares[nextspare] == nullptr)
        for (int i = 0; i < SpareCount; i++)
            spares[i] = &SpareRecords[i];
    ExtObs *seen = spares[nextspare];
    *seen = ExtObs{};
    seen->time = Turn;
    readdistdir(values, &seen->distance, &seen->direction);
    return seen;
}

// The sighting's record takes the slot; the record it displaces becomes the spare.
static void takeslot(const Candidate &chosen, ExtObs *seen) {
    spares[nextspare] = chosen.table[chosen.slot];
    nextspare = (nextspare + 1) % SpareCount;
    chosen.table[chosen.slot] = seen;
}

// Slot 0 starts as the candidate without any test, so it may be displaced even when fresh.
static void teamonly(const char *values) {
    logf("nbrarg==2\n");
    ExtObs *seen = newsighting(values);
    ExtObs **table = teamtable();
    Candidate best = {table, 0, getlength(seen, table[0])};
    nearerstale(seen, table, 1, table == TeamPlayer, best);
    takeslot(best, seen);
}

// An opponent wins over the best team-mate only when strictly nearer.
static void anonymous(const char *values) {
    logf("nbrarg==1\n");
    ExtObs *seen = newsighting(values);
    Candidate best = {TeamPlayer, 0, getlength(seen, TeamPlayer[0])};
    nearerstale(seen, TeamPlayer, 1, true, best);
    nearerstale(seen, OppPlayer, 0, false, best);
    takeslot(best, seen);
}

// (p "vorn" 7) 10.5 30: the record of number 7 of that team, whoever it held before. A number
// outside 1..11, or none at all, names no record: the sighting is passed over.
static void numbered(const char *name, const char *values, bool goalie) {
    int number = 0;
    const char *p = name;
    if (!(scanword(p, dump) && scanword(p, dump2) && scanint(p, &number)))
        return;
    if (goalie)
        scanword(p, dump3); // the word goalie, not used
    if (number < 1 || number > TeamSize)
        return;
    logf("nbrarg>=3\n");
    taketeamname(dump2);
    ExtObs *record = teamtable()[number - 1];
    record->time = Turn;
    readdistdir(values, &record->distance, &record->direction);
}

// Words are counted between blanks. More than four words are read as the four-word form, the
// extra words unused.
void handleplayer(char **entry) {
    logf("handleplayer");
    if (Ball == nullptr)
        return; // no table before the init reply
    int words = getnbrargs(entry[0]);
    if (words >= 3) {
        numbered(entry[0], entry[1], words >= 4);
    } else if (words == 2) {
        const char *p = entry[0];
        scanword(p, dump); // two blank-separated words are two words for scanf too
        scanword(p, dump2);
        taketeamname(dump2);
        teamonly(entry[1]);
    } else if (words == 1) {
        anonymous(entry[1]);
    }
}

} // namespace vorn
