// The field player's console texts of the command queue, byte for byte (ISO 8859-1).

#include "actions/builders.h"
#include "actions/queue.h"
#include "perception/parser.h"
#include "runtime/program.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>

using namespace vorn;
using namespace vorntest;

TEST(FieldPlayerTexts, InitCommandAndSeams) {
    EXPECT_STREQ(InitCommand, "(init vorn(version 6.02))");
    EXPECT_EQ(strlen(InitCommand) + 1, 26u);
    EXPECT_EQ(FirstPlacementPause, 100000);
}

TEST(FieldPlayerTexts, AddingPrintsTheTextAndSlotZero) {
    Peer server;
    startagent(server);
    Capture out;
    addmess_list("(turn 30)");
    addmess_list("(dash 50)");
    EXPECT_EQ(out.take(), "L\xe4"
                          "gger till mess listPek=0 listEnd=0 buf=(turn 30)\n"
                          "List[end]=(turn 30)\n"
                          "L\xe4"
                          "gger till mess listPek=0 listEnd=0 buf=(dash 50)\n");
}

TEST(FieldPlayerTexts, SendingListsTheQueueAndReportsThePort) {
    Peer server;
    startagent(server);
    SockSer.servaddr.sin_port = htons(static_cast<uint16_t>(server.port()));
    addmess_list("(turn 30)");
    addmess_list("(dash 50)");
    Turn = 7;
    Capture out;
    sendmess_list();
    sendmess_list();
    sendmess_list(); // nothing left: no text at all
    std::string port = std::to_string(server.port());
    EXPECT_EQ(out.take(), "in send buf (turn 30) turn 7\n"
                          "ListPek=0 Listend=1\n"
                          "Plats 0=(turn 30)\n"
                          "Plats 1=(dash 50)\n"
                          "awaymess (turn 30)\n"
                          "Turn 7 Sent " +
                              port +
                              " : (turn 30)\n"
                              "in send buf (dash 50) turn 7\n"
                              "ListPek=1 Listend=1\n"
                              "Plats 0=NULL\n"
                              "Plats 1=(dash 50)\n"
                              "awaymess (dash 50)\n"
                              "Turn 7 Sent " +
                              port + " : (dash 50)\n");
}

TEST(FieldPlayerTexts, PlaceholdersAndNewmessPrintNothing) {
    Peer server;
    startagent(server);
    addmess_list(Nop);
    Capture out;
    sendmess_list();
    newmess_list(Nop);
    removemess_list();
    EXPECT_EQ(out.take(), "");
}

// The builders print nothing of their own in the field player (the queue's trace remains).
TEST(FieldPlayerTexts, BuildersPrintNoLineOfTheirOwn) {
    Peer server;
    startagent(server);
    Capture out;
    dash(100, 0);
    turn(30, 0);
    kick(100, 0, 0);
    EXPECT_EQ(out.take(), "");
}
