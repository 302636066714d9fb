// textlog.cpp -- the text log: datagrams received and referee calls, one a line.

#include "pitch/textlog.h"

#include <cstdio>
#include <cstring>

#include "pitch/output.h"
#include "pitch/referee.h"
#include "pitch/world.h"

namespace vorn::pitch {

static const char What[] = "text log";

// Globals
static FILE *Log = nullptr; // the open text log, null when none or given up
static const char *Path = "";

bool textlogopen(const char *path) {
    Path = path;
    return openplain(Log, path, What);
}

static void stamp() {
    std::fprintf(Log, "%d,%d\t", Time, StoppageSteps);
}

void textlogrecv(int slot, const char *text, size_t len) {
    if (!Log)
        return;
    const Player &p = Players[slot];
    const void *nul = std::memchr(text, '\0', len);
    if (nul)
        len = static_cast<size_t>(static_cast<const char *>(nul) - text);
    while (len > 0 && (text[len - 1] == '\n' || text[len - 1] == '\r'))
        len--;
    stamp();
    std::fprintf(Log, "Recv %s_%d: ", TeamName[p.side > 0 ? 0 : 1], p.unum);
    for (size_t i = 0; i < len; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::fputc(c < 32 || c == 127 ? ' ' : c, Log);
    }
    std::fputc('\n', Log);
}

void textlogcall(const char *word) {
    if (!Log)
        return;
    stamp();
    std::fprintf(Log, "(referee %s)\n", word);
}

void textlogflush() {
    flushplain(Log, What, Path);
}

void textlogclose() {
    closeplain(Log, What, Path);
}

} // namespace vorn::pitch
