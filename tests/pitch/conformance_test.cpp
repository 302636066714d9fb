// conformance_test.cpp -- pitch against the real server's own output: clients placed
// where the transcribed clients stood must see the same landmarks, at the same quantised
// distances and truncated directions, and get the same sense_body bytes.

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/time.h>

#include "tests/pitch/support.h"

using namespace pitchtest;

// Landmarks, the ball and lines; players depend on who else is connected.
static bool comparable(const Entry &e) {
    return e.name[0] != 'p' && e.name[0] != 'P';
}

// sees: the cycle-0 see messages of a transcript that contain marker.
static std::vector<std::string> refsees(const std::string &file, const std::string &marker) {
    std::vector<std::string> out;
    for (const std::string &m : transcript(file))
        if (m.rfind("(see 0 ", 0) == 0 && m.find(marker) != std::string::npos)
            out.push_back(m);
    return out;
}

// collectsees: the client's see messages after its next sense_body, up to count.
static std::vector<std::string> collectsees(Client &c, size_t count) {
    std::string msg;
    std::vector<std::string> out;
    if (!waitfor(c, "(sense_body", msg, 3000))
        return out;
    for (int i = 0; i < 40 && out.size() < count; i++) {
        if (!waitfor(c, "(see ", msg, 3000))
            break;
        out.push_back(strip(msg));
    }
    return out;
}

// expectsame: names, distances and directions equal; change values present where the
// rule makes them certain (always within 20 m, never beyond 40 m).
static void expectsame(const std::string &got, const std::string &want) {
    std::vector<Entry> g, w;
    for (const Entry &e : seeentries(got))
        if (comparable(e))
            g.push_back(e);
    for (const Entry &e : seeentries(want))
        if (comparable(e))
            w.push_back(e);
    ASSERT_EQ(g.size(), w.size()) << "pitch: " << got << "\nreal:  " << want;
    for (size_t i = 0; i < g.size(); i++) {
        SCOPED_TRACE(w[i].name);
        EXPECT_EQ(g[i].name, w[i].name);
        ASSERT_GE(g[i].values.size(), 2u);
        ASSERT_GE(w[i].values.size(), 2u);
        EXPECT_EQ(g[i].values[0], w[i].values[0]);
        EXPECT_EQ(g[i].values[1], w[i].values[1]);
        bool line = w[i].name[0] == 'l';
        double d = std::stod(w[i].values[0]);
        if (line || d >= 40) {
            EXPECT_EQ(g[i].values.size(), 2u);
        } else if (d <= 20) {
            EXPECT_EQ(g[i].values, w[i].values);
        }
    }
}

TEST(Conformance, LeftClientAtMinusThreeSeesWhatVorn2Saw) {
    std::vector<std::string> ref = refsees("vorn_2.jsonl", "(f c) 3 0");
    ASSERT_FALSE(ref.empty());
    PitchProcess p;
    ASSERT_TRUE(startpitch(p, {"--kickoff-after", "0", "--quiet"}));
    Client c;
    std::string reply;
    ASSERT_TRUE(initclient(c, p.port, "(init vorn (version 6.02))", reply));
    EXPECT_EQ(reply, "(init l 1 before_kick_off)");
    sendreply(c, "(move -3 0)");
    std::vector<std::string> sees = collectsees(c, 3);
    ASSERT_EQ(sees.size(), 3u);
    for (const std::string &s : sees) {
        EXPECT_EQ(s.rfind("(see 0 ", 0), 0u);
        for (const std::string &r : ref)
            expectsame(s, r);
    }
    closeclient(c);
    stoppitch(p);
}

TEST(Conformance, RightClientPushedToTheCircleSeesWhatOpp2Saw) {
    std::vector<std::string> ref = refsees("opp_2.jsonl", "(f p r c) 30 12");
    ASSERT_FALSE(ref.empty());
    PitchProcess p;
    ASSERT_TRUE(startpitch(p, {"--kickoff-after", "0", "--quiet"}));
    Client left, right;
    std::string reply;
    ASSERT_TRUE(initclient(left, p.port, "(init vorn (version 6.02))", reply));
    ASSERT_TRUE(initclient(right, p.port, "(init opp (version 6.02))", reply));
    EXPECT_EQ(reply, "(init r 1 before_kick_off)");
    sendreply(right, "(move -5 5)");
    std::vector<std::string> sees = collectsees(right, 3);
    ASSERT_EQ(sees.size(), 3u);
    for (const std::string &s : sees)
        for (const std::string &r : ref)
            expectsame(s, r);
    closeclient(left);
    closeclient(right);
    stoppitch(p);
}

TEST(Conformance, SenseBodyAtRestIsByteForByteTheRealOne) {
    std::string want;
    for (const std::string &m : transcript("vorn_2.jsonl"))
        if (m.rfind("(sense_body 0 ", 0) == 0) {
            want = m + '\0';
            break;
        }
    ASSERT_FALSE(want.empty());
    PitchProcess p;
    ASSERT_TRUE(startpitch(p, {"--kickoff-after", "0", "--quiet"}));
    Client c;
    std::string reply, msg;
    ASSERT_TRUE(initclient(c, p.port, "(init vorn (version 6.02))", reply));
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(waitfor(c, "(sense_body", msg, 3000));
        EXPECT_EQ(msg, want);
    }
    closeclient(c);
    stoppitch(p);
}
