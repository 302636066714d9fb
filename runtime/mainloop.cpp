// The receive loop: one poll at a time over standard input and the server socket. Datagrams
// go lower-cased to the parser; after a "see" the decision maker runs unless the play mode
// holds it back; after a "sense_body" a new cycle of send slots begins; whenever a poll finds
// nothing, the send-slot scheduler serves the queue. Once the server has answered, a server
// silent for SilenceMicros is taken for gone and the agent ends, as on "quit".
//
// Silence is what the socket showed: the time between looks at it that found nothing from
// the server, each gap counted up to a step. The limit is checked before a poll, against the
// silence counted at the latest look, so a datagram that arrived while the agent was stopped
// (a debugger, SIGSTOP, a stalled machine) is read before any verdict, and the agent plays on.

#include "runtime/runtime.h"

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "perception/referee.h"
#include "runtime/program.h"
#include "runtime/slots.h"
#include "runtime/stdinlines.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vorn {

static fd_set watched;     // standard input (while it has not ended) and the socket
static int maxfd = 0;      // highest watched descriptor plus one
static int inputfd = -1;   // standard input; -1 once it has ended or when it is not usable
static char line[BufSize]; // the latest standard-input line or datagram
static bool heard = false; // a datagram has come from the server
static long silent = 0;    // microseconds of silence counted since the server's latest datagram
static timespec lastlook;  // CLOCK_MONOTONIC at the latest look at the socket

long silenceleft(long silentmicros) {
    return silentmicros >= SilenceMicros ? 0 : SilenceMicros - silentmicros;
}

long silenceafter(long silentmicros, long gapmicros) {
    long gap = gapmicros < 0 ? 0 : gapmicros > SilenceStepMicros ? SilenceStepMicros : gapmicros;
    return silentmicros + gap;
}

long silencewait(long silentmicros) {
    long left = silenceleft(silentmicros);
    return left < SilenceStepMicros ? left : SilenceStepMicros;
}

// The microseconds since the previous look at the socket; this is the latest look now.
static long look() {
    timespec now;
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        errorf("\nClock failed Look_time\n");
    long gap = (now.tv_sec - lastlook.tv_sec) * 1000000L + (now.tv_nsec - lastlook.tv_nsec) / 1000;
    lastlook = now;
    return gap;
}

void initpoll(int infd) {
    heard = false;
    silent = 0;
    look();
    FD_ZERO(&watched);
    FD_SET(SockSer.socketfd, &watched);
    maxfd = SockSer.socketfd + 1;
    // Standard input is watched only when it is open and is not the socket itself (with
    // descriptor 0 closed at start, the socket takes its number).
    inputfd = -1;
    if (infd >= 0 && infd != SockSer.socketfd && infd < FD_SETSIZE) {
        inputfd = infd;
        FD_SET(infd, &watched);
        if (infd + 1 > maxfd)
            maxfd = infd + 1;
    }
}

static void unwatchinput() {
    FD_CLR(inputfd, &watched);
    inputfd = -1;
    maxfd = SockSer.socketfd + 1;
}

void printrecords() {
    if (Ball == nullptr) {
        printf("No ball or player records yet: the server has not answered the init command\n");
        return;
    }
    printf("Ball turn:%d distance:%f direction:%d\n", Ball->time, Ball->distance, Ball->direction);
    for (int i = 0; i < TeamSize; i++)
        printf("Teamplayer %d turn:%d distance:%f direction:%d\n", i + 1, TeamPlayer[i]->time,
               TeamPlayer[i]->distance, TeamPlayer[i]->direction);
    for (int i = 0; i < TeamSize; i++)
        printf("Oppplayer %d turn:%d distance:%f direction:%d\n", i + 1, OppPlayer[i]->time,
               OppPlayer[i]->distance, OppPlayer[i]->direction);
}

const char TextSilence[] = "No message from the server for 10 s: stopping\n";

void quitagent() {
    closelogfile();
    close(SockSer.socketfd);
    exit(0);
}

// One standard-input line: "quit" ends the agent, "pl" prints the records.
static int handleinput() {
    int got = readline(inputfd, line);
    if (got < 0) {
        unwatchinput(); // end of input: the agent plays on, serving only the socket
        return 3;
    }
    if (got == 0)
        return 3; // an unfinished line; the rest comes later
    if (strcmp(line, "quit\n") == 0)
        quitagent();
    if (strcmp(line, "pl\n") == 0) {
        printrecords();
        return 3;
    }
    logf("Unknown user command\n");
    return 3;
}

