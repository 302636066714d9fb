// The agent runtime: start values, the connection, the send-slot scheduler as a function of
// the times it is given, and the receive path on a real loopback socket.

#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/parser.h"
#include "perception/referee.h"
#include "runtime/runtime.h"
#include "runtime/slots.h"
#include "tests/support/agent.h"
#include "tests/support/tempdir.h"
#include "tests/support/udp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>
#include <vector>

using namespace vorn;
using namespace vorntest;

namespace {

// Runs the scheduler's log inside a temporary folder, so Vorne.log can be read back.
class LogFolder {
  public:
    LogFolder() {
        char *cwd = getcwd(nullptr, 0);
        previous_ = cwd;
        free(cwd);
        EXPECT_EQ(chdir(folder_.path().c_str()), 0);
        openlogfile();
    }
    ~LogFolder() {
        EXPECT_EQ(chdir(previous_.c_str()), 0);
    }
    std::string text() {
        closelogfile();
        return folder_.read("Vorne.log");
    }

  private:
    TempDir folder_;
    std::string previous_;
};

std::vector<std::string> texts(const std::vector<Datagram> &all) {
    std::vector<std::string> t;
    for (const Datagram &d : all)
        t.push_back(d.text);
    return t;
}

} // namespace

TEST(Startup, InitvarSetsStartValuesAndRestoresThem) {
    initvar();
    char *slot = List[5];
    char *buffer = bufin;
    addmess_list("(dash 10)");
    strcpy(List[5], "left over");
    ListPek = 3;
    ForceMove = 1;
    Kickable_area = 0;
    Turn = TimeSlot = AgentSide = AgentNumber = Eventturn = 7;
    Eventside = 'l';
    initvar();
    EXPECT_DOUBLE_EQ(Kickable_area, 1.085);
    EXPECT_EQ(Turn + TimeSlot + AgentSide + AgentNumber + Eventturn, 0);
    EXPECT_EQ(Eventside, 'u');
    EXPECT_EQ(ListPek, 0);
    EXPECT_EQ(ListEnd, 0);
    EXPECT_EQ(ForceMove, 0);
    for (int i = 0; i < ListSize; i++)
        ASSERT_STREQ(List[i], "") << "slot " << i;
    // The buffers are allocated once and kept.
    EXPECT_EQ(List[5], slot);
    EXPECT_EQ(bufin, buffer);
}

TEST(Startup, StrlwrLowersInPlace) {
    char text[] = "(See 12 ((F C) 10 0))";
    EXPECT_EQ(strlwr(text), text);
    EXPECT_STREQ(text, "(see 12 ((f c) 10 0))");
}

TEST(Startup, MymallocGivesUsableBlocks) {
    for (int size : {1, 12, 20, 4096}) {
        auto *block = static_cast<unsigned char *>(mymalloc(size));
        ASSERT_NE(block, nullptr);
        memset(block, 0xab, size); // the sanitizer build checks the block's extent
        EXPECT_EQ(block[size - 1], 0xab);
        free(block);
    }
}

TEST(Connection, PortTextKeepsTheLow16Bits) {
    EXPECT_EQ(portfromtext("6001"), 6001);
    EXPECT_EQ(portfromtext("70000"), 4464);
    EXPECT_EQ(portfromtext("server"), 0);
    EXPECT_EQ(portfromtext(""), 0);
    EXPECT_EQ(portfromtext("-1"), 65535);
    EXPECT_EQ(portfromtext("6000abc"), 6000);
    EXPECT_EQ(portfromtext("99999999999999999999999"), portfromtext("9223372036854775807"));
}

