// The message parser on server-shaped text: cutting parts, counting words, the four message
// kinds, the flag table, the readers' scanf rules, and what a malformed message may not do.

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "perception/players.h"
#include "perception/referee.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <random>
#include <string>
#include <vector>

using namespace vorn;
using vorntest::parse;

namespace {

// The flag names the server writes, each with the record it must land in.
struct NamedFlag {
    const char *name;
    Obs **record;
};

const std::vector<NamedFlag> &allflags() {
    static const std::vector<NamedFlag> flags = {
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
    return flags;
}

// Every record that a "see" can touch, to check that a message touched no other.
std::vector<Obs *> allrecords() {
    std::vector<Obs *> records;
    for (const NamedFlag &f : allflags())
        records.push_back(*f.record);
    for (Obs *r : {GoalL, GoalR, LineL, LineT, LineR, LineB, static_cast<Obs *>(Ball)})
        records.push_back(r);
    for (int i = 0; i < TeamSize; i++) {
        records.push_back(TeamPlayer[i]);
        records.push_back(OppPlayer[i]);
    }
    return records;
}

struct Snapshot {
    std::vector<Obs *> pointers;
    std::vector<ExtObs> values;
    float balldistchange;
    int turn;
};

Snapshot snapshot() {
    Snapshot s;
    s.pointers = allrecords();
    for (Obs *r : s.pointers) {
        ExtObs e{};
        static_cast<Obs &>(e) = *r;
        s.values.push_back(e);
    }
    s.balldistchange = Ball->distchange;
    s.turn = Turn;
    return s;
}

bool same(const Snapshot &a, const Snapshot &b) {
    if (a.pointers != b.pointers || a.turn != b.turn || a.balldistchange != b.balldistchange)
        return false;
    for (size_t i = 0; i < a.values.size(); i++)
        if (a.values[i].time != b.values[i].time || a.values[i].distance != b.values[i].distance ||
            a.values[i].direction != b.values[i].direction)
            return false;
    return true;
}

// Starts from the agent of uniform number 9 on the left.
using Parser = vorntest::AgentTest;

} // namespace

// ---------------------------------------------------------------------------------------------

TEST(GetPart, FlagEntryGivesNameAndNumbers) {
    initvar();
    const char *text = "((f l t) 40.3 -20) ((b) 5 10)";
    int pos = 0;
    char **pair = getpart(text, pos);
    EXPECT_EQ(pair, out);
    EXPECT_STREQ(out[0], "f l t");
    EXPECT_STREQ(out[1], " 40.3 -20 ");
    EXPECT_EQ(pos, static_cast<int>(strchr(text, 'b') - text) - 2); // at "((b)"
    getpart(text, pos);
    EXPECT_STREQ(out[0], "b");
    EXPECT_STREQ(out[1], " 5 10");
}

// One getpart call from a given position: the name part, the value part (nullptr: it keeps
// what it held, "earlier") and the position left.
struct PartCase {
    const char *text;
    int from;
    const char *name;
    const char *value;
    int pos;
};

TEST(GetPart, ShapesOfParts) {
    const PartCase cases[] = {
        // the head of a nested message: everything before the first "(", value part kept
        {"(see 12 ((f l t) 40.3 -20))", 0, "see 12 ", nullptr, 8},
        // a flat message is all name part
        {"(hear 40 -30 hello)", 0, "hear 40 -30 hello", "", 19},
        // at the end of the text: an empty name part, the position stays
        {"(see 1)", 7, "", nullptr, 7},
        // nesting is not tracked and closers after the first are dropped
        {"(((a) b) c)) (x)", 0, "a", " b c ", 13},
    };
    for (const PartCase &c : cases) {
        initvar();
        strcpy(out[1], "earlier");
        int pos = c.from;
        getpart(c.text, pos);
        EXPECT_STREQ(out[0], c.name) << c.text;
        EXPECT_STREQ(out[1], c.value != nullptr ? c.value : "earlier") << c.text;
        EXPECT_EQ(pos, c.pos) << c.text;
    }
}

TEST(GetPart, OverlongPartsAreCutToTheBuffers) {
    initvar();
    std::string text = "(" + std::string(5000, 'a') + ")" + std::string(5000, 'b') + "(c)";
    int pos = 0;
    getpart(text.c_str(), pos);
    EXPECT_EQ(std::string(out[0]), std::string(BufSize - 1, 'a'));
    EXPECT_EQ(std::string(out[1]), std::string(BufSize - 1, 'b'));
    EXPECT_EQ(pos, 10002); // read to the end of the part all the same
}

TEST(WordCount, CountsBlankSeparatedWords) {
    EXPECT_EQ(getnbrargs("p \"vorn\" 7"), 3);
    EXPECT_EQ(getnbrargs("p"), 1);
    EXPECT_EQ(getnbrargs("   two    words  "), 2);
    EXPECT_EQ(getnbrargs(""), 0);
    EXPECT_EQ(getnbrargs("   "), 0);
    EXPECT_EQ(getnbrargs("a\tb\nc"), 1); // only the blank separates
}

TEST(Length, LawOfCosinesInThreeCases) {
    Obs a{0, 3, 10}, b{0, 4, 100};
    EXPECT_NEAR(getlength(&a, &b), 5.0, 1e-6);
    Obs c{0, 10, 30}, d{0, 6, 30};
    EXPECT_NEAR(getlength(&c, &d), 4.0, 1e-6);
    Obs e{0, 10, 90}, f{0, 6, -90};
    EXPECT_NEAR(getlength(&e, &f), 16.0, 1e-6);
}

TEST(Length, NearlyEqualPositionsGiveZeroNotNan) {
    for (float x = 0.1f; x < 100; x *= 1.37f) {
        Obs a{0, x, 17}, b{0, std::nextafter(x, 200.0f), 17};
        double d = getlength(&a, &b);
        EXPECT_FALSE(std::isnan(d)) << x;
        EXPECT_LT(d, 1e-3);
    }
}

// ---------------------------------------------------------------------------------------------
// The readers must give exactly what scanf gives, field for field and position for position.

TEST(Readers, FloatsMatchScanf) {
    const char *samples[] = {
        "40.3",         "-20",        "0.1",   "1e3",      "1.5e-2",   "0x1p3",
        ".5",           "5.",         "-",     "+7",       "16777217", "0.000000000001",
        "123456789012", "3.14159265", "1.2.3", "7.9",      "-0",       "  \t 44.7 8",
        "1e",           "abc",        "",      "99999.99", "0.00001",  "16777216",
        "1.0000000001"};
    for (const char *s : samples) {
        float mine = -123, theirs = -123;
        int n = -1;
        const char *p = s;
        bool ok = scanfloat(p, &mine);
        int r = sscanf(s, "%f%n", &theirs, &n);
        ASSERT_EQ(ok, r == 1) << s;
        if (ok) {
            EXPECT_EQ(memcmp(&mine, &theirs, sizeof mine), 0) << s;
            EXPECT_EQ(p - s, n) << s;
        }
    }
}

TEST(Readers, RandomDecimalsMatchScanf) {
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; i++) {
        std::string text = rng() % 2 ? "-" : "";
        text += std::to_string(rng() % 100000);
        int decimals = static_cast<int>(rng() % 9);
        if (decimals > 0)
            text += '.';
        for (int k = 0; k < decimals; k++)
            text += static_cast<char>('0' + rng() % 10);
        float mine = 0, theirs = 0;
        const char *p = text.c_str();
        ASSERT_TRUE(scanfloat(p, &mine));
        sscanf(text.c_str(), "%f", &theirs);
        ASSERT_EQ(memcmp(&mine, &theirs, sizeof mine), 0) << text;
    }
}

