// The goalie's console texts, ISO 8859-1. The field player's file has the same names in the
// same order; "" marks a trace this program does not print. In the Swedish texts
// \xe4 is a-umlaut and \xf6 o-umlaut: "L\xe4" "gger" reads Laegger, "b\xf6" "rjan" boerjan.

#include "runtime/program.h"

namespace vorn {

// clang-format off
const char TextSendStart[]     = "in send buf %s turn %d\n";
const char TextSendCopied[]    = "";
const char TextSendDone[]      = "send return 0\n";
const char TextServeEntry[]    = "sendmess_list\n";
const char TextServeEmpty[]    = "null\n";
const char TextServeSlot[]     = "List->%s\n";
const char TextServeIndices[]  = "listpek=%d listmax=%d Listend=%d\n";
const char TextServeTaken[]    = "inte null\n";
const char TextServeExit[]     = "sendmess_list out\n";
const char TextAddEntry[]      = "L\xe4" "gger till mess listPek=%d listEnd=%d\n";
const char TextAddAppend[]     = "addmess l\xe4" "gger in en aktion i slutet %s\n";
const char TextAddRestart[]    = "addmess l\xe4" "gger in en aktion i b\xf6" "rjan %s\n";
const char TextAddBeforeCopy[] = "innan strcpy\n";
const char TextAddSlotZero[]   = "List[end]=%s\n";
const char TextAddExit[]       = "addmess_slut \n";
const char TextNewEntry[]      = "newmess_list\n";
const char TextNewExit[]       = "newmess_list out\n";
const char TextReceive[]       = "";
const char TextDash[]          = "dash\n";
const char TextTurn[]          = "turn\n";
// clang-format on

} // namespace vorn
