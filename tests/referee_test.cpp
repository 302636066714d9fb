// Referee calls: splitting the call into type and side, and the reset to formation.

#include "actions/queue.h"
#include "perception/parser.h"
#include "perception/referee.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vorn;
using namespace vorntest;

namespace {

struct Split {
    const char *call;
    const char *type;
    char side;
};

void expectsplit(const Split &s) {
    snprintf(Event, BufSize, "%s", s.call);
    getEvent();
    EXPECT_STREQ(Eventtype, s.type) << s.call;
    EXPECT_EQ(Eventside, s.side) << s.call;
}

} // namespace

TEST(Referee, SplitsCallsIntoTypeAndSide) {
    Peer server;
    startagent(server);
    const Split cases[] = {
        {"goal_l", "goal_", 'l'},
        {"goal_l_1", "goal_", 'l'}, // the real server puts the score after the side
        {"goal_r_12", "goal_", 'r'},
        {"kick_off_l", "kick_off_", 'l'},
        {"half_time", "half_time", 'u'},
        {"before_kick_off", "before_kick_off", 'u'},
        {"play_on", "play_on", 'u'}, // its "l" stands before the first underscore
        {"corner_kick_r", "corner_kick_", 'r'},
        {"goal_kick_l", "goal_kick_", 'l'},
        {"drop_ball", "drop_ba", 'l'}, // cut at the first "l" after the underscore
        {"time_over", "time_ove", 'r'},
        {"kick_in_r", "kick_in_", 'r'},
        {"", "", 'u'},
        {"_", "_", 'u'},
        {"_l", "_", 'l'},
    };
    for (const Split &s : cases)
        expectsplit(s);
}

TEST(Referee, ShorterTypeAfterLongerLeavesNoTrace) {
    Peer server;
    startagent(server);
    expectsplit({"corner_kick_l", "corner_kick_", 'l'});
    expectsplit({"half_time", "half_time", 'u'});
    expectsplit({"free_kick_fault_r", "free_kick_fau", 'l'});
    expectsplit({"x", "x", 'u'});
}

TEST(Referee, OverlongCallKeepsTheFirst19Characters) {
    Peer server;
    startagent(server);
    expectsplit({"abc_defghijkmnopqstuvwxyz", "abc_defghijkmnopqst", 'u'});
    expectsplit({"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrs", 'u'});
    expectsplit({"abcdefghijklmnopqrstuvwxyz_r", "abcdefghijklmnopqrs", 'r'});
    expectsplit({"abc_defghijklmnopqrstuvwxyz", "abc_defghijk", 'l'});
    std::string huge(BufSize - 1, 'q');
    refereecall(huge.c_str());
    EXPECT_EQ(std::string(Event), huge);
    EXPECT_EQ(std::string(Eventtype), huge.substr(0, EventtypeSize - 1));
    refereecall((huge + huge).c_str()); // longer than Event: cut, never written past
    EXPECT_EQ(std::string(Event).size(), static_cast<size_t>(BufSize - 1));
}

TEST(Referee, CallIsStoredWithItsTime) {
    Peer server;
    initagent(server, 0, 4);
    Turn = 321;
    refereecall("kick_off_r");
    EXPECT_STREQ(Event, "kick_off_r");
    EXPECT_EQ(Eventturn, 321);
    EXPECT_TRUE(queued().empty()); // no reset for a kick-off
}

TEST(Referee, ResetToFormationPadsTheCurrentCycle) {
    Peer server;
    struct Case {
        int timeslot;
        int nops;
    } cases[] = {{0, 4}, {1, 3}, {2, 2}, {3, 1}, {4, 0}};
    for (const Case &c : cases) {
        initagent(server, 0, 10);
        addmess_list("(dash 100)"); // pending commands are thrown away
        addmess_list("(dash 100)");
        TimeSlot = c.timeslot;
        refereecall("goal_r_1");
        std::vector<std::string> expected(c.nops, "NOP");
        for (const char *s : {"(move -40 -10)", "NOP", "NOP", "(turn 30)"})
            expected.push_back(s);
        EXPECT_EQ(queued(), expected) << "TimeSlot " << c.timeslot;
    }
}

