// Player sightings: numbered ones update their slot in place, team-only and anonymous ones
// replace the nearest stale record, and malformed names touch nothing or read sensibly.

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "perception/players.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vorn;
using vorntest::parse;

namespace {

// Puts a record in a slot as an earlier "see" would have left it.
void place(ExtObs *record, int time, float distance, int direction) {
    record->time = time;
    record->distance = distance;
    record->direction = direction;
}

// All 22 records of both tables, far away and seen long ago.
void spreadout(int time) {
    for (int i = 0; i < TeamSize; i++) {
        place(TeamPlayer[i], time, 80, -170 + 10 * i);
        place(OppPlayer[i], time, 80, 10 + 10 * i);
    }
}

struct Tables {
    ExtObs *team[TeamSize];
    ExtObs *opp[TeamSize];
};

Tables tables() {
    Tables t;
    for (int i = 0; i < TeamSize; i++) {
        t.team[i] = TeamPlayer[i];
        t.opp[i] = OppPlayer[i];
    }
    return t;
}

// The slots whose record is no longer the one in the given tables.
std::vector<std::string> replaced(const Tables &before) {
    std::vector<std::string> slots;
    for (int i = 0; i < TeamSize; i++) {
        if (TeamPlayer[i] != before.team[i])
            slots.push_back("team " + std::to_string(i));
        if (OppPlayer[i] != before.opp[i])
            slots.push_back("opp " + std::to_string(i));
    }
    return slots;
}

using Slots = std::vector<std::string>;

// Starts from the agent of uniform number 9 on the left.
using Players = vorntest::AgentTest;

} // namespace

TEST_F(Players, NumberedOwnPlayerUpdatesItsSlotInPlace) {
    Tables before = tables();
    parse("(see 120 ((p \"vorn\" 7) 10.5 30))");
    EXPECT_EQ(replaced(before), Slots{});
    EXPECT_EQ(TeamPlayer[6]->time, 120);
    EXPECT_FLOAT_EQ(TeamPlayer[6]->distance, 10.5f);
    EXPECT_EQ(TeamPlayer[6]->direction, 30);
    EXPECT_EQ(OppPlayer[6]->time, 10);
}

TEST_F(Players, NumberedOpponentGoalieIgnoresTheGoalieWord) {
    parse("(see 120 ((p \"opp\" 3 goalie) 20 -15))");
    EXPECT_EQ(OppPlayer[2]->time, 120);
    EXPECT_FLOAT_EQ(OppPlayer[2]->distance, 20);
    EXPECT_EQ(OppPlayer[2]->direction, -15);
    EXPECT_EQ(TeamPlayer[2]->time, 10);
    EXPECT_STREQ(pteamname, "opp");
}

TEST_F(Players, OwnNumberIsOverwrittenByANumberedSighting) {
    parse("(see 120 ((p \"vorn\" 9) 1 2))");
    EXPECT_EQ(TeamPlayer[8]->time, 120);
}

TEST_F(Players, NumberedSightingKeepsOldValuesItCannotRead) {
    place(TeamPlayer[3], 50, 7, 8);
    parse("(see 120 ((p \"vorn\" 4) 3))");
    EXPECT_EQ(TeamPlayer[3]->time, 120);
    EXPECT_FLOAT_EQ(TeamPlayer[3]->distance, 3);
    EXPECT_EQ(TeamPlayer[3]->direction, 8);
}

TEST_F(Players, TeamNameMustMatchWhole) {
    parse("(see 120 ((p \"vornx\" 2) 1 2) ((p \"vor\" 3) 1 2) ((p \"VORN\" 4) 1 2))");
    EXPECT_EQ(OppPlayer[1]->time, 120);
    EXPECT_EQ(OppPlayer[2]->time, 120);
    EXPECT_EQ(TeamPlayer[1]->time, 10);
    EXPECT_EQ(TeamPlayer[2]->time, 10);
    EXPECT_EQ(OppPlayer[3]->time, 120); // compared as written; only the receive loop lowers
    EXPECT_EQ(TeamPlayer[3]->time, 10);
}

