// server.cpp -- the main loop: steps on absolute deadlines, visual ticks, datagrams.
//
// Deadlines are absolute, so a late step does not shift the ones after it: the loop
// never sleeps "for 100 ms", it sleeps until the next deadline. After a long stall (the
// process was stopped, say) it skips the missed steps instead of racing through them.

#include "pitch/server.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include "pitch/chasers.h"
#include "pitch/command.h"
#include "pitch/connect.h"
#include "pitch/format.h"
#include "pitch/loglines.h"
#include "pitch/monitor.h"
#include "pitch/net.h"
#include "pitch/output.h"
#include "pitch/params.h"
#include "pitch/record.h"
#include "pitch/referee.h"
#include "pitch/step.h"
#include "pitch/vision.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Globals
volatile sig_atomic_t StopRequested = 0; // the signal that asks pitch to stop, 0 for none

int64_t nowus() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

static void drainmain() {
    static char buf[DatagramMax + 1];
    for (int guard = 0; guard < 256; guard++) {
        uint32_t addr = 0;
        uint16_t port = 0;
        int64_t at = 0;
        long n = recvmain(buf, &addr, &port, &at);
        if (n <= 0)
            return;
        int slot = findsender(addr, port);
        if (slot >= 0)
            runcommands(slot, buf, static_cast<size_t>(n), at);
        else if (!monitorcommand(addr, port, buf, static_cast<size_t>(n)))
            handlenew(addr, port, buf, static_cast<size_t>(n));
    }
}

static void drainplayer(int slot) {
    static char buf[DatagramMax + 1];
    for (int guard = 0; guard < 64; guard++) {
        Player &p = Players[slot];
        if (!p.on || p.fd < 0)
            return;
        int64_t at = 0;
        long n = recvreply(p.fd, buf, &at);
        if (n < 0) { // the client is gone
            closereply(slot);
            p.on = false;
            return;
        }
        if (n == 0)
            return;
        runcommands(slot, buf, static_cast<size_t>(n), at);
    }
}

void readdatagrams() {
    drainmain();
    for (int i = 0; i < MaxPlayers; i++)
        drainplayer(i);
    readmonitors();
}

// waituntil: sleep in ppoll until the deadline, handling datagrams as they come.
static void waituntil(int64_t deadline) {
    for (int guard = 0; guard < 100000 && !StopRequested; guard++) {
        int64_t left = deadline - nowus();
        if (left <= 0)
            return;
        pollfd fds[MaxPlayers + 1 + MonitorMax];
        int nfds = 0;
        fds[nfds++] = {MainFd, POLLIN, 0};
        for (const Player &p : Players)
            if (p.on && p.fd >= 0)
                fds[nfds++] = {p.fd, POLLIN, 0};
        nfds += monitorpolls(fds + nfds, MonitorMax);
        timespec ts{static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
        int r = ppoll(fds, static_cast<nfds_t>(nfds), &ts, nullptr);
        if (r > 0)
            readdatagrams();
        else if (r < 0 && errno != EINTR)
            return;
    }
}

void sendsenses() {
    char buf[512];
    for (int i = 0; i < MaxPlayers; i++) {
        Player &p = Players[i];
        if (!p.on || p.robot)
            continue;
        Out o = outof(buf, sizeof buf);
        buildsensebody(i, o);
        p.sensebodyus = nowus();
        sendplayer(i, buf);
    }
}

void visualtick() {
    static char buf[MessageMax];
    for (int i = 0; i < MaxPlayers; i++) {
        Player &p = Players[i];
        if (!p.on || p.robot)
            continue;
        if (++p.ticks < seeticks(p))
            continue;
        p.ticks = 0;
        Out o = outof(buf, sizeof buf);
        buildsee(i, o);
        sendplayer(i, buf);
    }
}

static void dostep() {
    int before = Time;
    readdatagrams(); // what arrived before the deadline still belongs to this cycle
    notestep();
    simstep();
    sendsenses();
    recordstep();
    monitorsstep();
    shownext(); // after every line of the step, the game log's and the monitors'
    // The built-in players decide on what the step's lines show, and their commands count
    // and turn them from now on, as a client's that arrive before the next step.
    if (Opt.chasers)
        chasersact();
    if (!Opt.quiet && Time != before && Time % 100 == 0)
        printprogress(stdout);
    // The runner tells the players to quit on this line, while pitch still listens.
    if (Mode == ModeTimeOver && TimeOverSteps == 0) {
        std::printf("pitch: time over at cycle %d\n", Time);
        std::fflush(stdout);
    }
}

static void onsignal(int signal) {
    StopRequested = signal;
}

void catchstops() {
    struct sigaction sa {};
    sa.sa_handler = onsignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr); // a closed terminal or a group's hang-up: a stop too
}

int runserver() {
    prctl(PR_SET_TIMERSLACK, 1UL); // wake at the deadline, not up to 50 us after it
    const int64_t step = static_cast<int64_t>(Opt.stepms) * 1000;
    const int64_t tick = static_cast<int64_t>(Opt.stepms) * 375; // 3 steps = 8 ticks
    const int64_t start = nowus();
    int64_t nextstep = start + step, nexttick = start + tick;
    while (!StopRequested) {
        waituntil(nextstep < nexttick ? nextstep : nexttick);
        int64_t now = nowus();
        if (now >= nextstep) {
            notelateness(now - nextstep);
            dostep();
            nextstep += step;
            if (now - nextstep > 10 * step) { // stalled: resume from now
                nextstep = now + step;
                nexttick = now + tick;
            }
        }
        if (nowus() >= nexttick) {
            visualtick();
            nexttick += tick;
        }
        if (Mode == ModeTimeOver && TimeOverSteps >= ExitAfterTimeOver)
            break;
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double cpu =
        ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    // A signal before time over stops the match early: said so, with the signal's exit status.
    bool stopped = StopRequested != 0 && Mode != ModeTimeOver;
    monitorsclose(); // the result to the monitors, and their sessions' ends said first
    if (stopped)
        std::printf("pitch: match stopped at cycle %d of %d\n", Time, Opt.cycles);
    else
        std::printf("pitch: match over at cycle %d\n", Time);
    printsummary(stdout, (nowus() - start) / 1e6, cpu);
    recordclose();
    // A record or game log that could not be written was said when it failed; the match
    // went on without it, and the status tells the caller that a file is incomplete.
    if (stopped)
        return 128 + StopRequested;
    return writesfailed() ? 1 : 0;
}

} // namespace vorn::pitch
