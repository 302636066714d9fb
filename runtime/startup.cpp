// Start-up: the programs' entry, the start values and buffers of the agent, and the small
// services that everything uses (the trace hook, lower-casing, allocation).

#include "runtime/runtime.h"

#include "actions/builders.h"
#include "actions/queue.h"
#include "perception/lines.h"
#include "perception/parser.h"
#include "perception/players.h"
#include "perception/referee.h"
#include "placement/placement.h"
#include "player/skills.h"
#include "runtime/program.h"

#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <type_traits>

namespace vorn {

// Globals
Connection SockSer = {-1, {}};
double Kickable_area = 0;
timespec *Rec_time = nullptr;
timespec *SenseRec_time = nullptr;
timespec *Now_time = nullptr;
int TimeSlot = 0;
int BodySent = 0;
const char *TeamName = "vorn";
char *messtosend = nullptr;
char *bufin = nullptr;

// Spacer blocks of mymalloc are kept for ever; holding them here keeps them reachable.
static void *spacers[128];
static int nspacers = 0;

// Allocates a zeroed block once; later calls keep the block and clear it (an array of
// pointers keeps its pointers), so that initvar can put the agent back to its start state
// as often as tests need without leaking.
template <typename T> static void allocate(T *&block, size_t count) {
    if (block == nullptr) {
        block = static_cast<T *>(calloc(count, sizeof(T)));
        if (block == nullptr)
            errorf("Out of memory in initvar\n");
    } else if constexpr (!std::is_pointer_v<T>) {
        memset(static_cast<void *>(block), 0, count * sizeof(T));
    }
}

void initvar() {
    Kickable_area = 1.085;
    TimeSlot = 0;
    Turn = 0;
    AgentSide = 0;
    AgentNumber = 0;
    Eventside = 'u';
    Eventturn = 0;
    allocate(Rec_time, 1);
    allocate(SenseRec_time, 1);
    allocate(Now_time, 1);
    allocate(List, ListSize);
    for (int i = 0; i < ListSize; i++)
        allocate(List[i], SlotTextSize);
    ListPek = 0;
    ListEnd = 0;
    BodySent = 0;
    TopAngle = 0;
    GuessBall = 0;
    ForceMove = 0;
    initdecisions();
    allocate(Event, BufSize);
    allocate(Eventtype, EventtypeSize);
    allocate(ViewQuality, BufSize);
    allocate(ViewWidth, BufSize);
    allocate(awaymess, SlotTextSize);
    allocate(messtosend, CommandSize);
    allocate(didgit, DigitSize);
    allocate(bufin, BufSize);
    allocate(out, 2);
    allocate(out[0], BufSize);
    allocate(out[1], BufSize);
    allocate(pteamname, BufSize);
    allocate(dump, BufSize);
    allocate(dump2, BufSize);
    allocate(dump3, BufSize);
    allocate(com, BufSize);
}

void initteamname() {
    snprintf(messtosend, CommandSize, "%s", InitCommand);
    TeamName = "vorn";
    if (sendmess(messtosend) == -1)
        errorf("In initteamname\n");
    logf("Initteamname\n");
}

void logf(const char *) {}

char *strlwr(char *text) {
    for (char *c = text; *c != '\0'; c++)
        *c = static_cast<char>(tolower(static_cast<unsigned char>(*c)));
    return text;
}

// Returns a block of size bytes. When the first block is not aligned to a multiple of size, a
// spacer of the missing bytes is allocated and kept, in the hope that the next block lands on
// such a multiple; the second block is returned whatever its address.
void *mymalloc(int size) {
    logf("mymalloc\n");
    if (size <= 0)
        errorf("mymalloc of nothing\n");
    void *block = malloc(size);
    if (block == nullptr)
        errorf("Out of memory in mymalloc\n");
    uintptr_t misalign = reinterpret_cast<uintptr_t>(block) % size;
    if (misalign == 0)
        return block;
    free(block);
    void *spacer = malloc(size - misalign);
    if (nspacers < static_cast<int>(sizeof spacers / sizeof spacers[0]))
        spacers[nspacers++] = spacer;
    else
        free(spacer); // enough spacers kept; this one only keeps the heap as it was
    block = malloc(size);
    if (block == nullptr)
        errorf("Out of memory in mymalloc\n");
    return block;
}

void agentmain(int argc, char **argv) {
    // A closed standard output must not end the player through SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    // The sleeps that end send slots 1 and 2 are timed to the microsecond; the kernel's
    // default slack of 50 us would add itself to every one of them.
    prctl(PR_SET_TIMERSLACK, 1UL);
    openlogfile();
    logf("File Created\n");
    const char *host = DefaultHost;
    int port = DefaultPort;
    if (argc == 3) {
        host = argv[1];
        port = portfromtext(argv[2]);
    } else if (argc == 2) {
        host = argv[1];
    }
    initserconnection(host, port);
    if (SockSer.socketfd == -1)
        errorf("Main Sock.socketfd==-1\n");
    initvar();
    mainloop(fileno(stdin));
}

} // namespace vorn
