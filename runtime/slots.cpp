// The send-slot table and its scheduler.

#include "runtime/slots.h"

#include "actions/queue.h"
#include "runtime/runtime.h"

#include <cstring>

namespace vorn {

struct SendSlot {
    long start;         // the slot is due this many microseconds into the cycle
    long deadline;      // on time while elapsed is at most this many microseconds
    long next;          // the next slot begins this many microseconds into the cycle (0: none)
    const char *missed; // the log line when the slot is reached too late
};

// ORDER: TimeSlot 1, 2, 3.
// clang-format off
static const SendSlot Slots[] = {
    //  start  deadline  next   missed
    {       0,   33332, 33333, "Missed slot 1\n"},
    {   33333,   66665, 66666, "Missed slot 2\n"},
    {   66666,   99998,     0, "Missed slot 3\n"},
};
// clang-format on

long elapsedmicros(long nownsec, long startnsec) {
    long elapsed = nownsec / 1000 - startnsec / 1000;
    if (elapsed < 0)
        elapsed += 1000000;
    return elapsed;
}

// Body commands: the server carries out one of them per cycle and ignores later ones.
static bool bodycommand(const char *text) {
    static const char *const words[] = {"(move", "(turn", "(dash", "(kick", "(catch"};
    for (const char *word : words) {
        size_t n = strlen(word);
        if (strncmp(text, word, n) == 0 && (text[n] == ' ' || text[n] == ')'))
            return true;
    }
    return false;
}

// Commands queued behind others can come to stand in the same cycle as a body command sent
// before them; the server would ignore such a second one in silence (and a turn lost so
// would leave the stored picture turned by an angle the body never turned). It waits in the
// queue instead, for a slot of the next cycle; the slot sends nothing.
static void serveentry() {
    const char *entry = pendingentry();
    bool body = entry != nullptr && bodycommand(entry);
    if (body && BodySent) {
        logf("body command held for the next cycle\n");
        return;
    }
    sendmess_list();
    if (body)
        BodySent = 1;
}

long polltimeout(long elapsed) {
    if (!slotpending())
        return -1;
    long wait = Slots[TimeSlot - 1].start - elapsed;
    return wait < 0 ? 0 : wait > PollMicros ? PollMicros : wait;
}

bool slotpending() {
    return TimeSlot >= 1 && TimeSlot <= 3;
}

long serveslot(long elapsed) {
    if (!slotpending())
        return 0;
    const SendSlot &slot = Slots[TimeSlot - 1];
    long sleep = 0;
    if (elapsed <= slot.deadline) {
        serveentry();
        if (slot.next > 0)
            sleep = slot.next - elapsed;
    } else {
        removemess_list();
        writelog(slot.missed);
    }
    TimeSlot++;
    return sleep;
}

} // namespace vorn