TEST(Connection, ResolvesNamesAndDottedAddresses) {
    initserconnection("localhost", 6001);
    ASSERT_GE(SockSer.socketfd, 0);
    EXPECT_EQ(SockSer.servaddr.sin_family, AF_INET);
    EXPECT_EQ(ntohl(SockSer.servaddr.sin_addr.s_addr), INADDR_LOOPBACK);
    EXPECT_EQ(ntohs(SockSer.servaddr.sin_port), 6001);
    close(SockSer.socketfd);

    initserconnection("127.0.0.1", 70000);
    ASSERT_GE(SockSer.socketfd, 0);
    EXPECT_EQ(ntohs(SockSer.servaddr.sin_port), 4464);
    close(SockSer.socketfd);

    initserconnection("no.such.host.invalid", 6000);
    EXPECT_EQ(SockSer.socketfd, -1);
}

// Why a connection could not be made, in the words the fatal exit says on standard error.
TEST(Connection, FailureSaysWhy) {
    const struct {
        const char *host;
        const char *says;
    } cases[] = {
        {"no.such.host.invalid", "cannot resolve the host 'no.such.host.invalid'"},
        {"300.1.2.3", "cannot resolve the host '300.1.2.3'"},
        {"127.0.0.1:6600",
         "cannot resolve the host '127.0.0.1:6600'; the port is an argument of its own: Vorn "
         "127.0.0.1 6600"},
        {"localhost:", "cannot resolve the host 'localhost:'"},
        {"a:b:6000", "cannot resolve the host 'a:b:6000'"},
        {"host:123456", "cannot resolve the host 'host:123456'"},
        {"bad\nname", "cannot resolve the host 'bad?name'"},
        {"", "cannot resolve the host '': Unknown server error"},
    };
    for (const auto &c : cases) {
        initserconnection(c.host, 6000);
        EXPECT_EQ(SockSer.socketfd, -1) << c.host;
        EXPECT_STREQ(ConnectFailure, c.says);
    }
    // A host text of any length stays one line of bounded length.
    std::string longhost(5000, 'x');
    initserconnection((longhost + ":6000").c_str(), 6000);
    EXPECT_EQ(ConnectFailure, "cannot resolve the host '" + longhost.substr(0, 100) + "'");

    initserconnection("127.0.0.1", 6000);
    ASSERT_GE(SockSer.socketfd, 0);
    EXPECT_STREQ(ConnectFailure, "");
    close(SockSer.socketfd);
}

// A socket whose descriptor select cannot watch is given up, not written past the set's end.
TEST(Connection, SocketBeyondSelectsReachIsRefused) {
    rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max < FD_SETSIZE + 10)
        GTEST_SKIP() << "cannot open " << FD_SETSIZE << " files here";
    rlimit raised = limit;
    raised.rlim_cur = FD_SETSIZE + 10;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
    // Every descriptor below FD_SETSIZE taken, so that the socket gets FD_SETSIZE itself.
    std::vector<int> held;
    for (int fd = open("/dev/null", O_RDONLY); fd >= 0; fd = dup(fd)) {
        held.push_back(fd);
        if (fd >= FD_SETSIZE - 1)
            break;
    }
    initserconnection("127.0.0.1", 6000);
    for (int fd : held)
        close(fd);
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(SockSer.socketfd, -1);
    std::string setsize = std::to_string(FD_SETSIZE);
    EXPECT_EQ(std::string(ConnectFailure), "cannot watch the UDP socket: its descriptor " +
                                               setsize + " is not below select's limit of " +
                                               setsize + " (too many files open)");
}

