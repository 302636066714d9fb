// options.h -- the command line of pitch.
#pragma once

#include <cstdio>

namespace vorn::pitch {

// parseoptions: fills Opt from argv. Returns 0 to run, 1 when --help was printed, or 2
// after printing a clear error for a bad option to err.
int parseoptions(int argc, char **argv, FILE *out, FILE *err);
void printhelp(FILE *out);

} // namespace vorn::pitch
