// Fatal errors. errorf ends the process with status 0, as every ending of a player does, and
// says why on standard error, in one line that names the program and the cause, so that a
// failure is never taken for a normal end. Standard output, the console trace, gets nothing
// from it: what a caller reads there stays as it was.

#include "runtime/runtime.h"

#include "runtime/program.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vorn {

// How the cause of each fatal error is told.
enum FatalKind {
    FatalConnect, // the connection's own words (ConnectFailure)
    FatalSystem,  // the words, then the system's text of the error
    FatalSend,    // the words, the server's address and port, the system's text of the error
    FatalPlain,   // the words alone
};

struct FatalText {
    const char *message; // what errorf is given
    FatalKind kind;
    const char *says; // what the user reads
};

// clang-format off
static const FatalText FatalTexts[] = {
    // message                            kind          says
    {"Main Sock.socketfd==-1\n",          FatalConnect, ""},
    {"Select gfs",                        FatalSystem,  "cannot wait for the server or standard input"},
    {"\nClock failed Rec_time\n",         FatalSystem,  "cannot read the clock"},
    {"\nClock failed Now_time\n",         FatalSystem,  "cannot read the clock"},
    {"\nClock failed Look_time\n",        FatalSystem,  "cannot read the clock"},
    {"In initteamname\n",                 FatalSend,    "cannot send the init command to the server"},
    {"Error in sending\n",                FatalSend,    "cannot send to the server"},
    {"error in sending sendmess_list\n",  FatalSend,    "cannot send to the server"},
    {"Out of memory in initvar\n",        FatalPlain,   "out of memory"},
    {"Out of memory in mymalloc\n",       FatalPlain,   "out of memory"},
    {"mymalloc of nothing\n",             FatalPlain,   "an allocation of no bytes"},
};
// clang-format on

// A message that no row names is told as it stands, on one line, cut to its first 200 bytes.
static int plainmessage(char *line, size_t size, const char *message) {
    char text[201];
    int n = 0;
    for (const char *c = message; *c != '\0' && n < 200; c++)
        if (*c != '\n' && *c != '*')
            text[n++] = static_cast<unsigned char>(*c) < ' ' ? ' ' : *c;
    text[n] = '\0';
    return snprintf(line, size, "%s: %s\n", ProgramName, text);
}

int fatalline(char *line, size_t size, const char *message, int error) {
    const FatalText *row = nullptr;
    for (const FatalText &t : FatalTexts)
        if (strcmp(t.message, message) == 0)
            row = &t;
    if (row == nullptr)
        return plainmessage(line, size, message);
    const char *reason = error != 0 ? strerror(error) : "unknown error";
    switch (row->kind) {
    case FatalConnect:
        return snprintf(line, size, "%s: %s\n", ProgramName, ConnectFailure);
    case FatalSystem:
        return snprintf(line, size, "%s: %s: %s\n", ProgramName, row->says, reason);
    case FatalSend:
        return snprintf(line, size, "%s: %s at %s:%d: %s\n", ProgramName, row->says,
                        inet_ntoa(SockSer.servaddr.sin_addr), ntohs(SockSer.servaddr.sin_port),
                        reason);
    case FatalPlain:
        break;
    }
    return snprintf(line, size, "%s: %s\n", ProgramName, row->says);
}

void errorf(const char *message) {
    int error = errno; // before anything below can change it
    logf("\n\n***************ERROR***************\n");
    logf(message);
    logf("***************ERROR***************\n\n");
    closelogfile();
    char line[FatalLineSize];
    fatalline(line, sizeof line, message, error);
    // The trace leaves first, so that where both streams go to one file the cause is last.
    fflush(stdout);
    fputs(line, stderr);
    exit(0);
}

} // namespace vorn
