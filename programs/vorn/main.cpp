// Entry of the program: everything is in the shared runtime, bound to this program's own
// texts and decisions at link time.

#include "runtime/runtime.h"

int main(int argc, char **argv) {
    vorn::agentmain(argc, argv);
}
