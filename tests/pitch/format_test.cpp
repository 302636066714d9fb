// format_test.cpp -- number forms and distance quantisation of pitch's messages.

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "pitch/format.h"
#include "pitch/geom.h"

using namespace vorn::pitch;

static std::string num(double v) {
    char buf[64];
    Out o = outof(buf, sizeof buf);
    putnum(o, v);
    return buf;
}

TEST(Numbers, PrintLikeADefaultStream) {
    EXPECT_EQ(num(8000), "8000");
    EXPECT_EQ(num(0), "0");
    EXPECT_EQ(num(12.3), "12.3");
    EXPECT_EQ(num(0.492), "0.492");
    EXPECT_EQ(num(7931.666666), "7931.67");
    EXPECT_EQ(num(1.0), "1");
    EXPECT_EQ(num(0.995), "0.995");
}

TEST(Numbers, NegativeZeroKeepsItsSign) {
    EXPECT_EQ(num(-0.0), "-0");
    EXPECT_EQ(num(-0.04 * 0.0), "-0");
}

TEST(Numbers, NonFiniteValuesNeverReachTheWire) {
    EXPECT_EQ(num(std::nan("")), "0");
    EXPECT_EQ(num(std::numeric_limits<double>::infinity()), "0");
}

TEST(Quantisation, LandmarksUseTheFineStep) {
    EXPECT_DOUBLE_EQ(qdist(10, 0.01), 10);
    EXPECT_NEAR(qdist(71.149, 0.01), 70.8, 1e-9);
    EXPECT_NEAR(qdist(62.5, 0.01), 62.8, 1e-9);
    EXPECT_NEAR(qdist(46, 0.01), 46.1, 1e-9);
    EXPECT_NEAR(qdist(102.5, 0.01), 102.5, 1e-9);
}

TEST(Quantisation, BallAndPlayersUseTheCoarseStep) {
    EXPECT_NEAR(qdist(50, 0.1), 49.4, 1e-9);
    EXPECT_NEAR(qdist(25, 0.1), 24.5, 1e-9);
    EXPECT_NEAR(qdist(3, 0.1), 3, 1e-9);
}

TEST(Quantisation, ZeroDistanceStaysFinite) {
    EXPECT_DOUBLE_EQ(qdist(0, 0.1), 0);
}

// Directions are radians printed as truncated degrees: whole degrees that do not survive
// the round trip come back one nearer zero, as on the real server.
TEST(Directions, TruncateTowardZeroFromRadians) {
    const struct {
        double deg;
        int printed;
    } cases[] = {{0.9, 0}, {-0.9, 0},  {44.99, 44}, {-44.99, -44}, {45, 45},
                 {60, 59}, {-30, -29}, {190, -169}, {-540, -180}};
    for (const auto &c : cases)
        EXPECT_EQ(truncdir(c.deg * DegToRad), c.printed) << c.deg;
    EXPECT_EQ(truncdir(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_LE(std::abs(truncdir(1e300)), 180); // reduced, never converted out of range
}

TEST(Output, NeverWritesPastItsBuffer) {
    char buf[8];
    Out o = outof(buf, sizeof buf);
    put(o, "(see 0 ((f c) 3 0))");
    putnum(o, 123.456);
    EXPECT_EQ(o.len, 7u);
    EXPECT_EQ(std::string(buf), "(see 0 ");
}
