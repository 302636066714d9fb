// process_test.cpp -- build/bin/pitch as a process: its replies on real loopback
// sockets, its timing (with tolerances a loaded machine keeps), the effect of commands,
// the record file, the end of a match and the command line.

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <numeric>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "tests/pitch/support.h"

using namespace pitchtest;

static double secs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static std::string errorfor(int port, const std::string &init, int *fromport = nullptr) {
    Client c;
    openclient(c, port);
    sendmain(c, init);
    std::string msg;
    sockaddr_in from{};
    if (!recvraw(c, msg, 3000, &from))
        msg = "(no reply)";
    if (fromport)
        *fromport = ntohs(from.sin_port);
    closeclient(c);
    return strip(msg);
}

TEST(Connect, InitReplyComesFromANewPortAndEndsInNul) {
    Server s({"--kickoff-after", "0", "--quiet"});
    ASSERT_TRUE(s.started);
    Client c;
    ASSERT_TRUE(openclient(c, s.p.port));
    sendmain(c, "(init vorn (version 6.02)(goalie))\n");
    std::string msg;
    sockaddr_in from{};
    ASSERT_TRUE(recvraw(c, msg, 3000, &from));
    EXPECT_EQ(msg, std::string("(init l 1 before_kick_off)\0", 27));
    EXPECT_NE(ntohs(from.sin_port), s.p.port);
    EXPECT_EQ(from.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    closeclient(c);
}

TEST(Connect, RefusalsNameTheReason) {
    Server s({"--kickoff-after", "0", "--quiet"});
    ASSERT_TRUE(s.started);
    std::vector<Client> team(13);
    std::string reply;
    ASSERT_TRUE(initclient(team[0], s.p.port, "(init a (version 6.02)(goalie))", reply));
    int from = 0;
    EXPECT_EQ(errorfor(s.p.port, "(init a (goalie)(version 6.02))", &from),
              "(error no_more_player_or_goalie_or_illegal_client_version)");
    EXPECT_EQ(from, s.p.port); // refusals come from the well-known port
    for (int i = 1; i < 11; i++)
        ASSERT_TRUE(initclient(team[i], s.p.port, "(init a (version 6.02))", reply));
    EXPECT_EQ(reply, "(init l 11 before_kick_off)");
    EXPECT_EQ(errorfor(s.p.port, "(init a (version 6.02))"),
              "(error no_more_player_or_goalie_or_illegal_client_version)");
    ASSERT_TRUE(initclient(team[11], s.p.port, "(init b (version 6.02))", reply));
    EXPECT_EQ(reply, "(init r 1 before_kick_off)");
    EXPECT_EQ(errorfor(s.p.port, "(init c (version 6.02))"), "(error no_more_team)");
    EXPECT_EQ(errorfor(s.p.port, "(init b (version 7))"),
              "(error no_more_player_or_goalie_or_illegal_client_version)");
    EXPECT_EQ(errorfor(s.p.port, "(init abcdefghijklmnop (version 6.02))"),
              "(error illegal_teamname_or_too_long_teamname)");
    EXPECT_EQ(errorfor(s.p.port, "(init b@d (version 6.02))"), "(error illegal_teamname)");
    EXPECT_EQ(errorfor(s.p.port, "(init b (version))"), "(error illegal_command_form)");
    EXPECT_EQ(errorfor(s.p.port, "(hello)"), "(error unknown_command)");
    for (Client &c : team)
        closeclient(c);
}

TEST(Connect, MalformedCommandGetsAnErrorFromThePlayersPort) {
    Server s({"--kickoff-after", "0", "--quiet"});
    ASSERT_TRUE(s.started);
    Client c;
    std::string reply, msg;
    ASSERT_TRUE(initclient(c, s.p.port, "(init vorn (version 6.02))", reply));
    sendreply(c, "(dash 100)(jump high)");
    EXPECT_TRUE(waitfor(c, "(error", msg, 3000));
    EXPECT_EQ(msg, std::string("(error illegal_command_form)\0", 29));
    sendreply(c, "(score)");
    EXPECT_TRUE(waitfor(c, "(score", msg, 3000));
    EXPECT_EQ(strip(msg), "(score 0 0 0)");
    closeclient(c);
}

// waitsee: a see of the client that holds every text of want, within 20 sees.
static bool waitsee(Client &c, const std::vector<std::string> &want, std::string &msg) {
    auto holds = [&](const std::string &w) { return msg.find(w) != std::string::npos; };
    for (int i = 0; i < 20; i++)
        if (waitfor(c, "(see ", msg, 3000) && std::all_of(want.begin(), want.end(), holds))
            return true;
    return false;
}

// Two teams of one name: the first eleven on the left, the next on the right as vorn-b.
// Each player sees its own side as vorn and the other as vorn-b; pitch's lines and summary
// name them apart.
TEST(Connect, TwinTeamsPlayUnderOneName) {
    Server s({"--twin-teams", "--kickoff-after", "0", "--quiet"});
    ASSERT_TRUE(s.started);
    std::vector<Client> team(13);
    std::vector<std::string> replies(13);
    for (int i = 0; i < 13; i++) {
        bool goalie = i == 0 || i == 11;
        ASSERT_TRUE(
            initclient(team[i], s.p.port,
                       goalie ? "(init vorn (version 6.02)(goalie))" : "(init vorn (version 6.02))",
                       replies[i]));
    }
    EXPECT_EQ(replies[10], "(init l 11 before_kick_off)");
    EXPECT_EQ(replies[11], "(init r 1 before_kick_off)");
    EXPECT_EQ(replies[12], "(init r 2 before_kick_off)");
    EXPECT_EQ(errorfor(s.p.port, "(init other (version 6.02))"), "(error no_more_team)");
    // In the row outside the touch line, all facing +x: l2 sees l1 and r1 ahead of it; r2,
    // turned about, sees r1 and l1.
    sendreply(team[12], "(turn 180)");
    std::string msg;
    EXPECT_TRUE(waitsee(team[1], {"((p \"vorn\" 1 goalie) 3 ", "((p \"vorn-b\" 1 goalie) 9 "}, msg))
        << msg;
    EXPECT_TRUE(
        waitsee(team[12], {"((p \"vorn\" 1 goalie) 3 ", "((p \"vorn-b\" 1 goalie) 9 "}, msg))
        << msg;
    stoppitch(s.p);
    for (const char *line :
         {"pitch: vorn 11 joined on the left\n", "pitch: vorn-b 1 (goalie) joined on the right\n",
          "score: vorn 0 : 0 vorn-b\n"})
        EXPECT_NE(s.p.text.find(line), std::string::npos) << line << s.p.text;
    for (Client &c : team)
        closeclient(c);
}

// Mean milliseconds between count messages that start with prefix, after the first one, for
// a client connected to a fresh pitch; -1 when fewer arrive.
static double meanperiod(const char *prefix, int count) {
    Server s({"--kickoff-after", "0", "--quiet"});
    Client c;
    std::string reply, msg;
    if (!s.started || !initclient(c, s.p.port, "(init vorn (version 6.02))", reply) ||
        !waitfor(c, prefix, msg, 3000))
        return -1;
    double start = secs();
    int n = 0;
    while (n < count && waitfor(c, prefix, msg, 3000))
        n++;
    closeclient(c);
    return n == count ? (secs() - start) / n * 1000 : -1;
}

TEST(Timing, SenseBodyAboutEveryHundredMilliseconds) {
    double mean = meanperiod("(sense_body", 15);
    EXPECT_GT(mean, 80);
    EXPECT_LT(mean, 125);
}

TEST(Timing, SeeAboutEveryHundredFiftyMilliseconds) {
    double mean = meanperiod("(see", 12);
    EXPECT_GT(mean, 125);
    EXPECT_LT(mean, 185);
}

TEST(Commands, MoveBeforeKickOffShowsInTheNextSee) {
    Server s({"--kickoff-after", "0", "--quiet"});
    ASSERT_TRUE(s.started);
    Client c;
    std::string reply, msg;
    ASSERT_TRUE(initclient(c, s.p.port, "(init vorn (version 6.02))", reply));
    ASSERT_TRUE(waitfor(c, "(see", msg, 3000));
    EXPECT_EQ(msg.find("((f c) 10 0 0 0)"), std::string::npos);
    sendmain(c, "(move -10 0)"); // the well-known port also takes a player's commands
    double sent = secs();
    ASSERT_TRUE(waitfor(c, "(see", msg, 3000));
    if (secs() - sent < 0.003) { // that see may have been on its way already
        ASSERT_TRUE(waitfor(c, "(see", msg, 3000));
    }
    EXPECT_NE(msg.find("((f c) 10 0 0 0)"), std::string::npos) << msg;
    closeclient(c);
}

// readrecord: the lines of the record file.
static std::vector<std::string> readrecord(const std::string &path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line))
        out.push_back(line);
    return out;
}