TEST_F(Players, NumbersOutsideTheTeamAreIgnoredEntirely) {
    spreadout(50);
    strcpy(pteamname, "earlier");
    for (const char *name : {"p \"vorn\" 0", "p \"vorn\" 12", "p \"opp\" -1", "p \"vorn\" x",
                             "p \"opp\" 99999999999", "p \"vorn\" goalie 3", "p \"vorn\" .5"}) {
        Tables before = tables();
        parse(std::string("(see 120 ((") + name + ") 1 2))");
        EXPECT_EQ(replaced(before), Slots{}) << name;
        for (int i = 0; i < TeamSize; i++) {
            EXPECT_EQ(TeamPlayer[i]->time, 50) << name;
            EXPECT_EQ(OppPlayer[i]->time, 50) << name;
        }
        EXPECT_STREQ(pteamname, "earlier") << name;
    }
}

TEST_F(Players, TeamOnlySightingTakesTheNearestStaleTeamMate) {
    spreadout(50);
    place(TeamPlayer[3], 50, 8, 14);  // nearest
    place(TeamPlayer[5], 50, 9, 12);  // a little farther
    place(TeamPlayer[8], 50, 8, 12);  // nearer still, but the agent's own number 9
    place(TeamPlayer[2], 120, 8, 12); // exactly there, but seen in this cycle
    Tables before = tables();
    parse("(see 120 ((p \"vorn\") 8 12))");
    EXPECT_EQ(replaced(before), Slots{"team 3"});
    EXPECT_EQ(TeamPlayer[3]->time, 120);
    EXPECT_FLOAT_EQ(TeamPlayer[3]->distance, 8);
    EXPECT_EQ(TeamPlayer[3]->direction, 12);
}

TEST_F(Players, TeamOnlySightingFallsBackOnSlotZeroUntested) {
    spreadout(120); // every record fresh: none of slots 1 to 10 qualifies
    AgentNumber = 1;
    Tables before = tables();
    parse("(see 120 ((p \"vorn\") 8 12))");
    EXPECT_EQ(replaced(before), Slots{"team 0"}); // even the agent's own, fresh slot
}

TEST_F(Players, TeamOnlyOpponentSearchesOnlyOpponentsAndSparesNoNumber) {
    spreadout(50);
    place(OppPlayer[8], 50, 8, 12); // number 9, the agent's own number in its own team
    place(TeamPlayer[4], 50, 8, 12);
    Tables before = tables();
    parse("(see 120 ((p \"opp\") 8 12))");
    EXPECT_EQ(replaced(before), Slots{"opp 8"});
}

TEST_F(Players, AnonymousSightingPrefersATeamMateOnATie) {
    spreadout(50);
    place(TeamPlayer[4], 50, 10, 30);
    place(OppPlayer[4], 50, 10, 30);
    Tables before = tables();
    parse("(see 120 ((p) 10 30))");
    EXPECT_EQ(replaced(before), Slots{"team 4"}); // distance 0 both; the team-mate came first
}

TEST_F(Players, AnonymousSightingTakesAStrictlyNearerOpponent) {
    spreadout(50);
    place(TeamPlayer[4], 50, 10, 31);
    place(OppPlayer[6], 50, 10, 30);
    Tables before = tables();
    parse("(see 120 ((p) 80 -170) ((p) 10 30))");
    EXPECT_EQ(replaced(before), (Slots{"team 0", "opp 6"}));
}

TEST_F(Players, AnonymousSightingSkipsTheAgentsOwnSlot) {
    spreadout(50);
    place(TeamPlayer[8], 50, 10, 30); // own number 9
    place(TeamPlayer[1], 50, 12, 30);
    Tables before = tables();
    parse("(see 120 ((p) 10 30))");
    EXPECT_EQ(replaced(before), Slots{"team 1"});
}

TEST_F(Players, TwoAnonymousPlayersNeverShareASlotBeyondZero) {
    spreadout(50);
    place(OppPlayer[3], 50, 20, 0);
    Tables before = tables();
    parse("(see 120 ((p) 20 0) ((p) 20 0))");
    Slots got = replaced(before);
    EXPECT_EQ(got.size(), 2u);
    EXPECT_EQ(OppPlayer[3]->time, 120);
    int fresh = 0;
    for (int i = 0; i < TeamSize; i++)
        fresh += (TeamPlayer[i]->time == 120) + (OppPlayer[i]->time == 120);
    EXPECT_EQ(fresh, 2); // the second did not displace the first
}

