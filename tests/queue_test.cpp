// The command queue: what goes out, in which call, and how the indices and ForceMove move.
// Sends go to a real peer on 127.0.0.1.

#include "actions/queue.h"
#include "runtime/runtime.h"
#include "tests/support/agent.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>
#include <string>

using namespace vorn;
using namespace vorntest;

namespace {

class Queue : public ::testing::Test {
  protected:
    void SetUp() override {
        startagent(server);
    }

    // The next datagram, or "" when none comes within a short wait.
    std::string sent(double wait = 1.0) {
        Datagram d;
        return server.receive(d, wait) ? d.text : "";
    }
    bool nothingsent() {
        return sent(0.05).empty();
    }

    Peer server;
};

} // namespace

TEST_F(Queue, ServesOneCommandThenRestartsWhenEmpty) {
    addmess_list("(turn 30)");
    EXPECT_STREQ(List[0], "(turn 30)");
    EXPECT_EQ(ListPek, 0);
    EXPECT_EQ(ListEnd, 0);

    sendmess_list();
    EXPECT_EQ(sent(), "(turn 30)");
    EXPECT_STREQ(List[0], "");
    EXPECT_EQ(ListPek, 1);

    ForceMove = 1;
    sendmess_list();
    EXPECT_TRUE(nothingsent());
    EXPECT_EQ(ListPek, 0);
    EXPECT_EQ(ListEnd, 0);
    EXPECT_EQ(ForceMove, 0);
}

TEST_F(Queue, PlaceholdersTakeSlotsAndSendNothing) {
    addmess_list(Nop);
    addmess_list(Nop);
    addmess_list("(kick 100 0)");
    ForceMove = 1;
    sendmess_list();
    sendmess_list();
    EXPECT_TRUE(nothingsent());
    EXPECT_EQ(ForceMove, 1);
    sendmess_list();
    EXPECT_EQ(sent(), "(kick 100 0)");
    EXPECT_EQ(ForceMove, 0);
}

TEST_F(Queue, ForceMoveClearsOnlyWithTheLastWrittenSlot) {
    addmess_list("(turn 45)");
    addmess_list("(dash 80)");
    ForceMove = 1;
    sendmess_list();
    EXPECT_EQ(ForceMove, 1);
    sendmess_list();
    EXPECT_EQ(ForceMove, 0);
    EXPECT_EQ(sent(), "(turn 45)");
    EXPECT_EQ(sent(), "(dash 80)");
}

TEST_F(Queue, AddingAppendsWhilePendingAndRestartsOnceServed) {
    addmess_list("(turn 1)");
    addmess_list("(turn 2)");
    EXPECT_EQ(ListEnd, 1);
    EXPECT_STREQ(List[1], "(turn 2)");
    sendmess_list();
    sendmess_list();
    // Everything served, the next serve not yet called: the slot at the read index is empty,
    // so the queue starts again at slot 0.
    addmess_list("(turn 3)");
    EXPECT_EQ(ListPek, 0);
    EXPECT_EQ(ListEnd, 0);
    EXPECT_STREQ(List[0], "(turn 3)");
}

TEST_F(Queue, DroppingAnEmptyQueueMovesPastTheEnd) {
    removemess_list();
    EXPECT_EQ(ListPek, 1);
    EXPECT_EQ(ListEnd, 0);
    sendmess_list();
    EXPECT_TRUE(nothingsent());
    EXPECT_EQ(ListPek, 0);
    EXPECT_EQ(ListEnd, 0);
}

TEST_F(Queue, NewListForgetsPendingCommands) {
    addmess_list("(turn 1)");
    addmess_list("(turn 2)");
    new_list();
    EXPECT_STREQ(List[0], "");
    EXPECT_STREQ(List[1], "(turn 2)"); // left over beyond the last index
    sendmess_list();
    EXPECT_TRUE(nothingsent());
    addmess_list("(dash 5)");
    EXPECT_EQ(ListEnd, 0);
    sendmess_list();
    EXPECT_EQ(sent(), "(dash 5)");
}

TEST_F(Queue, NewmessListRestartsWithOneCommand) {
    addmess_list("(turn 1)");
    addmess_list("(turn 2)");
    newmess_list("(dash 7)");
    EXPECT_EQ(ListPek, 0);
    EXPECT_EQ(ListEnd, 0);
    sendmess_list();
    EXPECT_EQ(sent(), "(dash 7)");
}

TEST_F(Queue, SendmessSendsTheTextWithoutTerminator) {
    EXPECT_EQ(sendmess("(dash 100)"), 0);
    std::string d = sent();
    EXPECT_EQ(d.size(), 10u);
    EXPECT_EQ(d, "(dash 100)");
}

TEST_F(Queue, ThousandSlotLimit) {
    for (int i = 0; i < ListSize; i++)
        addmess_list(("(turn " + std::to_string(i) + ")").c_str());
    EXPECT_EQ(ListEnd, ListSize - 1);
    EXPECT_STREQ(List[ListSize - 1], "(turn 999)");

    // Slot 999 in use: adding restarts at slot 0 and the pending commands are lost.
    addmess_list("(dash 1)");
    EXPECT_EQ(ListPek, 0);
    EXPECT_EQ(ListEnd, 0);
    sendmess_list();
    EXPECT_EQ(sent(), "(dash 1)");
    sendmess_list();
    EXPECT_TRUE(nothingsent());

    // Serving the full queue to its end leaves the read index at 1000; dropping there
    // touches no slot and serving restarts the queue.
    for (int i = 0; i < ListSize; i++)
        addmess_list(Nop);
    for (int i = 0; i < ListSize; i++)
        sendmess_list();
    EXPECT_EQ(ListPek, ListSize);
    removemess_list();
    EXPECT_EQ(ListPek, ListSize + 1);
    addmess_list("(turn 5)");
    EXPECT_EQ(ListPek, 0);
    sendmess_list();
    EXPECT_EQ(sent(), "(turn 5)");
}

TEST_F(Queue, OverlongTextIsCutAtTheSlotSize) {
    std::string longtext(5000, 'x');
    addmess_list(longtext.c_str());
    EXPECT_EQ(std::string(List[0]), longtext.substr(0, SlotTextSize - 1));
    newmess_list(longtext.c_str());
    EXPECT_EQ(strlen(List[0]), static_cast<size_t>(SlotTextSize - 1));
}