static std::string tempfile(const char *name) {
    char dir[] = "/tmp/pitchtestXXXXXX";
    if (!mkdtemp(dir))
        return "";
    return std::string(dir) + "/" + name;
}

TEST(Commands, DashMovesByTheFormulaAndTheRecordShowsIt) {
    std::string record = tempfile("match.jsonl");
    ASSERT_FALSE(record.empty());
    Server s({"--no-noise", "--wait-players", "1", "--kickoff-after", "0", "--quiet", "--record",
              record});
    ASSERT_TRUE(s.started);
    Client c;
    std::string reply, msg;
    ASSERT_TRUE(initclient(c, s.p.port, "(init vorn (version 6.02))", reply));
    sendreply(c, "(move -10 0)");
    ASSERT_TRUE(waitfor(c, "(hear 0 referee kick_off_l)", msg, 5000));
    ASSERT_TRUE(waitfor(c, "(sense_body", msg, 3000));
    sendreply(c, "(dash 100)");
    // The dash is carried out at the end of the step it arrives in, which on a busy machine
    // may be a step after the one whose sense_body it answers: the first sense_body that
    // counts it shows what it did.
    bool counted = false;
    for (int i = 0; i < 20 && !counted; i++) {
        ASSERT_TRUE(waitfor(c, "(sense_body", msg, 3000));
        counted = msg.find("(dash 1)") != std::string::npos;
    }
    ASSERT_TRUE(counted) << msg;
    EXPECT_NE(msg.find("(stamina 7945 1) (speed 0.24 0)"), std::string::npos) << msg;
    closeclient(c);
    ASSERT_EQ(stoppitch(s.p), 128 + SIGTERM); // stopped before time over

    std::vector<std::string> lines = readrecord(record);
    int dashcycle = -1, lastcycle = -1;
    bool moved = false, movecmd = false;
    std::set<int> cycles;
    for (const std::string &l : lines) {
        int cyc = -1;
        size_t at = l.find("\"cycle\":");
        if (at != std::string::npos)
            cyc = std::atoi(l.c_str() + at + 8);
        if (l.find("\"type\":\"cycle\"") != std::string::npos) {
            cycles.insert(cyc);
            lastcycle = std::max(lastcycle, cyc);
            if (dashcycle >= 0 && cyc == dashcycle + 1)
                moved = moved || l.find("\"x\":-9.4000,\"y\":0.0000") != std::string::npos;
        }
        if (l.find("\"text\":\"(dash 100)\"") != std::string::npos) {
            EXPECT_NE(l.find("\"outcome\":\"executed\""), std::string::npos) << l;
            dashcycle = cyc;
        }
        if (l.find("\"text\":\"(move -10 0)\"") != std::string::npos)
            movecmd = true;
    }
    EXPECT_TRUE(movecmd);
    ASSERT_GE(dashcycle, 0);
    EXPECT_TRUE(moved) << "no cycle line shows the player at x = -9.4";
    for (int t = 0; t <= lastcycle; t++)
        EXPECT_EQ(cycles.count(t), 1u) << "no line for cycle " << t;
    std::remove(record.c_str());
    rmdir(record.substr(0, record.rfind('/')).c_str());
}