TEST_F(Players, SlotZeroMayBeTakenTwiceInOneMessage) {
    spreadout(120); // nothing stale: both go to the untested starting candidate
    parse("(see 120 ((p) 20 0) ((p) 30 5))");
    EXPECT_FLOAT_EQ(TeamPlayer[0]->distance, 30);
}

TEST_F(Players, NothingIsStaleWhileTheTimeIsAtMostTen) {
    parse("(see 0 ((p \"opp\") 5 5) ((p \"vorn\") 6 6) ((p) 7 7))");
    EXPECT_FLOAT_EQ(OppPlayer[0]->distance, 5);
    EXPECT_FLOAT_EQ(TeamPlayer[0]->distance, 7); // the team-only one, then the anonymous one
    for (int i = 1; i < TeamSize; i++) {
        EXPECT_EQ(TeamPlayer[i]->distance, 0);
        EXPECT_EQ(OppPlayer[i]->distance, 0);
    }
}

TEST_F(Players, NewRecordsWithoutNumbersAreZero) {
    spreadout(50);
    parse("(see 120 ((p)) ((p \"opp\") 4))");
    int withoutnumbers = 0, withdistance = 0;
    for (int i = 0; i < TeamSize; i++)
        for (ExtObs *r : {TeamPlayer[i], OppPlayer[i]}) {
            if (r->time != 120)
                continue;
            EXPECT_EQ(r->direction, 0);
            EXPECT_EQ(r->distchange, 0);
            EXPECT_EQ(r->dirchange, 0);
            withoutnumbers += r->distance == 0;
            withdistance += r->distance == 4;
        }
    EXPECT_EQ(withoutnumbers, 1);
    EXPECT_EQ(withdistance, 1);
}

TEST_F(Players, MoreThanFourWordsReadAsTheNumberedForm) {
    parse("(see 120 ((p \"vorn\" 5 goalie extra words) 3 4))");
    EXPECT_EQ(TeamPlayer[4]->time, 120);
    EXPECT_EQ(TeamPlayer[4]->direction, 4);
}

TEST_F(Players, TeamWordWithoutClosingQuoteRunsToTheEndOfTheWord) {
    parse("(see 120 ((p \"vorn 6) 3 4))");
    EXPECT_STREQ(pteamname, "vorn");
    EXPECT_EQ(TeamPlayer[5]->time, 120);
    spreadout(50);
    Tables before = tables();
    parse("(see 121 ((p \"opp) 3 4))");
    EXPECT_STREQ(pteamname, "opp");
    EXPECT_EQ(replaced(before), Slots{"opp 0"});
    parse("(see 122 ((p \") 3 4) ((p \"\" 2) 1 1))");
    EXPECT_STREQ(pteamname, "");
    EXPECT_EQ(OppPlayer[1]->time, 122);
}

TEST_F(Players, UpperCaseNameIsAnAnonymousSighting) {
    parse("(see 0 ((p) 2.5 -60))"); // "(P) 2.5 -60" after the receive loop's lower-casing
    EXPECT_FLOAT_EQ(TeamPlayer[0]->distance, 2.5f);
}

TEST_F(Players, ALongMatchFreesEveryReplacedRecord) {
    // Under the sanitizer build a record lost on replacement is reported as a leak.
    for (int turn = 11; turn < 6011; turn++) {
        std::string see = "(see " + std::to_string(turn) + " ((p) 10 " + std::to_string(turn % 90) +
                          ") ((p \"opp\") 20 5) ((p \"vorn\") 30 -5) ((p) 40 40) ((p \"vorn\" " +
                          std::to_string(turn % 11 + 1) + ") 5 5))";
        ASSERT_EQ(parse(see), 1);
    }
    for (int i = 0; i < TeamSize; i++) {
        EXPECT_GE(TeamPlayer[i]->time, 10);
        EXPECT_GE(OppPlayer[i]->time, 10);
    }
}
