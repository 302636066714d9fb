// monitor.cpp -- monitors: viewers that watch the match live over UDP.
//
// The stream is a policy of its own: every step from the first to the last, before the
// kick-off and after time over too, whatever the game log keeps. Its lines come from
// loglines.cpp, so a monitor reads what the game log holds. A show line is formatted once
// per step and the same bytes go to every monitor; each session remembers the play mode and
// the teams it was last sent, so one that joins late gets both lines at its first step.
//
// pitch says on standard output when a session starts and ends, and why a request was
// refused:
//   pitch: monitor 1 (version 5) watching from 127.0.0.1:40123
//   pitch: monitor 1 left (dispbye)
//   pitch: monitor at 127.0.0.1:40125 refused: version 3 (pitch serves versions 4 and 5)

#include "pitch/monitor.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pitch/format.h"
#include "pitch/loglines.h"
#include "pitch/net.h"
#include "pitch/referee.h"
#include "pitch/types.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Monitor: one session. Slots are reused; id counts sessions since start, for the output.
struct Monitor {
    bool on;
    int id;
    int fd;        // the session's own socket, connected to the monitor
    uint32_t addr; // network order
    uint16_t port; // network order
    int form;      // ShowMonitor4 or ShowMonitor5
    char mode[40]; // the play mode of the last playmode line sent, "" for none yet
    char teams[2][TeamNameMax + 1];
    int score[2];
    bool teamsent;
};

static const char RefusedVersion[] = "(error illegal_client_version)";
static const char RefusedFull[] = "(error no_more_monitor)";

// Globals
static Monitor Monitors[MonitorMax];
static int Sessions;      // sessions started since pitch started
static char Show[16384];  // this step's show line (about 3 KB)
static char Other[16384]; // the line being sent otherwise (server_param is about 5 KB)

static void endpoint(char *buf, size_t cap, uint32_t addr, uint16_t port) {
    in_addr a{};
    a.s_addr = addr;
    char ip[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &a, ip, sizeof ip);
    std::snprintf(buf, cap, "%s:%u", ip, static_cast<unsigned>(ntohs(port)));
}

static void say(const char *text) {
    std::printf("pitch: %s\n", text);
    std::fflush(stdout);
}

static void endsession(Monitor &m, const char *why) {
    if (!m.on)
        return;
    closesocket(m.fd);
    m.on = false;
    m.fd = -1;
    char text[80];
    std::snprintf(text, sizeof text, "monitor %d left (%s)", m.id, why);
    say(text);
}

// sendline: one line to the monitor; a monitor whose address has gone is forgotten.
static void sendline(Monitor &m, const char *text) {
    if (m.on && sendsocket(m.fd, text) < 0)
        endsession(m, "gone");
}

// sendheader: the parameter lines, each in a datagram of its own.
static void sendheader(Monitor &m) {
    Out o = outof(Other, sizeof Other);
    putserverparam(o);
    sendline(m, Other);
    o = outof(Other, sizeof Other);
    putplayerparam(o);
    sendline(m, Other);
    for (int id = 0; id < PlayerTypeCount && m.on; id++) {
        o = outof(Other, sizeof Other);
        putplayertype(o, id);
        sendline(m, Other);
    }
}

bool isdispinit(const char *text) {
    return !std::strncmp(text, "(dispinit", 9) && (text[9] == ')' || text[9] == ' ');
}

// version: the version the request names: 1 for a bare "(dispinit)", 0 when unreadable.
static double version(const char *text) {
    if (!std::strcmp(text, "(dispinit)"))
        return 1;
    double v = 0;
    int used = 0;
    if (std::sscanf(text, "(dispinit version %lf )%n", &v, &used) == 1 && used > 0 &&
        text[used] == '\0')
        return v;
    return 0;
}

void handledispinit(uint32_t addr, uint16_t port, const char *text) {
    char where[32], line[160];
    endpoint(where, sizeof where, addr, port);
    double v = version(text);
    if (v != 4 && v != 5) {
        sendfrommain(addr, port, RefusedVersion);
        if (v == 0)
            std::snprintf(line, sizeof line,
                          "monitor at %s refused: \"%.40s\" names no version (pitch serves "
                          "\"(dispinit version 4)\" and 5)",
                          where, text);
        else if (v < 0)
            std::snprintf(line, sizeof line,
                          "monitor at %s refused: JSON (version %g; pitch serves versions 4 "
                          "and 5, text)",
                          where, v);
        else
            std::snprintf(line, sizeof line,
                          "monitor at %s refused: version %g (pitch serves versions 4 and 5)",
                          where, v);
        say(line);
        return;
    }
    Monitor *m = nullptr;
    for (Monitor &c : Monitors) {
        if (c.on && c.addr == addr && c.port == port)
            return; // asked twice: the session it has goes on
        if (!c.on && !m)
            m = &c;
    }
    if (!m) {
        sendfrommain(addr, port, RefusedFull);
        std::snprintf(line, sizeof line, "monitor at %s refused: %d monitors are watching already",
                      where, MonitorMax);
        say(line);
        return;
    }
    int fd = openreply(addr, port);
    if (fd < 0) {
        sendfrommain(addr, port, "(error connection_failed)");
        std::snprintf(line, sizeof line, "monitor at %s refused: no socket for it", where);
        say(line);
        return;
    }
    *m = Monitor{};
    m->on = true;
    m->id = ++Sessions;
    m->fd = fd;
    m->addr = addr;
    m->port = port;
    m->form = v == 4 ? ShowMonitor4 : ShowMonitor5;
    std::snprintf(line, sizeof line, "monitor %d (version %g) watching from %s", m->id, v, where);
    say(line);
    sendheader(*m);
}