TEST(Readers, IntegersMatchScanf) {
    const char *samples[] = {"30", "-15",     "+4",        "7.9",        "0x10",        "-",  "x",
                             "",   "  12 13", "123456789", "2147483647", "-2147483648", "007"};
    for (const char *s : samples) {
        int mine = -123, theirs = -123, n = -1;
        const char *p = s;
        bool ok = scanint(p, &mine);
        int r = sscanf(s, "%d%n", &theirs, &n);
        ASSERT_EQ(ok, r == 1) << s;
        if (ok) {
            EXPECT_EQ(mine, theirs) << s;
            EXPECT_EQ(p - s, n) << s;
        }
    }
}

// Where scanf has no sound answer: integers beyond int are clamped (scanf would wrap them
// round), and floats that are not finite are refused like text that is no number.
TEST(Readers, OutOfRangeIntegersClampAndNonFiniteFloatsAreRefused) {
    struct {
        const char *text;
        int value;
        int length;
    } ints[] = {{"2147483648", INT_MAX, 10},
                {"-2147483649", INT_MIN, 11},
                {"99999999999999999999999 5", INT_MAX, 23},
                {"-000000000000000000012", -12, 22}};
    for (const auto &c : ints) {
        int v = 0;
        const char *p = c.text;
        ASSERT_TRUE(scanint(p, &v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
        EXPECT_EQ(p - c.text, c.length) << c.text;
    }
    for (const char *text : {"inf", "-nan", "nan", "infinity", "1e40", "-1e39", "0x1p200"}) {
        float v = 7;
        const char *p = text;
        EXPECT_FALSE(scanfloat(p, &v)) << text;
        EXPECT_EQ(v, 7) << text;
        EXPECT_EQ(p, text) << text;
    }
}

// ---------------------------------------------------------------------------------------------

TEST_F(Parser, RecordsStartUnseenAndPlayersAtTen) {
    for (const NamedFlag &f : allflags())
        EXPECT_EQ((*f.record)->time, -1) << f.name;
    for (Obs *r : {GoalL, GoalR, LineL, LineT, LineR, LineB, static_cast<Obs *>(Ball)}) {
        EXPECT_EQ(r->time, -1);
        EXPECT_EQ(r->distance, 0);
        EXPECT_EQ(r->direction, 0);
    }
    for (int i = 0; i < TeamSize; i++) {
        EXPECT_EQ(TeamPlayer[i]->time, 10);
        EXPECT_EQ(OppPlayer[i]->time, 10);
        EXPECT_EQ(OppPlayer[i]->distchange, 0);
    }
    EXPECT_EQ(Turn, 0);
}

TEST_F(Parser, InitInfoAgainRenewsEveryRecord) {
    parse("(see 30 ((f c) 1 2) ((b) 3 4 5 6) ((p) 7 8) ((p \"vorn\" 2) 9 10) ((l t) 5 5))");
    initinfo();
    EXPECT_EQ(FlagC->time, -1);
    EXPECT_EQ(FlagC->distance, 0);
    EXPECT_EQ(Ball->dirchange, 0);
    EXPECT_EQ(LineT->time, -1);
    for (int i = 0; i < TeamSize; i++) {
        EXPECT_EQ(TeamPlayer[i]->time, 10);
        EXPECT_EQ(TeamPlayer[i]->distance, 0);
    }
    EXPECT_EQ(Turn, 0);
}

TEST_F(Parser, FullSeeUpdatesEveryKindOfObject) {
    ExtObs *mate7 = TeamPlayer[6];
    std::string see = "(see 57 ((f c) 12.2 -35) ((f p r c) 30 12 0 0) ((f l t 10) 50.9 -3) "
                      "((g r) 46.5 8) ((g l) 60 -170) ((l r) 45.6 90) ((b) 20.1 -3) "
                      "((p \"vorn\" 7) 10.5 30) ((p \"opp\" 3 goalie) 20 -15 0.1 2) "
                      "((p \"opp\") 44.7 8) ((p) 60 12))\n";
    EXPECT_EQ(parse(see), 1);
    EXPECT_EQ(Turn, 57);
    EXPECT_EQ(FlagC->time, 57);
    EXPECT_FLOAT_EQ(FlagC->distance, 12.2f);
    EXPECT_EQ(FlagC->direction, -35);
    EXPECT_EQ(FlagPRC->direction, 12);
    EXPECT_EQ(FlagLT10->time, 57);
    EXPECT_EQ(FlagLT->time, -1); // whole-name comparison
    EXPECT_EQ(GoalR->time, 57);
    EXPECT_EQ(GoalR->direction, 8);
    EXPECT_EQ(GoalL->direction, -170);
    EXPECT_EQ(LineR->time, 57);
    EXPECT_EQ(Ball->time, 57);
    EXPECT_FLOAT_EQ(Ball->distance, 20.1f);
    EXPECT_EQ(Ball->direction, -3);
    EXPECT_EQ(TeamPlayer[6], mate7); // numbered: in place
    EXPECT_EQ(mate7->time, 57);
    EXPECT_FLOAT_EQ(mate7->distance, 10.5f);
    EXPECT_EQ(OppPlayer[2]->time, 57);
    EXPECT_EQ(OppPlayer[2]->direction, -15);
    EXPECT_EQ(OppPlayer[2]->distchange, 0); // player change fields are never filled
    EXPECT_STREQ(pteamname, "opp");
    int fresh = 0;
    for (int i = 0; i < TeamSize; i++)
        fresh += (TeamPlayer[i]->time == 57) + (OppPlayer[i]->time == 57);
    EXPECT_EQ(fresh, 4); // two numbered, one team-only, one anonymous
}

TEST_F(Parser, BallWithFourNumbersAndWithTwo) {
    parse("(see 5 ((b) 3.5 -20 0.4 7))");
    EXPECT_FLOAT_EQ(Ball->distchange, 0.4f);
    EXPECT_EQ(Ball->dirchange, 7);
    parse("(see 6 ((b) 1.2 150))");
    EXPECT_EQ(Ball->time, 6);
    EXPECT_FLOAT_EQ(Ball->distance, 1.2f);
    EXPECT_EQ(Ball->direction, 150);
    EXPECT_FLOAT_EQ(Ball->distchange, 0.4f); // kept
    EXPECT_EQ(Ball->dirchange, 7);
    parse("(see 7 ((b)))");
    EXPECT_EQ(Ball->time, 7); // stamped before reading
    EXPECT_FLOAT_EQ(Ball->distance, 1.2f);
}

TEST_F(Parser, GoalsNeedTheirWholeName) {
    parse("(see 3 ((g) 30 10))");
    EXPECT_EQ(GoalL->time, -1);
    EXPECT_EQ(GoalR->time, -1);
    parse("(see 4 ((g r) 30 10))");
    EXPECT_EQ(GoalR->time, 4);
    EXPECT_EQ(GoalL->time, -1);
    parse("(see 5 ((g l) 31 11))");
    EXPECT_EQ(GoalL->time, 5);
    EXPECT_EQ(GoalL->direction, 11);
    EXPECT_EQ(GoalR->time, 4);
}

TEST_F(Parser, EveryFlagNameStampsExactlyItsRecord) {
    int turn = 100;
    for (const NamedFlag &f : allflags()) {
        Snapshot before = snapshot();
        turn++;
        parse("(see " + std::to_string(turn) + " ((" + f.name + ") 12.5 -33))");
        Snapshot after = snapshot();
        for (size_t i = 0; i < after.pointers.size(); i++) {
            bool mine = after.pointers[i] == *f.record;
            EXPECT_EQ(after.values[i].time, mine ? turn : before.values[i].time) << f.name;
        }
        EXPECT_FLOAT_EQ((*f.record)->distance, 12.5f) << f.name;
        EXPECT_EQ((*f.record)->direction, -33) << f.name;
    }
}

TEST_F(Parser, NamesThatAreNoFlagChangeNothing) {
    for (const char *name : {"f", "f c ", " f c", "f x", "f l t 40", "f g", "f l t 100", "fc",
                             "f l t 10 ", "f c t 0"}) {
        Snapshot before = snapshot();
        parse(std::string("(see 0 ((") + name + ") 3 40))");
        EXPECT_TRUE(same(before, snapshot())) << name;
    }
}

TEST_F(Parser, FlagNumbersReadAsFarAsTheyGo) {
    parse("(see 8 ((f c) 12.2 -35))");
    parse("(see 9 ((f c) 4))");
    EXPECT_EQ(FlagC->time, 9);
    EXPECT_FLOAT_EQ(FlagC->distance, 4);
    EXPECT_EQ(FlagC->direction, -35);
    parse("(see 10 ((f c) 5 7.9))");
    EXPECT_EQ(FlagC->direction, 7);
    parse("(see 11 ((f c) x 3))");
    EXPECT_EQ(FlagC->time, 11);
    EXPECT_FLOAT_EQ(FlagC->distance, 5);
    EXPECT_EQ(FlagC->direction, 7);
}

TEST_F(Parser, UpperCaseArrivesLowerCasedThroughTheReceiveLoop) {
    initpoll(-1);
    server.send(vorntest::agentport(),
                std::string("(SEE 5 ((B) 1 100) ((F C) 3 4) ((G R) 9 9) ((P) 5 6))") + '\0');
    pollfd ready = {SockSer.socketfd, POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 2000), 1);
    EXPECT_EQ(getfromserver(), 1);
    EXPECT_EQ(Turn, 5);
    EXPECT_EQ(Ball->time, 5);
    EXPECT_FLOAT_EQ(Ball->distance, 1);
    EXPECT_EQ(Ball->direction, 100);
    EXPECT_EQ(FlagC->time, 5);
    EXPECT_EQ(GoalR->time, 5);
    EXPECT_EQ(TeamPlayer[0]->time, 5); // an anonymous player while Turn <= 10
}

TEST_F(Parser, SenseBodyFillsTheBodyState) {
    vorntest::Capture console;
    EXPECT_EQ(parse("(sense_body 101 (view_mode high normal) (stamina 3500 0.8) (speed 0.5 12) "
                    "(head_angle -45) (kick 3) (dash 40) (turn 12) (say 1) (turn_neck 2))"),
              2);
    EXPECT_EQ(console.take(), "");
    EXPECT_EQ(Turn, 101);
    EXPECT_STREQ(ViewQuality, "high");
    EXPECT_STREQ(ViewWidth, "normal");
    EXPECT_EQ(Stamina, 3500);
    EXPECT_EQ(Effort, 0); // read as an integer: stops at the point
    EXPECT_EQ(AmountOfSpeed, 0);
    EXPECT_EQ(HeadDirection, -45);
    EXPECT_EQ(KickCount, 3);
    EXPECT_EQ(DashCount, 40);
    EXPECT_EQ(TurnCount, 12);
    EXPECT_EQ(SayCount, 1);
    EXPECT_EQ(TurnNeckCount, 2);
}

TEST_F(Parser, SenseBodyWithFewerPartsKeepsTheRest) {
    parse("(sense_body 101 (view_mode high normal) (stamina 3500 1) (speed 0 0) (head_angle 9) "
          "(kick 3) (dash 40) (turn 12) (say 1) (turn_neck 2))");
    vorntest::Capture console;
    EXPECT_EQ(parse("(sense_body 102 (view_mode low wide) (stamina 2000 1))"), 2);
    EXPECT_EQ(Turn, 102);
    EXPECT_STREQ(ViewQuality, "low");
    EXPECT_EQ(Stamina, 2000);
    EXPECT_EQ(HeadDirection, 9);
    EXPECT_EQ(TurnNeckCount, 2);
    EXPECT_EQ(console.take(), "");
}

TEST_F(Parser, SenseBodyAtEveryHundredSaysStillWorking) {
    vorntest::Capture console;
    parse("(sense_body 0 (view_mode high normal))");
    parse("(sense_body 0 (view_mode high normal))");
    parse("(sense_body 99 (view_mode high normal))");
    parse("(sense_body 200 (view_mode high normal))");
    EXPECT_EQ(console.take(), "Agent 9 team vorn still working turn 0 \n"
                              "Agent 9 team vorn still working turn 0 \n"
                              "Agent 9 team vorn still working turn 200 \n");
}

TEST_F(Parser, InitReplySetsSideNumberAndPlayMode) {
    parse("(see 40 ((b) 1 2))");
    vorntest::Capture console; // the placement's send trace
    EXPECT_EQ(parse("(init l 3 before_kick_off)"), 3);
    EXPECT_EQ(AgentSide, 0);
    EXPECT_EQ(AgentNumber, 3);
    EXPECT_STREQ(Event, "before_kick_off");
    EXPECT_EQ(Turn, 0);
    EXPECT_EQ(Ball->time, -1); // fresh records
    vorntest::Datagram d;
    ASSERT_TRUE(server.receive(d, 2.0)); // the placement went out
    EXPECT_EQ(d.text.rfind("(move", 0), 0u);
    server.collect(0.5);

    EXPECT_EQ(parse("(init r 7 play_on)"), 3);
    EXPECT_EQ(AgentSide, 1);
    EXPECT_EQ(AgentNumber, 7);
    EXPECT_STREQ(Event, "play_on");
    server.collect(0.5);
}

TEST_F(Parser, HearFromAPlayerSetsOnlyTheTime) {
    strcpy(Event, "play_on");
    vorntest::Capture console;
    EXPECT_EQ(parse("(hear 40 -30 hello)"), 3);
    EXPECT_EQ(console.take(), "in hear out[0]=hear 40 -30 hello,out[1]=\n");
    EXPECT_EQ(Turn, 40);
    EXPECT_STREQ(Event, "play_on");
}

TEST_F(Parser, HearFromTheRefereeChangesThePlayMode) {
    vorntest::Capture console;
    EXPECT_EQ(parse("(hear 50 referee kick_off_l)"), 3);
    EXPECT_STREQ(Event, "kick_off_l");
    EXPECT_EQ(Eventturn, 50);
    // A call cut short names no play mode: the earlier words must not be taken again.
    EXPECT_EQ(parse("(hear 60 referee)"), 3);
    EXPECT_EQ(parse("(hear referee goal_l)"), 3);
    EXPECT_STREQ(Event, "kick_off_l");
    EXPECT_EQ(Turn, 60);
}

TEST_F(Parser, UnknownMessagesChangeNothing) {
    parse("(see 12 ((b) 1 2) ((f c) 3 4))");
    for (const char *text : {"(error unknown_command)", "(score 10 0 0)", "(warning x)",
                             "(seen 13 ((b) 5 5))", "(SEE 13 ((b) 5 5))"}) {
        Snapshot before = snapshot();
        EXPECT_EQ(parse(text), 3) << text;
        EXPECT_TRUE(same(before, snapshot())) << text;
    }
}

TEST_F(Parser, MessagesWithoutAHeadWordAreNotDispatched) {
    parse("(see 12 ((b) 1 2))");
    for (const char *text : {"", "()", "( )", "(())", ")see 13(", "(\n)", "((", "))"}) {
        Snapshot before = snapshot();
        EXPECT_EQ(parse(text), 3) << text;
        EXPECT_TRUE(same(before, snapshot())) << text;
    }
}

TEST_F(Parser, EntriesWithoutAFirstWordAreSkipped) {
    parse("(see 12 ((b) 1 2))");
    Snapshot before = snapshot();
    EXPECT_EQ(parse("(see 13 (()) ( ) ((  ) 4 5))"), 1);
    EXPECT_EQ(Turn, 13);
    Snapshot after = snapshot();
    after.turn = before.turn;
    EXPECT_TRUE(same(before, after)); // the ball in particular stays at cycle 12
    EXPECT_EQ(Ball->time, 12);
}

TEST_F(Parser, BareSeeIsVisualButKeepsTheTime) {
    parse("(see 12)");
    EXPECT_EQ(Turn, 12);
    EXPECT_EQ(parse("(see)"), 1);
    EXPECT_EQ(Turn, 12);
    EXPECT_EQ(parse("(see 14)"), 1);
    EXPECT_EQ(Turn, 14);
}

// A cut-off entry has no numbers of its own: it must not take those of the entry before it.
TEST_F(Parser, EntryWithoutClosingParenthesisReadsNoNumbers) {
    parse("(see 5 ((b) 3 4 ((p \"opp\" 2");
    EXPECT_EQ(Ball->distance, 3);
    EXPECT_EQ(OppPlayer[1]->time, 5); // stamped, as any sighting whose numbers cannot be read
    EXPECT_EQ(OppPlayer[1]->distance, 0);
    EXPECT_EQ(OppPlayer[1]->direction, 0);
}

TEST_F(Parser, UnknownEntriesAreSkipped) {
    Snapshot before = snapshot();
    EXPECT_EQ(parse("(see 0 ((x) 1 2) ((ball) 1 2) ((bb) 3 4) ((flag c) 1 1))"), 1);
    EXPECT_TRUE(same(before, snapshot()));
}

TEST_F(Parser, OverlongMessagesStayInBounds) {
    std::string huge = "(see 3 ((b) " + std::string(10000, '7') + " 5) ((p \"" +
                       std::string(6000, 'x') + "\" 4) 1 2) ((f c) 1 " + std::string(3000, '-') +
                       "))";
    EXPECT_EQ(parse(huge), 1);
    EXPECT_EQ(Ball->time, 3);
    EXPECT_EQ(FlagC->time, 3);
    std::string manyparts;
    for (int i = 0; i < 3000; i++)
        manyparts += "((b) 1 " + std::to_string(i) + ")";
    EXPECT_EQ(parse("(see 4 " + manyparts + ")"), 1);
    EXPECT_EQ(Ball->direction, 2999);
}