// A command that waits in pitch's socket while pitch is held up (stopped here for 300 ms
// right after a sense_body) is recorded with the time it arrived, not the time pitch read
// it.
TEST(Commands, TheRecordStampsACommandWithItsArrival) {
    std::string record = tempfile("match.jsonl");
    ASSERT_FALSE(record.empty());
    Server s({"--wait-players", "1", "--kickoff-after", "0", "--quiet", "--record", record});
    ASSERT_TRUE(s.started);
    Client c;
    std::string reply, msg;
    ASSERT_TRUE(initclient(c, s.p.port, "(init vorn (version 6.02))", reply));
    ASSERT_TRUE(waitfor(c, "(hear 0 referee kick_off_l)", msg, 5000));
    ASSERT_TRUE(waitfor(c, "(sense_body", msg, 3000));
    kill(s.p.pid, SIGSTOP);
    sendreply(c, "(turn 10)");
    timespec stall{0, 300000000};
    nanosleep(&stall, nullptr);
    kill(s.p.pid, SIGCONT);
    ASSERT_TRUE(waitfor(c, "(sense_body", msg, 3000));
    closeclient(c);
    ASSERT_EQ(stoppitch(s.p), 128 + SIGTERM); // stopped before time over

    std::string turn;
    for (const std::string &l : readrecord(record))
        if (l.find("\"text\":\"(turn 10)\"") != std::string::npos)
            turn = l;
    ASSERT_FALSE(turn.empty());
    size_t ms = turn.find("\"ms\":");
    ASSERT_NE(ms, std::string::npos);
    EXPECT_LT(std::atof(turn.c_str() + ms + 5), 300.0) << turn;
    std::remove(record.c_str());
    rmdir(record.substr(0, record.rfind('/')).c_str());
}

