// Once the init reply has built the records, parsing a "see" allocates nothing: players
// seen without a number are written into spare records. Every operator new of this test
// program is counted.

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "tests/support/agent.h"
#include "tests/support/allocations.h"

#include <gtest/gtest.h>

namespace {
using Parsing = vorntest::AgentTest;
} // namespace

TEST_F(Parsing, SeeAllocatesNothing) {
    const char *see =
        "(see 120 ((f c) 12.2 -35) ((g r) 46.5 8) ((b) 20.1 -3 0.27 1.5) "
        "((p \"vorn\" 2) 10.5 30) ((p \"opp\" 1 goalie) 48 170) ((p \"vorn\") 44.7 8) "
        "((p \"opp\") 40.4 -14) ((p) 60 12) ((p) 66.7 -8) ((l t) 38.2 -64))";
    vorn::ExtObs *before = vorn::OppPlayer[1];
    long start = vorntest::Allocations;
    for (int i = 0; i < 100; i++) // the spares go round more than once
        vorn::recvmess(see);
    long counted = vorntest::Allocations - start;
    EXPECT_EQ(counted, 0);
    EXPECT_NE(vorn::OppPlayer[1], before); // the nearest stale record was replaced
    EXPECT_EQ(vorn::TeamPlayer[1]->time, 120);
}
