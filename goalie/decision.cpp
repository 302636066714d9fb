// The goalie's decision maker. It is called after every "see" that the play mode lets
// through; the goalie's decisions are not built yet, so it queues nothing.

#include "runtime/program.h"

namespace vorn {

void decisionmaker() {}

void initdecisions() {}

} // namespace vorn
