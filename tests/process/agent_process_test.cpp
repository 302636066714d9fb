// Both programs as processes: what they send first, how they end, how they treat standard
// input and the command line, and whose datagrams they take.

#include "tests/support/process.h"
#include "tests/support/tempdir.h"
#include "tests/support/udp.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace vorntest;

namespace {

struct Program {
    const char *name;
    const char *init; // the exact init datagram
};

void PrintTo(const Program &p, std::ostream *os) {
    *os << p.name;
}

const Program Programs[] = {
    {"Vorn", "(init vorn(version 6.02))"},
    {"Vorng", "(init vorn(version 6.02)(goalie))"},
};

class Agent : public ::testing::TestWithParam<Program> {
  protected:
    // Starts the program against the peer and waits for its init datagram.
    void start(Input input = Input::Pipe) {
        ASSERT_TRUE(server.ok());
        child = std::make_unique<Child>(
            binpath(GetParam().name),
            std::vector<std::string>{"127.0.0.1", std::to_string(server.port())}, folder.path(),
            input);
        ASSERT_TRUE(child->started());
        Datagram d;
        ASSERT_TRUE(server.receive(d, 10)) << "no init datagram";
        EXPECT_EQ(d.text, GetParam().init);
        agentport = d.port;
    }

    TempDir folder;
    Peer server;
    std::unique_ptr<Child> child;
    int agentport = 0;
};

} // namespace

TEST_P(Agent, SendsItsInitAndQuitsCleanly) {
    start();
    child->write("pl\n"); // before the init reply: one clear line, nothing touched
    child->write("quit\n");
    EXPECT_EQ(child->wait(10), 0);
    EXPECT_TRUE(folder.exists("Vorne.log"));
    EXPECT_EQ(folder.read("Vorne.log"), "");
    std::string out = child->output();
    std::string line =
        "No ball or player records yet: the server has not answered the init command\n";
    ASSERT_GE(out.size(), line.size());
    EXPECT_EQ(out.substr(out.size() - line.size()), line); // after the trace of the init send
}

TEST_P(Agent, CommandsAreCaseSensitiveAndWhole) {
    start();
    child->write("QUIT\n");
    child->write("quit now\n");
    child->write("qu");
    EXPECT_EQ(child->wait(0.5), -1) << "ended on a line that is not quit";
    child->write("it\n"); // the line finished later is a whole "quit"
    EXPECT_EQ(child->wait(10), 0);
}

TEST_P(Agent, SeveralLinesInOneWriteAreAllHandled) {
    start();
    child->write("pl\nhello\nquit\n");
    EXPECT_EQ(child->wait(10), 0);
}

TEST_P(Agent, EndOfInputKeepsPlayingAndIdle) {
    start();
    child->closeinput();
    EXPECT_EQ(child->wait(0.3), -1) << "ended at the end of standard input";
    double before = child->cputime();
    // Still serving the socket: the init reply gets the placement sent to the reply port.
    Peer replies;
    replies.send(agentport, std::string("(init l 1 before_kick_off)\0", 27));
    Datagram d;
    ASSERT_TRUE(replies.receive(d, 5));
    EXPECT_EQ(d.text, "(move -50 0)");
    usleep(1000000);
    double used = child->cputime() - before;
    EXPECT_LT(used, 0.2) << "busy after the end of standard input";
    EXPECT_TRUE(child->running());
}

TEST_P(Agent, StartsWithStandardInputClosedOrEmpty) {
    for (Input input : {Input::Closed, Input::DevNull}) {
        start(input);
        Peer replies;
        replies.send(agentport, "(init r 2 before_kick_off)");
        std::vector<std::string> got;
        Datagram d;
        while (got.size() < 3 && replies.receive(d, 5))
            got.push_back(d.text);
        EXPECT_EQ(got, (std::vector<std::string>{"(move -3 0)", "(turn -30)", "(turn 180)"}));
        EXPECT_TRUE(child->running());
        child->kill();
    }
}

TEST_P(Agent, DatagramFromTheServerMovesTheReplyPort) {
    start();
    Peer first, second;
    first.send(agentport, "(init l 9 before_kick_off)");
    Datagram d;
    ASSERT_TRUE(first.receive(d, 5));
    EXPECT_EQ(d.text, "(move -40 25)");
    ASSERT_TRUE(first.receive(d, 5));
    EXPECT_EQ(d.text, "(turn -45)");
    // The server talks from another port now: a cycle whose slots are all served, a kick-in
    // that queues the walk back to formation, and the next cycle's first slot sends the move
    // to the new port.
    second.send(agentport, "(sense_body 1 (view_mode high normal))");
    usleep(200000);
    second.send(agentport, "(hear 1 referee kick_in_l)");
    second.send(agentport, "(sense_body 2 (view_mode high normal))");
    ASSERT_TRUE(second.receive(d, 5));
    EXPECT_EQ(d.text, "(move -40 25)");
    EXPECT_FALSE(first.receive(d, 0.1));
    child->write("quit\n");
    EXPECT_EQ(child->wait(10), 0);
}

