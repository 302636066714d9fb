// gamelog.cpp -- the standard game log: version 6 text, one show line per step.
//
// The lines themselves come from loglines.cpp, which formats them for the monitors too;
// this file decides which go into the log and when: the header, then per step a playmode
// line and a team line when those changed since the last written, and the show line. As
// on the real server the log starts at the kick-off: nothing of a step that began before
// the kick-off is written (the kick-off's own step neither, nor the wait before the second
// half), and of the time over only its first step; the log ends with the result and a
// last team line, also when the match was stopped.
//
// A plain file is flushed at every step, so a reader following it sees whole steps; a
// compressed one is flushed every 100 steps and when it is closed. The header is flushed
// as it is written, so a file that cannot be written at all stops pitch before the match.

#include "pitch/gamelog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <zlib.h>

#include "pitch/format.h"
#include "pitch/loglines.h"
#include "pitch/output.h"
#include "pitch/referee.h"
#include "pitch/types.h"
#include "pitch/world.h"

namespace vorn::pitch {

constexpr int FlushEvery = 100; // steps between flushes of a compressed log

static const char What[] = "game log";

// Globals
static FILE *Plain = nullptr;   // the log when written as text
static gzFile Packed = nullptr; // the log when compressed
static const char *Path = "";   // its name, as the command line gave it
static char Line[16384];        // the line being written (a show line is about 3 KB)
static char LastMode[40];       // the play mode of the last playmode line
static char LastTeams[2][TeamNameMax + 1];
static int LastScore[2];
static bool TeamWritten; // a team line was written
static int ShowLines;
static bool TimeOverShown; // the show line of the time over was written

// gzreason: why the last call on the compressed log failed; zlib puts the file's name
// before its own messages.
static const char *gzreason() {
    int code = Z_OK;
    const char *msg = gzerror(Packed, &code);
    if (code == Z_ERRNO)
        return errno ? std::strerror(errno) : "write error";
    size_t n = std::strlen(Path);
    return std::strncmp(msg, Path, n) || std::strncmp(msg + n, ": ", 2) ? msg : msg + n + 2;
}

// giveup: the compressed log failed: said once, and nothing more goes to it.
static void giveup() {
    writefailed(What, Path, gzreason());
    gzclose(Packed); // what the close says adds nothing
    Packed = nullptr;
}

static void emit(const Out &o) {
    if (Packed && gzwrite(Packed, o.buf, static_cast<unsigned>(o.len)) != static_cast<int>(o.len))
        giveup();
    else if (Plain && std::fwrite(o.buf, 1, o.len, Plain) != o.len)
        flushplain(Plain, What, Path); // says why, and gives the file up
}

// flushlog: what was written so far reaches the file, or the log is given up.
static void flushlog() {
    if (Plain)
        flushplain(Plain, What, Path);
    else if (Packed && gzflush(Packed, Z_SYNC_FLUSH) != Z_OK)
        giveup();
}

// writeline: the line in Line, with its line end.
static void writeline(Out &o) {
    put(o, "\n");
    emit(o);
}

static void writeheader() {
    Out o = outof(Line, sizeof Line);
    put(o, "ULG6\n");
    putserverparam(o);
    writeline(o);
    o = outof(Line, sizeof Line);
    putplayerparam(o);
    writeline(o);
    for (int id = 0; id < PlayerTypeCount; id++) {
        o = outof(Line, sizeof Line);
        putplayertype(o, id);
        writeline(o);
    }
}

static bool endswith(const char *s, const char *tail) {
    size_t n = std::strlen(s), m = std::strlen(tail);
    return n >= m && !std::strcmp(s + n - m, tail);
}

bool gamelogopen(const char *path) {
    Path = path;
    if (endswith(path, ".gz")) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "wb%d", LogCompressionLevel);
        errno = 0;
        Packed = gzopen(path, mode);
        if (!Packed) {
            writefailed(What, path, errno ? std::strerror(errno) : "out of memory");
            return false;
        }
    } else if (!openplain(Plain, path, What)) {
        return false;
    }
    LastMode[0] = '\0';
    TeamWritten = false;
    ShowLines = 0;
    TimeOverShown = false;
    writeheader();
    flushlog();
    return Plain || Packed;
}

static void writeteam() {
    Out o = outof(Line, sizeof Line);
    putteam(o);
    writeline(o);
    std::strcpy(LastTeams[0], TeamName[0]);
    std::strcpy(LastTeams[1], TeamName[1]);
    LastScore[0] = Score[0];
    LastScore[1] = Score[1];
    TeamWritten = true;
}

static void writelines() {
    char mode[40];
    modeword(mode, sizeof mode, Mode, ModeSide);
    Out o = outof(Line, sizeof Line);
    if (std::strcmp(mode, LastMode) != 0) {
        putplaymode(o);
        writeline(o);
        std::strcpy(LastMode, mode);
    }
    if (!TeamWritten || std::strcmp(LastTeams[0], TeamName[0]) != 0 ||
        std::strcmp(LastTeams[1], TeamName[1]) != 0 || LastScore[0] != Score[0] ||
        LastScore[1] != Score[1])
        writeteam();
    o = outof(Line, sizeof Line);
    putshow(o, ShowLog);
    writeline(o);
    ShowLines++;
    if (Plain || ShowLines % FlushEvery == 0)
        flushlog();
}

void gamelogstep() {
    // nothing of a step that began before a kick-off (a kick-off given between steps, as a
    // monitor may give it, begins the next step)
    if ((!Plain && !Packed) || StepMode == ModeBeforeKickOff || Mode == ModeBeforeKickOff ||
        (Mode == ModeTimeOver && TimeOverShown))
        return;
    TimeOverShown = Mode == ModeTimeOver;
    writelines();
}

void gamelogclose() {
    if (Plain || Packed) { // as on the real server, a stopped match's log ends alike
        Out o = outof(Line, sizeof Line);
        putresult(o);
        writeline(o);
        writeteam();
    }
    closeplain(Plain, What, Path);
    if (Packed) {
        errno = 0;
        int r = gzclose(Packed);
        if (r != Z_OK)
            writefailed(What, Path, r == Z_ERRNO && errno ? std::strerror(errno) : zError(r));
    }
    Packed = nullptr;
}

} // namespace vorn::pitch
