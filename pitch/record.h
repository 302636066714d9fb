// record.h -- what pitch measures: the match record file, command statistics, step
// timing, the progress lines and the closing summary.
//
// The record is JSON lines: one line per step with the play mode, score, ball, every
// player (the goalies marked) and the team names, and one line per command received with
// its timing relative to the player's sense_body and whether it was executed. The built-in
// players' commands have lines of their own, marked "robot":true, with ms -1 (they get no
// sense_body); the summary's tables count the clients' commands only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vorn::pitch {

// ORDER KIND: command kinds, as counted in the summary.
enum CommandKind {
    KindMove,
    KindTurn,
    KindDash,
    KindKick,
    KindCatch,
    KindTurnNeck,
    KindSay,
    KindChangeView,
    KindSenseBody,
    KindScore,
    KindBye,
    KindOther,
    KindCount
};

// ORDER OUTCOME: what became of a command.
enum Outcome {
    Executed,      // taken (a kick or catch without effect is still taken)
    IgnoredSecond, // a second body command (or turn_neck) in the same cycle
    IgnoredMode,   // a move outside the modes that allow it
    Dropped,       // a say that was too long, or a command pitch does not model
};

constexpr int OffsetBuckets = 12; // 10 ms wide, the last one for 110 ms and more

bool isbodykind(int kind);
const char *kindname(int kind);

bool recordopen(const char *path); // false, said on stderr, when the file cannot be written
void recordclose();                // closes the game log too
void recordstep();                 // one line for the step just done; the game log's lines too
void notecommand(int slot, int kind, int outcome, const char *text, size_t len,
                 int64_t nowus); // statistics and a record line
void noterobotcommand(int slot, int kind, int outcome, const char *text,
                      size_t len); // a built-in player's command: a record line only
void notestep();                   // end of a cycle for the statistics
void notelateness(int64_t us);     // how late a step started
void resetstats();

void printprogress(FILE *f);
void printsummary(FILE *f, double wallseconds, double cpuseconds);

// Figures for tests and the summary.
long commandcount(int slot, int kind);
long multibodycycles(int slot);
long offsetcount(int bucket); // commands 10*bucket..10*bucket+9 ms after sense_body

} // namespace vorn::pitch
