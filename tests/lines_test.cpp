// Line sightings turn into the headings: TopAngle square to the top touch line from whichever
// line is seen, AttackAngle a quarter turn toward the opponents' end for the agent's side.

#include "perception/landmarks.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vorn;
using vorntest::parse;

namespace {

class Lines : public ::testing::Test {
  protected:
    vorntest::Peer server;
    void SetUp() override {
        ASSERT_TRUE(server.ok());
        vorntest::initagent(server, 0, 5);
        AttackAngle = 0;
    }
    int topangle(const std::string &entry) {
        parse("(see 57 (" + entry + "))");
        return TopAngle;
    }
};

} // namespace

TEST_F(Lines, TopLineStoresTheRecordAndBothHeadings) {
    parse("(see 57 ((l t) 20 30))");
    EXPECT_EQ(LineT->time, 57);
    EXPECT_FLOAT_EQ(LineT->distance, 20);
    EXPECT_EQ(LineT->direction, 30);
    EXPECT_EQ(TopAngle, -60);
    EXPECT_EQ(AttackAngle, 30);
    EXPECT_EQ(LineL->time, -1);
}

TEST_F(Lines, EachLineHasItsRuleOnEitherSideOfZero) {
    struct Case {
        const char *entry;
        int top;
    } cases[] = {
        {"(l l) 30 -80", 100}, {"(l l) 30 80", 80},   {"(l t) 20 -30", 60},  {"(l t) 20 30", -60},
        {"(l r) 15 -50", -50}, {"(l r) 15 50", -130}, {"(l b) 5 -45", -135}, {"(l b) 5 45", 135},
    };
    for (const Case &c : cases)
        EXPECT_EQ(topangle(c.entry), c.top) << c.entry;
}

TEST_F(Lines, DirectionExactlyZeroTakesTheSecondRule) {
    EXPECT_EQ(topangle("(l l) 10 0"), 0);
    EXPECT_EQ(topangle("(l t) 10 0"), -90);
    EXPECT_EQ(topangle("(l r) 10 0"), -180);
    EXPECT_EQ(topangle("(l b) 10 0"), 90);
}

TEST_F(Lines, AttackAngleTurnsTowardTheOpponentsForEachSide) {
    parse("(see 57 ((l b) 5 -45))");
    EXPECT_EQ(AttackAngle, -45);
    AgentSide = 1;
    parse("(see 58 ((l b) 5 -45))");
    EXPECT_EQ(TopAngle, -135);
    EXPECT_EQ(AttackAngle, -225); // not folded into -180..180
    parse("(see 59 ((l t) 20 30))");
    EXPECT_EQ(AttackAngle, -150);
    AgentSide = 0;
    parse("(see 60 ((l l) 30 -80))");
    EXPECT_EQ(AttackAngle, 190);
}

TEST_F(Lines, TheLastLineOfAMessageDecides) {
    parse("(see 57 ((l t) 20 30) ((f c) 1 1) ((l r) 15 50))");
    EXPECT_EQ(LineT->time, 57);
    EXPECT_EQ(LineR->time, 57);
    EXPECT_EQ(TopAngle, -130);
    EXPECT_EQ(AttackAngle, -40);
}

TEST_F(Lines, NoLineLeavesTheHeadings) {
    parse("(see 57 ((l t) 20 30))");
    parse("(see 58 ((f c) 1 1) ((b) 2 2))");
    EXPECT_EQ(TopAngle, -60);
    EXPECT_EQ(AttackAngle, 30);
}

TEST_F(Lines, UnknownLineNameRenewsOnlyTheAttackAngle) {
    parse("(see 57 ((l t) 20 30))");
    AgentSide = 1;
    parse("(see 58 ((l x) 20 -30) ((l) 1 1) ((l t ) 2 2))");
    EXPECT_EQ(TopAngle, -60);
    EXPECT_EQ(AttackAngle, -150);
    EXPECT_EQ(LineT->time, 57);
}

TEST_F(Lines, MissingDirectionKeepsTheRecordsAndStampsIt) {
    parse("(see 57 ((l r) 15 50))");
    parse("(see 58 ((l r) 12))");
    EXPECT_EQ(LineR->time, 58);
    EXPECT_FLOAT_EQ(LineR->distance, 12);
    EXPECT_EQ(TopAngle, -130);
}

TEST_F(Lines, ExtremeDirectionsWrapWithoutOverflow) {
    parse("(see 57 ((l l) 1 -2147483648))");
    EXPECT_EQ(TopAngle, -2147483648 + 180);
    parse("(see 58 ((l b) 1 2147483647))");
    EXPECT_EQ(TopAngle, -2147483648 + 89);
    EXPECT_EQ(AttackAngle, -2147483648 + 179);
}