// The one line each fatal error says: the program, then the cause.
TEST(Fatal, EachMessageSaysItsCause) {
    initserconnection("127.0.0.1", 6600);
    ASSERT_GE(SockSer.socketfd, 0);
    close(SockSer.socketfd);
    const struct {
        const char *message;
        int error;
        const char *line;
    } cases[] = {
        {"Select gfs", EBADF,
         "Vorn: cannot wait for the server or standard input: Bad file "
         "descriptor\n"},
        {"\nClock failed Rec_time\n", EINVAL, "Vorn: cannot read the clock: Invalid argument\n"},
        {"\nClock failed Now_time\n", EINVAL, "Vorn: cannot read the clock: Invalid argument\n"},
        {"\nClock failed Look_time\n", EINVAL, "Vorn: cannot read the clock: Invalid argument\n"},
        {"Error in sending\n", ENETUNREACH,
         "Vorn: cannot send to the server at 127.0.0.1:6600: Network is unreachable\n"},
        {"error in sending sendmess_list\n", 0,
         "Vorn: cannot send to the server at 127.0.0.1:6600: unknown error\n"},
        {"In initteamname\n", EACCES,
         "Vorn: cannot send the init command to the server at 127.0.0.1:6600: Permission "
         "denied\n"},
        {"Out of memory in initvar\n", ENOMEM, "Vorn: out of memory\n"},
        {"Out of memory in mymalloc\n", ENOMEM, "Vorn: out of memory\n"},
        {"mymalloc of nothing\n", 0, "Vorn: an allocation of no bytes\n"},
        {"\nSomething\tnew**\n", EIO, "Vorn: Something new\n"},
    };
    char line[FatalLineSize];
    for (const auto &c : cases) {
        fatalline(line, sizeof line, c.message, c.error);
        EXPECT_STREQ(line, c.line);
    }
    initserconnection("no.such.host.invalid", 6000);
    fatalline(line, sizeof line, "Main Sock.socketfd==-1\n", 0);
    EXPECT_STREQ(line, "Vorn: cannot resolve the host 'no.such.host.invalid'\n");
}

TEST(Slots, ElapsedTimeWrapsAtTheSecond) {
    EXPECT_EQ(elapsedmicros(10000000, 999000000), 11000);
    EXPECT_EQ(elapsedmicros(500000000, 400000000), 100000);
    EXPECT_EQ(elapsedmicros(400000999, 400000000), 0); // sub-microsecond parts are cut
    EXPECT_EQ(elapsedmicros(0, 999999999), 1);
}

// The poll waits until the pending slot is due, 1 ms at most, never less than nothing.
TEST(Slots, PollWaitsUntilThePendingSlotIsDue) {
    struct Case {
        int timeslot;
        long elapsed;
        long wait;
    } cases[] = {
        {0, 5000, -1},    {4, 5000, -1},   {1, 0, 0},     {1, 40000, 0}, {2, 20000, 1000},
        {2, 32333, 1000}, {2, 32900, 433}, {2, 33333, 0}, {2, 50000, 0}, {3, 65666, 1000},
        {3, 66665, 1},    {3, 66666, 0},   {3, 99999, 0},
    };
    for (const Case &c : cases) {
        TimeSlot = c.timeslot;
        EXPECT_EQ(polltimeout(c.elapsed), c.wait) << "slot " << c.timeslot << " at " << c.elapsed;
    }
    TimeSlot = 0;
}