// One datagram from the server's address: lower-cased into bufin and parsed. The reply port
// follows the sender, so that commands go to the port the server answers from.
static int handledatagram() {
    logf(TextReceive);
    sockaddr_in sender;
    socklen_t senderlength = sizeof sender;
    ssize_t n = recvfrom(SockSer.socketfd, line, BufSize - 1, 0,
                         reinterpret_cast<sockaddr *>(&sender), &senderlength);
    if (n < 0) {
        line[0] = '\0';
        return 3;
    }
    if (senderlength < sizeof sender || sender.sin_family != AF_INET ||
        sender.sin_addr.s_addr != SockSer.servaddr.sin_addr.s_addr)
        return 3; // not from the server: ignored entirely
    line[n] = '\0';
    heard = true;
    silent = 0;
    // An error before the init reply is the server's refusal of the player (a full team, a
    // third team name, a wrong version): nothing will follow it.
    if (Ball == nullptr && strncmp(line, "(error", 6) == 0) {
        printf("The server refused the player: %.200s\n", line);
        quitagent();
    }
    memcpy(bufin, line, n + 1);
    strlwr(bufin);
    SockSer.servaddr.sin_port = sender.sin_port;
    return recvmess(bufin);
}

// No decisions before kick-off, nor while the play mode is the one after a goal; and none
// before the init reply has built the records to decide on.
bool decisionsheld() {
    return Ball == nullptr || strcmp(Event, "before_kick_off") == 0 ||
           strcmp(Eventtype, GoalHoldType) == 0;
}

int getfromserver() {
    logf("getfromserver \n");
    bool inputready = inputfd >= 0 && linepending();
    // The console trace leaves before every wait, in one write however many lines it holds,
    // so a pipe or a file sees it as promptly as a terminal does.
    fflush(stdout);
    if (!inputready) {
        fd_set ready = watched;
        if (heard && silenceleft(silent) == 0) {
            fputs(TextSilence, stdout);
            quitagent();
        }
        // While a send slot is pending the poll waits only until it is due, so that the
        // scheduler serves it on time; otherwise it waits for input, once the server has
        // answered a step at most, before it as long as it takes.
        long wait = -1;
        if (slotpending()) {
            timespec now;
            if (clock_gettime(CLOCK_REALTIME, &now) != 0)
                errorf("\nClock failed Now_time\n");
            wait = polltimeout(elapsedmicros(now.tv_nsec, SenseRec_time->tv_nsec));
        }
        if (heard) {
            long most = silencewait(silent);
            if (wait < 0 || most < wait)
                wait = most;
        }
        timeval timeout = {wait / 1000000, wait % 1000000};
        int n = select(maxfd, &ready, nullptr, nullptr, wait >= 0 ? &timeout : nullptr);
        if (n < 0 && errno != EINTR)
            errorf("Select gfs");
        // Counted before anything is read: the datagram that ends the silence resets it.
        silent = silenceafter(silent, look());
        if (n <= 0)
            return 0;
        inputready = inputfd >= 0 && FD_ISSET(inputfd, &ready);
    }
    if (clock_gettime(CLOCK_REALTIME, Rec_time) != 0)
        errorf("\nClock failed Rec_time\n");
    if (inputready)
        return handleinput();
    return handledatagram();
}

void react(int result) {
    if (result == 2) {
        TimeSlot = 1;
        BodySent = 0;
        SenseRec_time->tv_nsec = Rec_time->tv_nsec;
    }
    if (result == 1 && !decisionsheld())
        decisionmaker();
}

void mainloop(int infd) {
    resetlines();
    initpoll(infd);
    initteamname();
    for (;;) {
        int r = getfromserver();
        logf("mainloop\n");
        react(r);
        if (r != 0)
            continue;
        if (clock_gettime(CLOCK_REALTIME, Now_time) != 0)
            errorf("\nClock failed Now_time\n");
        long sleep = serveslot(elapsedmicros(Now_time->tv_nsec, SenseRec_time->tv_nsec));
        if (sleep > 0)
            usleep(sleep);
    }
}

} // namespace vorn
