// wake_latency: how late this machine wakes a process that sleeps to a deadline.
//
// The second and third send slots of a player are timer wake-ups: the player sleeps until
// the slot is due and sends when it wakes. However exactly the player computes the
// deadline, it cannot send earlier than the system wakes it, so the lateness of a lone
// sleeper is the floor under those slots' offsets in the match report. This program
// sleeps to absolute deadlines one period apart, with the same 1 ns timer slack as the
// players, and prints the lateness of its wake-ups.
//
//   bin/wake_latency [--seconds S] [--period-us P]

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/prctl.h>
#include <vector>

namespace {

const char Usage[] =
    "Usage: wake_latency [--seconds S] [--period-us P]\n"
    "Sleeps to absolute deadlines P microseconds apart (default 33333, a send slot) for S\n"
    "seconds (default 60), with a timer slack of 1 ns as the players have, and prints how\n"
    "late the system woke it: median, 99th and 99.9th percentile, maximum, and the share of\n"
    "wake-ups more than 0.5 ms late.\n";

long long nanosnow() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

bool readnumber(const char *text, long lo, long hi, long *out) {
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

} // namespace

int main(int argc, char **argv) {
    long seconds = 60, period = 33333;
    for (int i = 1; i < argc; i++) {
        bool last = i + 1 >= argc;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--seconds") == 0 && !last) {
            if (!readnumber(argv[++i], 1, 86400, &seconds)) {
                std::fprintf(stderr, "wake_latency: --seconds takes 1 to 86400\n");
                return 2;
            }
        } else if (std::strcmp(argv[i], "--period-us") == 0 && !last) {
            if (!readnumber(argv[++i], 100, 10000000, &period)) {
                std::fprintf(stderr, "wake_latency: --period-us takes 100 to 10000000\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "wake_latency: unknown option or missing value: %s (see --help)\n",
                         argv[i]);
            return 2;
        }
    }
    prctl(PR_SET_TIMERSLACK, 1UL);
    long count = seconds * 1000000 / period;
    if (count < 1)
        count = 1;
    std::vector<long long> late;
    late.reserve(static_cast<size_t>(count));
    long long deadline = nanosnow();
    for (long i = 0; i < count; i++) {
        deadline += period * 1000LL;
        timespec t{static_cast<time_t>(deadline / 1000000000),
                   static_cast<long>(deadline % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
        }
        late.push_back(nanosnow() - deadline);
    }
    std::sort(late.begin(), late.end());
    auto at = [&](double q) {
        size_t k = std::min(late.size() - 1, static_cast<size_t>(q * late.size()));
        return late[k] / 1e6;
    };
    long over =
        static_cast<long>(late.end() - std::upper_bound(late.begin(), late.end(), 500000LL));
    std::printf("%zu wake-ups %ld us apart, late by: median %.3f ms, p99 %.3f ms, p99.9 %.3f ms, "
                "max %.3f ms; more than 0.5 ms late: %.2f%%\n",
                late.size(), period, at(0.5), at(0.99), at(0.999), late.back() / 1e6,
                100.0 * over / late.size());
    return 0;
}
