// support.h -- helpers for the pitch tests: a running pitch process, a loopback UDP
// client, the transcripts of the real server, and a splitter for see messages.
//
// Every wait here is bounded in time and in count, so a pitch that stops answering makes
// a test fail instead of hang.
#pragma once

#include <netinet/in.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pitchtest {

// PitchProcess: build/bin/pitch started with --port 0 --bind 127.0.0.1 plus args.
struct PitchProcess {
    pid_t pid = -1;
    int out = -1;     // read end of its standard output
    int port = 0;     // the port it printed
    std::string text; // standard output read so far
};

std::string pitchpath(); // the pitch program under test
bool startpitch(PitchProcess &p, const std::vector<std::string> &args);
// stoppitch: SIGTERM, wait (bounded), collect the rest of its output; returns the exit
// status or -1 when it had to be killed.
int stoppitch(PitchProcess &p);

// Server: a pitch that is stopped when the test ends, however it ends.
struct Server {
    PitchProcess p;
    explicit Server(const std::vector<std::string> &args) {
        started = startpitch(p, args);
    }
    ~Server() {
        stoppitch(p);
    }
    bool started = false;
};

// waitexit: wait up to ms for pitch to end by itself; output collected as above.
int waitexit(PitchProcess &p, int ms);
// waitline: read pitch's output until it holds the whole line (its newline added), at most
// ms; whether it came.
bool waitline(PitchProcess &p, const std::string &line, int ms);

// Client: one UDP socket on 127.0.0.1 talking to a pitch.
struct Client {
    int fd = -1;
    sockaddr_in main{};  // pitch's well-known port
    sockaddr_in reply{}; // the port the init reply came from
};

bool openclient(Client &c, int port);
int localport(const Client &c); // the port of the client's own socket
void closeclient(Client &c);
void sendmain(Client &c, const std::string &text);  // to the well-known port
void sendreply(Client &c, const std::string &text); // to the player's own port
// recvmsg: next datagram within ms, raw bytes (NUL included); false on timeout.
bool recvraw(Client &c, std::string &msg, int ms, sockaddr_in *from = nullptr);
// waitfor: the next datagram whose text starts with prefix, within ms (others skipped).
bool waitfor(Client &c, const std::string &prefix, std::string &msg, int ms);
// initclient: open, send init, wait for the reply; the reply text without its NUL.
bool initclient(Client &c, int port, const std::string &init, std::string &reply);

// Datagrams a real server sent (tests/data/transcripts), message texts without NUL.
std::vector<std::string> transcript(const std::string &name);

// See entries: "((f c) 3 0 0 0)" -> name "f c", values {"3","0","0","0"}.
struct Entry {
    std::string name;
    std::vector<std::string> values;
};
std::vector<Entry> seeentries(const std::string &see);
std::string strip(const std::string &msg); // text without the trailing NUL

} // namespace pitchtest
