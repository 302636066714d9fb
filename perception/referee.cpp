// Referee calls. The referee names every play mode in a "hear" message, for example
// (hear 120 referee goal_l_1); the call is kept whole in Event and split into a type and a
// side letter. Kick-ins, corner kicks, goals and half time send the player back to its place.

#include "perception/referee.h"

#include "actions/queue.h"
#include "perception/parser.h"
#include "placement/placement.h"
#include "runtime/runtime.h"

#include <cstdio>
#include <cstring>

namespace vorn {

// Globals
char *Event = nullptr;
char *Eventtype = nullptr;
char Eventside = 'u';
int Eventturn = 0;

// Calls after which the queue is emptied and the player walks back to formation.
static const char *const ResetTypes[] = {"kick_in_", "corner_kick_", "goal_", "half_time"};

// Stores c at index i of Eventtype when it fits; a longer type keeps its first characters.
static void settype(int i, char c) {
    if (i < EventtypeSize - 1)
        Eventtype[i] = c;
}

// The side letter is the first "l" or "r" after the call's first underscore, and the type is
// everything before that letter: goal_l_1 gives "goal_" and 'l', drop_ball gives "drop_ba"
// and 'l', play_on gives "play_on" and 'u' (its "l" stands before the underscore).
void getEvent() {
    int i = 0;
    Eventside = 'u';
    while (Event[i] != '\0' && Event[i] != '_') {
        settype(i, Event[i]);
        i++;
    }
    settype(i, Event[i]);
    if (Event[i] == '\0') {
        Eventtype[EventtypeSize - 1] = '\0';
        return;
    }
    while (Event[i] != '\0' && Eventside == 'u') {
        if (Event[i] == 'l' || Event[i] == 'r')
            Eventside = Event[i];
        else {
            settype(i, Event[i]);
            i++;
        }
    }
    Eventtype[i < EventtypeSize - 1 ? i : EventtypeSize - 1] = '\0';
}

static bool resetsformation() {
    for (const char *type : ResetTypes)
        if (strcmp(Eventtype, type) == 0)
            return true;
    return false;
}

void refereecall(const char *call) {
    Eventturn = Turn;
    snprintf(Event, BufSize, "%s", call);
    getEvent();
    if (!resetsformation())
        return;
    // Empty the queue and fill what is left of this cycle's send slots, so that the walk back
    // to formation begins in the first send slot of the next cycle.
    new_list();
    for (int slot = TimeSlot; slot <= 3; slot++)
        addmess_list(Nop);
    replace();
}

} // namespace vorn
