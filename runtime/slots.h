// Send-slot scheduler: a "sense_body" starts a cycle of three send slots of a third of 100 ms
// each, and each slot sends at most one queued command. The arithmetic takes the times it is
// given; only the receive loop reads the clock.
#pragma once

namespace vorn {

// Microseconds from the cycle start to now, from the sub-second parts of two clock readings
// alone (less than one second is assumed to have passed).
long elapsedmicros(long nownsec, long startnsec);

// Serves the slot that TimeSlot names at the given elapsed time: on time it sends one queue
// entry, late it drops one and logs "Missed slot N". Advances TimeSlot and returns the
// microseconds to sleep before the next slot is due (0 for none). Does nothing when no slot is
// pending.
long serveslot(long elapsed);

constexpr long PollMicros = 1000; // the longest a poll waits while a slot is pending

// Microseconds the poll may wait for input at the given elapsed time while a slot is
// pending: until that slot is due, at most PollMicros, never less than zero. -1 while no slot
// is pending: an idle poll would change nothing then, so the poll waits for input.
long polltimeout(long elapsed);

// Whether a send slot of the current cycle is still to be served (TimeSlot 1 to 3).
bool slotpending();

} // namespace vorn
