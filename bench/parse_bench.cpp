// Time to parse one realistic "see" (about 1,500 bytes: 30 flags, the ball, 10 players in
// every naming form, 2 lines) and one "sense_body", and the heap allocations per message:
// nothing is allocated once the init reply has built the records.

#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/runtime.h"
#include "tests/support/allocations.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const char FullSee[] =
    "(see 1234 ((f r t) 53.5 -30 -0.00 0.0) ((f r b) 61.6 41 -0.01 0.1) "
    "((f g r b) 47.9 16 -0.02 0.2) ((g r) 46.5 8 -0.1 0.3) ((f g r t) 45.6 0 -0.03 0.3) "
    "((f p r b) 39.6 42 -0.04 0.4) ((f p r c) 30 12 -0.05 0.5) "
    "((f p r t) 32.1 -24 -0.06 0.6) ((f t r 40) 46.5 -44 -0.07 0.0) "
    "((f t r 50) 54.1 -36 -0.08 0.1) ((f r 0) 51.4 7 -0.09 0.2) "
    "((f r t 10) 50.9 -3 -0.00 0.3) ((f r t 20) 52.5 -14 -0.01 0.4) "
    "((f r t 30) 55.7 -24 -0.02 0.5) ((f r b 10) 53.5 18 -0.03 0.6) "
    "((f r b 20) 57.4 27 -0.04 0.0) ((f r b 30) 62.8 35 -0.05 0.1) "
    "((f c) 12.2 -35 -0.06 0.2) ((f c t) 36.6 -61 -0.07 0.3) ((f c b) 40.1 58 -0.08 0.4) "
    "((f t r 10) 38.9 -57 -0.09 0.5) ((f t r 20) 40.4 -52 -0.00 0.6) "
    "((f t r 30) 43.4 -48 -0.01 0.0) ((f b r 10) 44.7 49 -0.02 0.1) "
    "((f b r 20) 47.9 46 -0.03 0.2) ((f b r 30) 51.9 43 -0.04 0.3) "
    "((f b r 40) 55.7 41 -0.05 0.4) ((f b r 50) 60.3 38 -0.06 0.5) "
    "((f p l c) 56.8 -177 -0.07 0.6) ((f t 0) 35.2 -70 -0.08 0.0) "
    "((f b 0) 41.3 66 -0.09 0.1) ((b) 20.1 -3 0.27 1.5) ((p \"vorn\" 2) 10.5 30 0.12 -1.3) "
    "((p \"vorn\" 3) 18.2 -12 0.12 -1.3) ((p \"vorn\" 1 goalie) 48 170 0.12 -1.3) "
    "((p \"opp\" 4) 25.3 11 0.12 -1.3) ((p \"opp\" 7) 33.1 -20 0.12 -1.3) ((p \"vorn\") 44.7 8) "
    "((p \"opp\") 40.4 -14) ((p \"opp\") 49.4 35) ((p) 60 12) ((p) 66.7 -8) ((l r) 45.6 90) "
    "((l t) 38.2 -64))";

const char SenseBody[] = "(sense_body 1234 (view_mode high normal) (stamina 3500 0.8) "
                         "(speed 0.45 12) (head_angle -45) (kick 3) (dash 40) (turn 12) "
                         "(say 0) (turn_neck 2))";

void setup() {
    vorn::initvar();
    vorn::AgentSide = 0;
    vorn::AgentNumber = 5;
    vorn::initinfo();
}

void BM_ParseFullSee(benchmark::State &state) {
    setup();
    long before = vorntest::Allocations;
    for (auto _ : state)
        benchmark::DoNotOptimize(vorn::recvmess(FullSee));
    state.counters["bytes"] = sizeof FullSee - 1;
    state.counters["allocs/msg"] = benchmark::Counter(
        static_cast<double>(vorntest::Allocations - before) / state.iterations());
}
BENCHMARK(BM_ParseFullSee);

void BM_ParseSenseBody(benchmark::State &state) {
    setup();
    long before = vorntest::Allocations;
    for (auto _ : state)
        benchmark::DoNotOptimize(vorn::recvmess(SenseBody));
    state.counters["allocs/msg"] = benchmark::Counter(
        static_cast<double>(vorntest::Allocations - before) / state.iterations());
}
BENCHMARK(BM_ParseSenseBody);

} // namespace

BENCHMARK_MAIN();