// After the server's last datagram the poll waits at most until 10 s of silence have passed.
TEST(Silence, PollWaitsAtMostUntilTheLimit) {
    const long cases[][2] = {{0, 10000000}, {9999999, 1}, {10000000, 0}, {25000000, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(silenceleft(c[0]), c[1]) << "silent for " << c[0] << " us";
}

// Silence is counted from the gaps between looks at the socket, each up to a step: a gap
// longer than that is the player's own stall, whatever the server sent meanwhile waits to be
// read, and it counts as one step.
TEST(Silence, GapsCountUpToAStepAndAStallCountsAsOne) {
    struct Case {
        const char *what;
        std::vector<std::pair<int, long>> gaps; // so many looks that found nothing, this far apart
        long left;                              // silenceleft afterwards
        long wait;                              // silencewait afterwards
    } cases[] = {
        {"nothing yet", {}, 10000000, 1000000},
        {"ten empty 1 s polls", {{10, 1000000}}, 0, 0},
        {"a hundred 100 ms polls", {{100, 100000}}, 0, 0},
        {"one poll short of the limit", {{99, 100000}}, 100000, 100000},
        {"stopped for 11 s", {{1, 11000000}}, 9000000, 1000000},
        {"stopped for 11 s after 8.5 s", {{85, 100000}, {1, 11000000}}, 500000, 500000},
        {"stopped twice for an hour", {{2, 3600000000L}}, 8000000, 1000000},
        {"a step and a hair", {{1, 1000001}}, 9000000, 1000000},
        {"gaps of 4 s count 1 s each", {{2, 4000000}}, 8000000, 1000000},
        {"a clock that went back", {{1, -5000000}, {1, 300}}, 9999700, 1000000},
    };
    for (const Case &c : cases) {
        long silent = 0;
        for (auto [count, gap] : c.gaps)
            for (int i = 0; i < count; i++)
                silent = silenceafter(silent, gap);
        EXPECT_EQ(silenceleft(silent), c.left) << c.what;
        EXPECT_EQ(silencewait(silent), c.wait) << c.what;
    }
}

TEST(Slots, OnTimeSlotsSendOneEntryEachAndSleepToTheNext) {
    Peer server;
    startagent(server);
    LogFolder log;
    // Neck turns: not body commands, so one may leave in every slot of a cycle.
    for (const char *c : {"(turn_neck 1)", "(turn_neck 2)", "(turn_neck 3)", "(turn_neck 4)"})
        addmess_list(c);
    TimeSlot = 1;
    EXPECT_EQ(serveslot(0), 33333);
    EXPECT_EQ(TimeSlot, 2);
    EXPECT_EQ(serveslot(33400), 66666 - 33400);
    EXPECT_EQ(TimeSlot, 3);
    EXPECT_EQ(serveslot(99998), 0);
    EXPECT_EQ(TimeSlot, 4);
    // All three slots served: nothing more goes out until the next cycle begins.
    EXPECT_EQ(serveslot(99999), 0);
    EXPECT_EQ(TimeSlot, 4);
    EXPECT_EQ(texts(server.collect(0.2)),
              (std::vector<std::string>{"(turn_neck 1)", "(turn_neck 2)", "(turn_neck 3)"}));
    EXPECT_EQ(log.text(), "");
    EXPECT_EQ(ListPek, 3);
}

TEST(Slots, BoundariesOfEachSlot) {
    Peer server;
    startagent(server);
    LogFolder log;
    struct Case {
        int slot;
        long elapsed;
        bool ontime;
    } cases[] = {{1, 33332, true},  {1, 33333, false}, {2, 66665, true},
                 {2, 66666, false}, {3, 99998, true},  {3, 99999, false}};
    std::string expected;
    for (const Case &c : cases) {
        new_list();
        addmess_list("(turn_neck 1)");
        TimeSlot = c.slot;
        serveslot(c.elapsed);
        EXPECT_EQ(TimeSlot, c.slot + 1);
        Datagram d;
        EXPECT_EQ(server.receive(d, c.ontime ? 1.0 : 0.05), c.ontime)
            << "slot " << c.slot << " at " << c.elapsed;
        if (!c.ontime)
            expected += "Missed slot " + std::to_string(c.slot) + "\n";
    }
    EXPECT_EQ(log.text(), expected);
}

TEST(Slots, LateSlotDropsOneEntryAndLaterSlotsKeepTheirPlace) {
    Peer server;
    startagent(server);
    LogFolder log;
    addmess_list("(turn 10)");
    addmess_list("(turn 20)");
    addmess_list("(turn 30)");
    TimeSlot = 1;
    EXPECT_EQ(serveslot(40000), 0);
    EXPECT_EQ(TimeSlot, 2);
    EXPECT_EQ(ListPek, 1);
    EXPECT_STREQ(List[0], "");
    EXPECT_EQ(serveslot(40001), 66666 - 40001);
    EXPECT_EQ(serveslot(100500), 0);
    EXPECT_EQ(texts(server.collect(0.2)), (std::vector<std::string>{"(turn 20)"}));
    EXPECT_EQ(log.text(), "Missed slot 1\nMissed slot 3\n");
}

// The server carries out one body command per cycle: a second one waits for the next cycle,
// where its slot sends it, and the slot in between sends nothing.
TEST(Slots, ASecondBodyCommandInACycleWaitsForTheNext) {
    Peer server;
    startagent(server);
    LogFolder log;
    for (const char *c : {"(dash 50)", "(turn_neck 5)", "(kick 100 0)", "(turn 30)"})
        addmess_list(c);
    TimeSlot = 1;
    serveslot(0);
    serveslot(33400);
    serveslot(66700); // the kick waits
    EXPECT_EQ(ListPek, 2);
    TimeSlot = 1; // a new cycle
    BodySent = 0;
    serveslot(0);
    serveslot(33400); // the turn waits
    EXPECT_EQ(texts(server.collect(0.2)),
              (std::vector<std::string>{"(dash 50)", "(turn_neck 5)", "(kick 100 0)"}));
    EXPECT_EQ(ListPek, 3);
    EXPECT_EQ(log.text(), "");
}

TEST(Slots, NothingIsServedBeforeTheFirstCycle) {
    Peer server;
    startagent(server);
    LogFolder log;
    addmess_list("(dash 100)");
    for (long t : {0L, 50000L, 99999L})
        EXPECT_EQ(serveslot(t), 0);
    EXPECT_EQ(TimeSlot, 0);
    EXPECT_FALSE(slotpending());
    EXPECT_EQ(ListPek, 0);
    EXPECT_STREQ(List[0], "(dash 100)");
    Datagram d;
    EXPECT_FALSE(server.receive(d, 0.05));
    EXPECT_EQ(log.text(), "");
}

TEST(ReceivePath, DatagramIsLowerCasedParsedAndTheReplyPortFollowed) {
    Peer server;
    Peer replies;
    initagent(server, 0, 5);
    initpoll(-1);
    replies.send(agentport(), std::string("(SEE 7 ((B) 1 2))\0", 18));
    TimeSlot = 1; // a slot is pending, so an idle poll returns after 1 ms
    int r = 0;
    for (int i = 0; i < 2000 && r == 0; i++)
        r = getfromserver();
    EXPECT_EQ(r, 1);
    EXPECT_STREQ(bufin, "(see 7 ((b) 1 2))");
    EXPECT_EQ(ntohs(SockSer.servaddr.sin_port), replies.port());
    EXPECT_EQ(Turn, 7);
    EXPECT_EQ(Ball->time, 7);
}

TEST(ReceivePath, DatagramFromAnotherAddressIsIgnored) {
    Peer server;
    Peer stranger;
    initagent(server, 0, 5);
    initpoll(-1);
    // Pretend the server lives elsewhere (nothing is ever sent there), so that a datagram
    // from 127.0.0.1 comes from a stranger.
    SockSer.servaddr.sin_addr.s_addr = inet_addr("192.0.2.1");
    in_port_t port = SockSer.servaddr.sin_port;
    strcpy(bufin, "untouched");
    stranger.send(agentport(), "(see 9 ((b) 1 2))");
    TimeSlot = 1;
    int r = 0;
    for (int i = 0; i < 2000 && r == 0; i++)
        r = getfromserver();
    EXPECT_EQ(r, 3);
    EXPECT_STREQ(bufin, "untouched");
    EXPECT_EQ(SockSer.servaddr.sin_port, port);
    EXPECT_EQ(Turn, 0);
    EXPECT_EQ(Ball->time, -1);
}

TEST(ReceivePath, IdlePollWithASlotPendingReturnsWithinMilliseconds) {
    Peer server;
    startagent(server);
    initpoll(-1);
    TimeSlot = 2;
    double start = now();
    EXPECT_EQ(getfromserver(), 0);
    EXPECT_LT(now() - start, 0.5);
}
