// output.h -- the files pitch writes while a match runs: the record and the game log.
//
// The first failure to write one of them is said at once on stderr, one line per file:
// "pitch: cannot write the WHAT PATH: REASON". The file is given up there (what it holds
// stays, cut off), the match goes on, and pitch ends with status 1 when it is over.
#pragma once

#include <cstdio>

namespace vorn::pitch {

void writefailed(const char *what, const char *path, const char *reason); // says it once
bool writesfailed(); // some file could not be written since pitch started

// Plain files. Each returns false, with the failure said and the file closed and set to
// null, when f cannot be opened or a write to it has failed.
bool openplain(FILE *&f, const char *path, const char *what);
bool flushplain(FILE *&f, const char *what, const char *path);
bool closeplain(FILE *&f, const char *what, const char *path);

} // namespace vorn::pitch
