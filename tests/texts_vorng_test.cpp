// The goalie's console texts of the command queue, byte for byte (ISO 8859-1).

#include "actions/builders.h"
#include "actions/queue.h"
#include "perception/parser.h"
#include "runtime/program.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorntest;

TEST(GoalieTexts, InitCommandAndSeams) {
    EXPECT_STREQ(InitCommand, "(init vorn(version 6.02)(goalie))");
    EXPECT_EQ(strlen(InitCommand) + 1, 34u);
    EXPECT_EQ(FirstPlacementPause, 0);
}

TEST(GoalieTexts, AddingTracesRestartAndAppend) {
    Peer server;
    startagent(server);
    Capture out;
    addmess_list("(turn 30)");
    addmess_list("(dash 50)");
    EXPECT_EQ(out.take(), "L\xe4"
                          "gger till mess listPek=0 listEnd=0\n"
                          "addmess l\xe4"
                          "gger in en aktion i b\xf6"
                          "rjan (turn 30)\n"
                          "innan strcpy\n"
                          "List[end]=(turn 30)\n"
                          "addmess_slut \n"
                          "L\xe4"
                          "gger till mess listPek=0 listEnd=0\n"
                          "addmess l\xe4"
                          "gger in en aktion i slutet (dash 50)\n"
                          "addmess_slut \n");
}

TEST(GoalieTexts, ServingTracesEverySlot) {
    Peer server;
    startagent(server);
    addmess_list("(turn 30)");
    addmess_list(Nop);
    Turn = 12;
    Capture out;
    sendmess_list();
    sendmess_list();
    sendmess_list();
    EXPECT_EQ(out.take(), "sendmess_list\n"
                          "List->(turn 30)\n"
                          "listpek=0 listmax=1000 Listend=1\n"
                          "inte null\n"
                          "in send buf (turn 30) turn 12\n"
                          "send return 0\n"
                          "sendmess_list out\n"
                          "sendmess_list\n"
                          "List->NOP\n"
                          "listpek=1 listmax=1000 Listend=1\n"
                          "inte null\n"
                          "sendmess_list out\n"
                          "sendmess_list\n"
                          "null\n"
                          "listpek=2 listmax=1000 Listend=1\n"
                          "sendmess_list out\n");
}

TEST(GoalieTexts, ServingPastTheLastSlotPrintsNull) {
    Peer server;
    startagent(server);
    ListPek = ListSize;
    Capture out;
    sendmess_list();
    EXPECT_EQ(out.take(), "sendmess_list\nnull\nlistpek=1000 listmax=1000 Listend=0\n"
                          "sendmess_list out\n");
}

TEST(GoalieTexts, NewmessList) {
    Peer server;
    startagent(server);
    Capture out;
    newmess_list("(turn 5)");
    EXPECT_EQ(out.take(), "newmess_list\nnewmess_list out\n");
}

// The goalie's dash and turn builders print one line each, before the command is queued.
TEST(GoalieTexts, DashAndTurnPrintTheirName) {
    Peer server;
    startagent(server);
    Capture out;
    dash(100, 0);
    turn(30, 0);
    kick(100, 0, 0);
    catchball(5, 0);
    EXPECT_EQ(out.take(), "dash\nturn\n");
}
