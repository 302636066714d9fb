// Line assembly for standard input.

#include "runtime/stdinlines.h"

#include "runtime/runtime.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vorn {

static char pending[BufSize]; // input read but not yet handed out
static int npending = 0;      // bytes in pending, at most BufSize - 1
static bool ended = false;    // standard input reported its end

static int linelength() {
    const void *newline = memchr(pending, '\n', npending);
    if (newline != nullptr)
        return static_cast<int>(static_cast<const char *>(newline) - pending) + 1;
    if (npending == BufSize - 1 || (ended && npending > 0))
        return npending;
    return 0;
}

bool linepending() {
    return memchr(pending, '\n', npending) != nullptr;
}

void resetlines() {
    npending = 0;
    ended = false;
}

int readline(int fd, char *line) {
    if (!linepending() && !ended && npending < BufSize - 1) {
        ssize_t n = read(fd, pending + npending, BufSize - 1 - npending);
        if (n > 0)
            npending += static_cast<int>(n);
        else if (n == 0 || (errno != EINTR && errno != EAGAIN))
            ended = true;
    }
    int length = linelength();
    if (length == 0)
        return ended ? -1 : 0;
    memcpy(line, pending, length);
    line[length] = '\0';
    npending -= length;
    memmove(pending, pending + length, npending);
    return 1;
}

} // namespace vorn
