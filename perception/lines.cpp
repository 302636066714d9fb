// Line observations. Each line entry, such as ((l t) 20 30), is stored in its record and turned
// into TopAngle, the body-relative direction square to the top touch line, whichever line was
// seen; AttackAngle turns it a quarter toward the opponents' end. In a "see" with several
// lines the last one decides.

#include "perception/lines.h"

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/runtime.h"

#include <cstdint>
#include <cstring>

namespace vorn {

// Globals
int TopAngle = 0;
int AttackAngle = 0;

// Angle sums wrap instead of overflowing: a datagram may carry any int as a direction, and a
// server's -180..180 never comes near the limits.
static int turned(int angle, int by) {
    return static_cast<int>(static_cast<int64_t>(angle) + by);
}

// Direction square to the top touch line from a line seen at direction d; d exactly 0 takes
// the second rule.
static int topfrom(const char *name, int d) {
    if (strcmp(name, "l l") == 0)
        return d < 0 ? turned(d, 180) : d;
    if (strcmp(name, "l t") == 0)
        return d < 0 ? turned(d, 90) : turned(d, -90);
    if (strcmp(name, "l r") == 0)
        return d < 0 ? d : turned(d, -180);
    return d < 0 ? turned(d, -90) : turned(d, 90); // "l b"
}

static Obs *linerecord(const char *name) {
    if (strcmp(name, "l l") == 0)
        return LineL;
    if (strcmp(name, "l t") == 0)
        return LineT;
    if (strcmp(name, "l r") == 0)
        return LineR;
    if (strcmp(name, "l b") == 0)
        return LineB;
    return nullptr;
}

// A name that is none of the four lines leaves TopAngle as it was; AttackAngle is renewed from
// it all the same.
char **handleline(char **entry) {
    logf("In handleline\n");
    Obs *line = linerecord(entry[0]);
    if (line != nullptr) {
        line->time = Turn;
        readdistdir(entry[1], &line->distance, &line->direction);
        TopAngle = topfrom(entry[0], line->direction);
    }
    AttackAngle = turned(TopAngle, AgentSide == 0 ? 90 : -90);
    return entry;
}

} // namespace vorn
