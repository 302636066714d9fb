// command_test.cpp -- how pitch reads a player's datagram: several commands in a row,
// a malformed command stopping the rest, the say rules, and hostile bytes.

#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

#include "pitch/command.h"
#include "pitch/net.h"
#include "pitch/step.h"
#include "tests/pitch/fixture.h"

using namespace pitchtest;

static void run(int slot, const std::string &text) {
    runcommands(slot, text.data(), text.size(), 0);
}

TEST(Commands, SeveralInOneDatagramRunInOrder) {
    int p = inplay();
    run(p, "(turn 30)(turn_neck -20)(change_view wide low)");
    EXPECT_EQ(Players[p].turns, 1);
    EXPECT_EQ(Players[p].necks, 1);
    EXPECT_EQ(Players[p].viewwidth, ViewWide);
    EXPECT_TRUE(Players[p].lowquality);
}

TEST(Commands, NumberFormsAreAccepted) {
    int p = inplay();
    run(p, "( dash  .5e2 )");
    simstep();
    EXPECT_NEAR(Players[p].x, 0.3, 1e-9);
    run(p, "(turn -3.0)"); // while running at 0.12 m per cycle
    simstep();
    EXPECT_NEAR(Players[p].body, -3 * DegToRad / (1 + 5 * 0.12), 1e-12);
}

TEST(Commands, MalformedCommandStopsTheRest) {
    int p = inplay();
    run(p, "(dash 50)(dash)(turn 30)");
    EXPECT_EQ(Players[p].dashes, 1);
    EXPECT_EQ(Players[p].turns, 0);
    simstep();
    run(p, "(turn 30)(flyaway 1)(turn_neck 10)");
    EXPECT_EQ(Players[p].turns, 1);
    EXPECT_EQ(Players[p].necks, 0);
    simstep();
    for (const char *bad : {"(turn nan)", "(turn 1e999)", "(kick 10)", "(move 1 2 3)",
                            "(change_view sideways)", "turn 30", "(turn 30", "((turn 30))"}) {
        run(p, bad);
        simstep();
    }
    EXPECT_EQ(Players[p].turns, 1);
}

TEST(Commands, UnmodelledCommandsAreAcceptedAndSkipped) {
    int p = inplay();
    run(p, "(pointto 10 20)(attentionto our 5)(turn 10)");
    EXPECT_EQ(Players[p].turns, 1);
    EXPECT_EQ(commandcount(p, KindOther), 2);
}

TEST(Commands, AClientsNulEndsItsText) {
    int p = inplay();
    std::string text("(turn 10)\0(dash 100)", 20);
    run(p, text);
    EXPECT_EQ(Players[p].turns, 1);
    EXPECT_EQ(Players[p].dashes, 0);
}

TEST(Say, UnquotedMessageRunsToTheLastParenthesis) {
    int p = inplay();
    run(p, "(say hi)(turn 3)");
    EXPECT_EQ(Players[p].says, 1);
    EXPECT_EQ(Players[p].turns, 0); // "hi)(turn 3" was the message
    run(p, "(say \"go\")(turn 30)");
    EXPECT_EQ(Players[p].says, 2);
    EXPECT_EQ(Players[p].turns, 1);
}

TEST(Say, LongMessagesAreDropped) {
    int p = inplay();
    run(p, "(say abcdefghijk)");
    EXPECT_EQ(Players[p].says, 0);
    run(p, "(say abcdefghij)");
    EXPECT_EQ(Players[p].says, 1);
}

TEST(Say, HearingIsLimitedPerTeamAndCycle) {
    int a = inplay(), b = seat("A"), c = seat("A");
    place(b, 5, 0, 0);
    place(c, 10, 0, 0);
    run(a, "(say one)");
    EXPECT_DOUBLE_EQ(Players[c].hearmate, 0); // c heard a
    run(b, "(say two)");
    EXPECT_DOUBLE_EQ(Players[c].hearmate, 0); // and could not hear b as well
    EXPECT_DOUBLE_EQ(Players[a].hearmate, 0);
    simstep();
    EXPECT_DOUBLE_EQ(Players[c].hearmate, 1);
}