TEST(Referee, ResetCallsAndOthers) {
    Peer server;
    for (const char *call : {"kick_in_l", "corner_kick_r", "goal_l_3", "half_time"}) {
        initagent(server, 0, 1);
        TimeSlot = 3;
        refereecall(call);
        EXPECT_EQ(queued(),
                  (std::vector<std::string>{"NOP", "(move -50 0)", "NOP", "NOP", "(turn 0)"}))
            << call;
    }
    for (const char *call : {"goal_kick_l", "kick_off_l", "play_on", "free_kick_r",
                             "before_kick_off", "time_over", "drop_ball"}) {
        initagent(server, 0, 1);
        addmess_list("(dash 60)");
        refereecall(call);
        EXPECT_EQ(queued(), (std::vector<std::string>{"(dash 60)"})) << call;
    }
}

TEST(Referee, RightSideTurnsRoundAfterItsPlace) {
    Peer server;
    initagent(server, 1, 10);
    TimeSlot = 2;
    refereecall("goal_l_1");
    EXPECT_EQ(queued(), (std::vector<std::string>{"NOP", "NOP", "(move -40 -10)", "NOP", "NOP",
                                                  "(turn 30)", "NOP", "NOP", "(turn 180)"}));
}

TEST(Referee, NumberWithoutAPlaceOnlyTurnsRound) {
    Peer server;
    for (int side : {0, 1}) {
        initagent(server, side, 12);
        TimeSlot = 4;
        refereecall("half_time");
        std::vector<std::string> expected;
        if (side == 1)
            expected = {"NOP", "NOP", "(turn 180)"};
        EXPECT_EQ(queued(), expected) << "side " << side;
    }
}

TEST(Referee, HeardThroughTheParser) {
    Peer server;
    initagent(server, 0, 10);
    TimeSlot = 2;
    EXPECT_EQ(recvmess("(hear 120 referee goal_l_1)"), 3);
    EXPECT_EQ(Turn, 120);
    EXPECT_STREQ(Event, "goal_l_1");
    EXPECT_STREQ(Eventtype, "goal_");
    EXPECT_EQ(Eventside, 'l');
    EXPECT_EQ(Eventturn, 120);
    EXPECT_EQ(queued().size(), 6u);

    // A player's words change neither the play mode nor the queue.
    std::vector<std::string> before = queued();
    EXPECT_EQ(recvmess("(hear 140 -30 go)"), 3);
    EXPECT_EQ(recvmess("(hear 141 self goal_r)"), 3);
    EXPECT_EQ(Turn, 141);
    EXPECT_STREQ(Event, "goal_l_1");
    EXPECT_STREQ(Eventtype, "goal_");
    EXPECT_EQ(Eventturn, 120);
    EXPECT_EQ(queued(), before);
}

TEST(Referee, PlayModesThatHoldDecisionsBack) {
    Peer server;
    initagent(server, 0, 5);
    snprintf(Event, BufSize, "before_kick_off"); // as the init reply leaves it
    EXPECT_TRUE(decisionsheld());
    refereecall("kick_off_l");
    EXPECT_FALSE(decisionsheld());
    refereecall("play_on");
    EXPECT_FALSE(decisionsheld());
    refereecall("goal_r_1"); // the walk back to formation is not interrupted
    EXPECT_TRUE(decisionsheld());
    refereecall("kick_off_l");
    EXPECT_FALSE(decisionsheld());
    refereecall("goal_kick_r");
    EXPECT_FALSE(decisionsheld());
    refereecall("before_kick_off");
    EXPECT_TRUE(decisionsheld());
}
