// output.cpp -- the files pitch writes while a match runs, and their failures.

#include "pitch/output.h"

#include <cerrno>
#include <cstring>

namespace vorn::pitch {

// Globals
static bool Failed = false; // some write failed

void writefailed(const char *what, const char *path, const char *reason) {
    std::fprintf(stderr, "pitch: cannot write the %s %s: %s\n", what, path, reason);
    std::fflush(stderr);
    Failed = true;
}

bool writesfailed() {
    return Failed;
}

// errtext: the text of an errno value; 0 when the stream was left in error by a call
// whose errno is gone.
static const char *errtext(int err) {
    return err ? std::strerror(err) : "write error";
}

bool openplain(FILE *&f, const char *path, const char *what) {
    errno = 0;
    f = std::fopen(path, "w");
    if (!f)
        writefailed(what, path, errtext(errno));
    return f != nullptr;
}

bool flushplain(FILE *&f, const char *what, const char *path) {
    if (!f)
        return false;
    int before = errno; // a write that just failed, should the flush not fail again
    errno = 0;
    if (std::fflush(f) == 0 && !std::ferror(f)) {
        errno = before;
        return true;
    }
    writefailed(what, path, errtext(errno ? errno : before));
    std::fclose(f); // the file is given up: what the close says adds nothing
    f = nullptr;
    return false;
}

bool closeplain(FILE *&f, const char *what, const char *path) {
    if (!f)
        return true;
    errno = 0;
    bool bad = std::ferror(f) != 0;
    bad = std::fclose(f) != 0 || bad;
    f = nullptr;
    if (bad)
        writefailed(what, path, errtext(errno));
    return !bad;
}

} // namespace vorn::pitch