// The numbers of a player's row in the summary's first table (kinds) or second (offsets).
static std::vector<long> summaryrow(const std::string &text, const std::string &label, int table) {
    std::istringstream in(text);
    std::string line, first;
    int seen = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        if (!(words >> first) || first != label || seen++ != table)
            continue;
        std::vector<long> row;
        for (long v; words >> v;)
            row.push_back(v);
        return row;
    }
    return {};
}

TEST(Match, EndsWithTimeOverAndASummary) {
    Server s({"--wait-players", "1", "--kickoff-after", "0", "--step-ms", "10", "--cycles", "20"});
    ASSERT_TRUE(s.started);
    Client c;
    std::string reply, msg;
    ASSERT_TRUE(initclient(c, s.p.port, "(init vorn (version 6.02))", reply));
    EXPECT_TRUE(waitfor(c, "(hear 10 referee half_time)", msg, 5000));
    EXPECT_TRUE(waitfor(c, "(hear 10 referee kick_off_r)", msg, 5000));
    EXPECT_TRUE(waitfor(c, "(hear 20 referee time_up_without_a_team)", msg, 5000));
    EXPECT_TRUE(waitfor(c, "(hear 20 referee time_over)", msg, 5000));
    sendreply(c, "(turn 10)(turn 20)");
    EXPECT_EQ(waitexit(s.p, 5000), 0);
    EXPECT_NE(s.p.text.find("score: vorn 0 : 0 -"), std::string::npos) << s.p.text;
    // Kinds from move to other, the total, the cycles with two or more body commands.
    std::vector<long> kinds = {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1};
    EXPECT_EQ(summaryrow(s.p.text, "l1", 0), kinds) << s.p.text;
    // Before the first sense_body, the twelve 10 ms buckets, the total: they add up.
    std::vector<long> offsets = summaryrow(s.p.text, "l1", 1);
    ASSERT_EQ(offsets.size(), 14u) << s.p.text;
    EXPECT_EQ(std::accumulate(offsets.begin(), offsets.end() - 1, 0L), 2) << s.p.text;
    EXPECT_EQ(offsets.back(), 2) << s.p.text;
    EXPECT_NE(s.p.text.find("step timing:"), std::string::npos) << s.p.text;
    closeclient(c);
}

