// The log file Vorne.log in the working directory, emptied at every start. It receives only
// the lines of send slots that came too late. When it cannot be created the agent runs on
// without it.

#include "runtime/runtime.h"

#include <cstdio>

namespace vorn {

static FILE *Logfile = nullptr;

void openlogfile() {
    Logfile = fopen("Vorne.log", "wb");
}

void writelog(const char *text) {
    if (Logfile != nullptr)
        fputs(text, Logfile);
}

void closelogfile() {
    if (Logfile != nullptr)
        fclose(Logfile);
    Logfile = nullptr;
}

} // namespace vorn