// command: what a monitor sent. (dispstart) kicks off while pitch waits for a kick-off;
// the commands for a human referee are ignored; anything else gets an error message.
static void command(Monitor &m, const char *text, size_t len) {
    char s[DatagramMax + 1];
    size_t n = len < DatagramMax ? len : DatagramMax;
    std::memcpy(s, text, n);
    s[n] = '\0';
    n = std::strlen(s);
    while (n > 0 && (s[n - 1] == '\n' || s[n - 1] == '\r' || s[n - 1] == ' '))
        s[--n] = '\0';
    static const char *const Ignored[] = {"(dispfoul", "(dispplayer",  "(dispdiscard",
                                          "(dispcard", "(compression", "(dispinit"};
    if (!std::strcmp(s, "(dispbye)")) {
        endsession(m, "dispbye");
        return;
    }
    if (!std::strcmp(s, "(dispstart)")) {
        if (Mode == ModeBeforeKickOff)
            startkickoff(KickOffSide);
        return;
    }
    for (const char *word : Ignored)
        if (!std::strncmp(s, word, std::strlen(word)))
            return;
    char reply[80];
    std::snprintf(reply, sizeof reply, "(msg %d 1 \"(error illegal_command_form)\")", Time);
    sendline(m, reply);
}

bool monitorcommand(uint32_t addr, uint16_t port, const char *text, size_t len) {
    for (Monitor &m : Monitors) {
        if (m.on && m.addr == addr && m.port == port) {
            command(m, text, len);
            return true;
        }
    }
    return false;
}

void readmonitors() {
    static char buf[DatagramMax + 1];
    for (Monitor &m : Monitors) {
        for (int guard = 0; guard < 16 && m.on; guard++) {
            int64_t at = 0;
            long n = recvreply(m.fd, buf, &at);
            if (n < 0)
                endsession(m, "gone");
            if (n <= 0)
                break;
            command(m, buf, static_cast<size_t>(n));
        }
    }
}

int monitorpolls(pollfd *fds, int room) {
    int n = 0;
    for (const Monitor &m : Monitors)
        if (m.on && n < room)
            fds[n++] = {m.fd, POLLIN, 0};
    return n;
}

// sendchanges: the playmode and team lines the monitor has not had yet.
static void sendchanges(Monitor &m, const char *mode) {
    if (std::strcmp(mode, m.mode) != 0) {
        Out o = outof(Other, sizeof Other);
        putplaymode(o);
        sendline(m, Other);
        std::snprintf(m.mode, sizeof m.mode, "%s", mode);
    }
    if (!m.teamsent || std::strcmp(m.teams[0], TeamName[0]) != 0 ||
        std::strcmp(m.teams[1], TeamName[1]) != 0 || m.score[0] != Score[0] ||
        m.score[1] != Score[1]) {
        Out o = outof(Other, sizeof Other);
        putteam(o);
        sendline(m, Other);
        std::memcpy(m.teams, TeamName, sizeof m.teams);
        m.score[0] = Score[0];
        m.score[1] = Score[1];
        m.teamsent = true;
    }
}

void monitorsstep() {
    if (monitorcount() == 0)
        return;
    char mode[40];
    modeword(mode, sizeof mode, Mode, ModeSide);
    static const int Forms[] = {ShowMonitor4, ShowMonitor5};
    for (int form : Forms) {
        bool formatted = false;
        for (Monitor &m : Monitors) {
            if (!m.on || m.form != form)
                continue;
            if (!formatted) {
                Out o = outof(Show, sizeof Show);
                putshow(o, form);
                formatted = true;
            }
            sendchanges(m, mode);
            sendline(m, Show);
        }
    }
}

void monitorsclose() {
    Out o = outof(Other, sizeof Other);
    putresult(o);
    bool over = Mode == ModeTimeOver;
    for (Monitor &m : Monitors) {
        if (m.on && over)
            sendline(m, Other);
        endsession(m, over ? "the match is over" : "pitch stopped");
    }
}

void monitorsforget() {
    for (Monitor &m : Monitors) {
        if (m.on)
            closesocket(m.fd);
        m = Monitor{};
        m.fd = -1;
    }
    Sessions = 0;
}

int monitorcount() {
    int n = 0;
    for (const Monitor &m : Monitors)
        n += m.on ? 1 : 0;
    return n;
}

} // namespace vorn::pitch
