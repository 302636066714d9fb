// The field player's console texts, ISO 8859-1. The goalie's file has the same names in the
// same order; "" marks a trace this program does not print. In the Swedish texts
// \xe4 is a-umlaut and \xf6 o-umlaut: "L\xe4" "gger" reads Laegger, "b\xf6" "rjan" boerjan.

#include "runtime/program.h"

namespace vorn {

// clang-format off
const char TextSendStart[]     = "in send buf %s turn %d\n";
const char TextSendCopied[]    = "awaymess %s\n";
const char TextSendDone[]      = "Turn %d Sent %d : %s\n";
const char TextServeEntry[]    = "";
const char TextServeEmpty[]    = "";
const char TextServeSlot[]     = "";
const char TextServeIndices[]  = "";
const char TextServeTaken[]    = "";
const char TextServeExit[]     = "";
const char TextAddEntry[]      = "L\xe4" "gger till mess listPek=%d listEnd=%d buf=%s\n";
const char TextAddAppend[]     = "";
const char TextAddRestart[]    = "";
const char TextAddBeforeCopy[] = "";
const char TextAddSlotZero[]   = "List[end]=%s\n";
const char TextAddExit[]       = "";
const char TextNewEntry[]      = "";
const char TextNewExit[]       = "";
const char TextReceive[]       = "from server\n";
const char TextDash[]          = "";
const char TextTurn[]          = "";
// clang-format on

} // namespace vorn