TEST_P(Agent, LogFileThatCannotBeCreatedIsDoneWithout) {
    // A folder that holds a directory named Vorne.log: the file cannot be opened.
    ASSERT_EQ(mkdir(folder.file("Vorne.log").c_str(), 0755), 0);
    start();
    child->write("quit\n");
    EXPECT_EQ(child->wait(10), 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, Agent, ::testing::ValuesIn(Programs),
                         [](const auto &info) { return std::string(info.param.name); });

// A fatal error ends the program with status 0, as every ending does, and says why in one
// line on standard error; the trace on standard output is what it always was. All cases run
// at once.
TEST(Fatal, EachErrorSaysItsCauseOnStandardError) {
    // The trace of the init command that could not be sent.
    const std::string vorninit = "in send buf (init vorn(version 6.02)) turn 0\n"
                                 "ListPek=0 Listend=0\nPlats 0=NULL\n"
                                 "awaymess (init vorn(version 6.02))\n";
    const std::string vornginit = "in send buf (init vorn(version 6.02)(goalie)) turn 0\n";
    const struct {
        const char *program;
        std::vector<std::string> args;
        int files; // the most files it may open (0: no limit)
        std::string error;
        std::string trace;
    } cases[] = {
        // clang-format off
        {"Vorn", {"nosuchhost.invalid", "6600"}, 0,
         "Vorn: cannot resolve the host 'nosuchhost.invalid'\n", ""},
        {"Vorn", {"127.0.0.1:6600"}, 0,
         "Vorn: cannot resolve the host '127.0.0.1:6600'; the port is an argument of its own: "
         "Vorn 127.0.0.1 6600\n", ""},
        {"Vorng", {"localhost:6000", "6001"}, 0,
         "Vorng: cannot resolve the host 'localhost:6000'; the port is an argument of its own: "
         "Vorng localhost 6000\n", ""},
        {"Vorn", {"127.0.0.1", "port"}, 0,
         "Vorn: cannot send to the server at 127.0.0.1:0: Invalid argument\n", vorninit},
        {"Vorng", {"255.255.255.255"}, 0,
         "Vorng: cannot send to the server at 255.255.255.255:6000: Permission denied\n",
         vornginit},
        // Room for the standard streams, the libraries while they load, and the log file.
        {"Vorn", {"127.0.0.1"}, 4,
         "Vorn: cannot open a UDP socket: Too many open files\n", ""},
        // clang-format on
    };
    std::vector<std::unique_ptr<TempDir>> folders;
    std::vector<std::unique_ptr<Child>> children;
    for (const auto &c : cases) {
        folders.push_back(std::make_unique<TempDir>());
        std::string program = binpath(c.program);
        std::vector<std::string> args = c.args;
        if (c.files > 0) {
            // The shell lets go of the descriptors it inherited before it sets the limit.
            args.insert(args.begin(), {"-c",
                                       "exec 3<&- 4<&- 5<&- 6<&- 7<&- 8<&- 9<&-; ulimit -n " +
                                           std::to_string(c.files) + " && exec \"$0\" \"$@\"",
                                       program});
            program = "/bin/sh";
        }
        children.push_back(
            std::make_unique<Child>(program, args, folders.back()->path(), Input::DevNull));
    }
    for (size_t i = 0; i < children.size(); i++) {
        const auto &c = cases[i];
        std::string what = std::string(c.program) + " " + c.args[0];
        EXPECT_EQ(children[i]->wait(20), 0) << what;
        EXPECT_EQ(folders[i]->read("stderr.txt"), c.error) << what;
        EXPECT_EQ(children[i]->output(), c.trace) << what;
    }
}

// Host and port from the command line.
class Arguments : public ::testing::TestWithParam<Program> {};

namespace {

// Starts the program with args and tells whether its init datagram reaches the peer.
bool initreaches(const Program &p, Peer &peer, const std::vector<std::string> &args) {
    TempDir folder;
    Child c(binpath(p.name), args, folder.path());
    Datagram d;
    bool got = peer.receive(d, 5) && d.text == p.init;
    c.write("quit\n");
    c.wait(10);
    return got;
}

} // namespace

TEST_P(Arguments, HostAndPort) {
    Peer any;
    ASSERT_TRUE(any.ok());
    EXPECT_TRUE(initreaches(GetParam(), any, {"127.0.0.1", std::to_string(any.port())}));
    EXPECT_TRUE(initreaches(GetParam(), any, {"localhost", std::to_string(any.port())}));

    Peer p4464(4464); // 70000 keeps its low 16 bits
    ASSERT_TRUE(p4464.ok()) << "port 4464 is in use";
    EXPECT_TRUE(initreaches(GetParam(), p4464, {"127.0.0.1", "70000"}));

    Peer p6000(6000);
    ASSERT_TRUE(p6000.ok()) << "port 6000 is in use";
    EXPECT_TRUE(initreaches(GetParam(), p6000, {"127.0.0.1"}));
    EXPECT_TRUE(initreaches(GetParam(), p6000, {}));
    // Three arguments: all ignored, localhost and 6000.
    EXPECT_TRUE(initreaches(GetParam(), p6000, {"127.0.0.1", std::to_string(any.port()), "x"}));
}

INSTANTIATE_TEST_SUITE_P(Programs, Arguments, ::testing::ValuesIn(Programs),
                         [](const auto &info) { return std::string(info.param.name); });
