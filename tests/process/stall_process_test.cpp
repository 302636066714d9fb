// A player that was stopped for longer than the silence limit (SIGSTOP, then SIGCONT: a
// debugger's break, a stalled machine) while its server went on sending: what waited in its
// socket counts as heard, and it plays on.

#include "tests/support/served.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>

using namespace vorntest;

namespace {

// One cycle of a server that sees nothing: every "see" without the ball has either program
// turn to look for it, so commands go on leaving as long as the player plays.
void cycle(ServedAgent &agent, int time) {
    std::string t = std::to_string(time);
    agent.send("(sense_body " + t +
               " (view_mode high normal) (stamina 3500 1) (speed 0 0) (head_angle 0) (kick 0) "
               "(dash 0) (turn 0) (say 0) (turn_neck 0))");
    agent.send("(see " + t + ")");
}

// Commands the player sent at or after the given time.
int sentsince(const ServedAgent &agent, double since) {
    int n = 0;
    for (const Datagram &d : agent.received)
        n += d.at >= since;
    return n;
}

} // namespace

// Both programs at once, so that the stall costs its 11 s only once.
TEST(Stall, StoppedLongerThanTheSilenceLimitPlaysOn) {
    ServedAgent agents[2];
    const char *programs[2] = {"Vorn", "Vorng"};
    for (int i = 0; i < 2; i++) {
        ASSERT_TRUE(agents[i].start(programs[i])) << programs[i];
        agents[i].send("(init l " + std::to_string(i == 0 ? 9 : 1) + " play_on)");
    }
    int time = 1;
    auto play = [&](double seconds) {
        for (double end = now() + seconds; now() < end; time++)
            for (ServedAgent &a : agents) {
                cycle(a, time);
                a.listen(0.05);
            }
    };
    play(1);
    for (ServedAgent &a : agents)
        ASSERT_EQ(kill(a.child->pid(), SIGSTOP), 0);
    play(11); // the server goes on: its datagrams wait in the stopped players' sockets
    double resumed = now();
    for (ServedAgent &a : agents)
        ASSERT_EQ(kill(a.child->pid(), SIGCONT), 0);
    play(2);
    const std::string silence = "No message from the server for 10 s: stopping";
    for (int i = 0; i < 2; i++) {
        ServedAgent &a = agents[i];
        EXPECT_TRUE(a.child->running()) << programs[i];
        EXPECT_GT(sentsince(a, resumed), 0) << programs[i] << " sent nothing after SIGCONT";
        EXPECT_EQ(a.child->output().find(silence), std::string::npos) << programs[i];
        a.child->write("quit\n");
        EXPECT_EQ(a.child->wait(10), 0) << programs[i];
    }
}
