// The goalie's kick: always power 100 toward the opponents' end, whatever it sees.

#include "runtime/program.h"

#include "actions/builders.h"
#include "perception/lines.h"
#include "player/skills.h"
#include "runtime/runtime.h"

namespace vorn {

void kickball() {
    kick(100, AttackAngle, TimeSlot);
    GuessBall = AttackAngle;
}

} // namespace vorn