TEST(Commands, ByeRemovesThePlayer) {
    int p = inplay();
    run(p, "(bye)");
    EXPECT_FALSE(Players[p].on);
}

// Random bytes and truncated commands must never crash or read out of bounds; the
// sanitizer build checks the latter.
TEST(Commands, HostileBytesAreHarmless) {
    int p = inplay();
    std::mt19937 gen(7);
    const std::string pieces[] = {"(",     ")",    "say ", "\"",         "dash ", "1e308",
                                  "-",     ".",    " ",    "turn",       "move",  "kick",
                                  "catch", "\xff", "\n",   "change_view"};
    for (int i = 0; i < 3000; i++) {
        std::string text;
        int n = gen() % 12;
        for (int k = 0; k < n; k++)
            text += pieces[gen() % (sizeof pieces / sizeof pieces[0])];
        if (i % 3 == 0)
            for (int k = 0; k < 20; k++)
                text += static_cast<char>(gen() % 256);
        run(p, text);
        if (!Players[p].on) {
            Players[p].on = true;
        }
        if (i % 50 == 0)
            simstep();
    }
    std::string huge(8192, '(');
    run(p, huge);
    SUCCEED();
}

// A socket of ours on 127.0.0.1 that stands in for the clients' address: pitch's replies to
// the inits below go there. Its address is left in a; -1 when it cannot be bound.
static int opensink(sockaddr_in &a) {
    int sink = socket(AF_INET, SOCK_DGRAM, 0);
    a = sockaddr_in{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (sink < 0 || bind(sink, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        getsockname(sink, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        if (sink >= 0)
            close(sink);
        return -1;
    }
    return sink;
}

// Init and reconnect texts from unknown addresses: hostile variants must be refused
// without harm, well-formed ones seat players (their replies go to a socket of ours).
TEST(Connect, InitParsingSurvivesHostileBytes) {
    freshmatch();
    sockaddr_in a{};
    int sink = opensink(a);
    ASSERT_GE(sink, 0);
    std::mt19937 gen(11);
    const std::string heads[] = {"(init ", "(reconnect ", "(init a", "(init b (version 6"};
    const std::string pieces[] = {
        "(", ")", "version ", "goalie", "6.02", " ", "a", "-", "\xfe", "..", "9999999999999999999",
        "\0"};
    for (int i = 0; i < 2000; i++) {
        std::string text = heads[gen() % 4];
        int n = gen() % 10;
        for (int k = 0; k < n; k++)
            text += pieces[gen() % (sizeof pieces / sizeof pieces[0])];
        a.sin_port = htons(static_cast<uint16_t>(20000 + i % 7)); // a few "addresses"
        handlenew(a.sin_addr.s_addr, a.sin_port, text.data(), text.size());
    }
    std::string huge = "(init " + std::string(9000, 'x');
    handlenew(a.sin_addr.s_addr, a.sin_port, huge.data(), huge.size());
    int seated = 0;
    for (int i = 0; i < MaxPlayers; i++) {
        if (Players[i].on) {
            seated++;
            EXPECT_LE(std::strlen(TeamName[sideindex(Players[i].side)]), 15u);
        }
        closereply(i);
    }
    EXPECT_GT(seated, 0);
    close(sink);
}

// The version is compared as a number: one too large for an int is refused like any other
// version but 6.x, without being converted to an int (an overflow the sanitizers report).
TEST(Connect, VersionTooLargeForAnIntIsRefused) {
    freshmatch();
    sockaddr_in a{};
    int sink = opensink(a);
    ASSERT_GE(sink, 0);
    for (std::string v : {"6999999999.02", "99999999999999999999999999999", "7", "5.99"}) {
        std::string text = "(init vorn (version " + v + "))";
        handlenew(a.sin_addr.s_addr, a.sin_port, text.data(), text.size());
    }
    EXPECT_EQ(connectedclients(), 0);
    std::string good = "(init vorn (version 6.99))";
    handlenew(a.sin_addr.s_addr, a.sin_port, good.data(), good.size());
    EXPECT_EQ(connectedclients(), 1);
    for (int i = 0; i < MaxPlayers; i++)
        closereply(i);
    close(sink);
}
