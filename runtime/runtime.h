// Agent runtime: start-up, the connection to the server, the log file, and the receive loop
// that feeds the parser, runs the decision maker and serves the send slots.
// Both programs share all of it; what differs is declared in runtime/program.h.
#pragma once

#include <cstddef>
#include <netinet/in.h>
#include <time.h>

namespace vorn {

constexpr int BufSize = 2048;     // every text buffer of the agent, terminator included
constexpr int CommandSize = 60;   // messtosend and tempc: one command text
constexpr int DefaultPort = 6000; // the server's port when none is given
constexpr const char *DefaultHost = "localhost";

// The server connection.
struct Connection {
    int socketfd;         // the UDP socket; -1 while there is no usable socket
    sockaddr_in servaddr; // where commands go; the port follows the server's replies
};

// Globals
extern Connection SockSer;      // the one server connection
extern double Kickable_area;    // metres: the ball is kickable within this distance
extern timespec *Rec_time;      // clock reading when select last reported input
extern timespec *SenseRec_time; // cycle start: only tv_nsec is used (copied from Rec_time)
extern timespec *Now_time;      // clock reading at the latest idle poll
extern int TimeSlot;            // 0 before the first cycle, 1-3 next slot to serve, 4 all served
extern int BodySent;            // 1 once a body command has left in the current cycle
extern const char *TeamName;    // "vorn"
extern char *messtosend;        // CommandSize bytes: the command under construction
extern char *bufin;             // BufSize bytes: lower-cased copy of the latest datagram

// startup.cpp -- entry, start values, small services
[[noreturn]] void agentmain(int argc, char **argv); // the programs' main
void initvar();                                     // allocate buffers (once), set start values
void initteamname();                                // send this program's init command
void logf(const char *text);                        // trace hook: discards its text
char *strlwr(char *text);                           // lower-case in place, returns text
void *mymalloc(int size);                           // a block of size bytes, or errorf

// fatal.cpp -- the fatal exit and the line it says on standard error
constexpr int FatalLineSize = 512; // the line, its newline and terminator included
// Closes the log, says the cause on standard error (one line naming the program) and exits
// with status 0.
[[noreturn]] void errorf(const char *message);
// The line errorf says for its message, error being errno at the failure; returns what
// snprintf returns.
int fatalline(char *line, size_t size, const char *message, int error);

// connection.cpp -- resolve the host, open and bind the non-blocking UDP socket
constexpr int ConnectFailureSize = 300;
extern char ConnectFailure[]; // ConnectFailureSize: why socketfd stayed -1, in a user's words
void initserconnection(const char *host, int port); // socketfd stays -1 on any failure
int portfromtext(const char *text);                 // atoi-like; the low 16 bits of the number

// logfile.cpp -- Vorne.log in the working directory; runs on without it if it cannot be made
void openlogfile();
void writelog(const char *text);
void closelogfile();

// mainloop.cpp -- the receive loop
constexpr long SilenceMicros = 10000000;    // silence after which the server is taken for gone
constexpr long SilenceStepMicros = 1000000; // the most one gap between two looks counts for
extern const char TextSilence[];            // printed when the agent ends on that silence
long silenceleft(long silentmicros);        // microseconds left before the limit, 0 at or past it
// The silence counted after one more gap between two looks at the socket that found nothing
// from the server: the gap counts up to SilenceStepMicros. A longer gap means the agent itself
// did not run (stopped, a stalled machine): what the server sent meanwhile waits in the
// socket and is read at the next look, so the time is no silence of the server's.
long silenceafter(long silentmicros, long gapmicros);
// The longest the next poll may wait for input, once the server has answered: until the limit,
// and never longer than a step, so that every wait counts whole.
long silencewait(long silentmicros);
[[noreturn]] void mainloop(int infd);
[[noreturn]] void quitagent(); // close the log and the socket, exit with status 0
void initpoll(int infd);       // watch infd (-1: none) and the socket; nothing heard yet
int getfromserver();           // 0 idle, 1 see, 2 sense_body, 3 anything else
void react(int result);        // a new cycle after sense_body, decisions after see
void printrecords();           // the "pl" command
bool decisionsheld();          // the play mode holds the decision maker back

} // namespace vorn