// Ctrl-C, SIGTERM and a hang-up stop a match early with the summary and 128 plus the
// signal; after time over (ten steps of 50 ms before pitch's own end) it ends as played.
TEST(Match, ASignalStopsItWithTheSummaryOrAfterTimeOverEndsItAsPlayed) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        Server waiting({"--wait-players", "1", "--kickoff-after", "0", "--quiet"}),
            over({"--opponent", "chasers", "--kickoff-after", "1", "--step-ms", "50", "--cycles",
                  "4", "--quiet"});
        ASSERT_TRUE(waiting.started && over.started);
        kill(waiting.p.pid, sig);
        EXPECT_EQ(waitexit(waiting.p, 5000), 128 + sig);
        EXPECT_NE(waiting.p.text.find("pitch: match stopped at cycle 0 of 6000\nscore: "),
                  std::string::npos)
            << waiting.p.text;
        ASSERT_TRUE(waitline(over.p, "pitch: time over at cycle 4", 30000)) << over.p.text;
        kill(over.p.pid, sig);
        EXPECT_EQ(waitexit(over.p, 5000), 0) << over.p.text;
    }
}

// The chasers on either side: the idle client gets the other side, and they score there.
TEST(Match, ChasersScoreAgainstAnIdleTeam) {
    const struct {
        const char *chasers, *init, *goal;
    } cases[] = {{"right", "(init l 1 ", "goal_r_1"}, {"left", "(init r 1 ", "goal_l_1"}};
    for (const auto &k : cases) {
        Server s({"--opponent", "chasers", "--chasers-side", k.chasers, "--wait-players", "1",
                  "--kickoff-after", "0", "--step-ms", "5", "--cycles", "1000", "--quiet"});
        ASSERT_TRUE(s.started);
        Client c;
        std::string reply, msg;
        ASSERT_TRUE(initclient(c, s.p.port, "(init vorn (version 6.02))", reply));
        EXPECT_EQ(reply.rfind(k.init, 0), 0u) << reply;
        EXPECT_TRUE(waitfor(c, "(hear 0 referee kick_off_l)", msg, 5000));
        bool scored = false;
        double end = secs() + 20;
        for (int i = 0; i < 1000 && !scored && secs() < end; i++)
            if (waitfor(c, "(hear ", msg, 2000))
                scored = msg.find(k.goal) != std::string::npos;
        EXPECT_TRUE(scored) << k.chasers;
        closeclient(c);
    }
}

TEST(CommandLine, HelpDescribesEveryOption) {
    FILE *f = popen((pitchpath() + " --help").c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::string text;
    char buf[512];
    while (fgets(buf, sizeof buf, f))
        text += buf;
    EXPECT_EQ(pclose(f), 0);
    for (const char *opt :
         {"--port",         "--bind",          "--step-ms",      "--cycles",
          "--wait-players", "--kickoff-after", "--opponent",     "--chasers-side",
          "--twin-teams",   "--record",        "--game-log",     "--text-log",
          "--no-noise",     "--no-offside",    "--no-back-pass", "--no-free-kick-fault",
          "--player-types", "--seed",          "--quiet",        "--help"})
        EXPECT_NE(text.find(opt), std::string::npos) << opt;
}

TEST(CommandLine, BadOptionsStopWithAClearMessage) {
    std::string bin = pitchpath();
    EXPECT_EQ(WEXITSTATUS(system((bin + " --step-ms 0 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(system((bin + " --frobnicate 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(system((bin + " --opponent robots 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(system((bin + " --chasers-side up 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(system((bin + " --twin-teams --opponent chasers 2>/dev/null").c_str())),
              2);
    EXPECT_EQ(WEXITSTATUS(system((bin + " --twin-b-side left 2>/dev/null").c_str())), 2);
    EXPECT_EQ(WEXITSTATUS(system((bin + " --twin-teams --twin-b-side up 2>/dev/null").c_str())), 2);
}
