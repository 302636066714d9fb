// record.cpp -- the match record, command statistics and step timing.
//
// The record is written line by line with stdio buffering and flushed at every step, so
// a reader tailing the file sees whole cycles; a write that fails gives the record up
// (output.h). Texts of commands are escaped for JSON:
// quotes and backslashes get a backslash, control bytes and bytes above 126 become
// \u00XX, so any datagram makes a valid line.

#include "pitch/record.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "pitch/gamelog.h"
#include "pitch/geom.h"
#include "pitch/output.h"
#include "pitch/referee.h"
#include "pitch/textlog.h"
#include "pitch/world.h"

namespace vorn::pitch {

// Globals
static FILE *Record = nullptr;
static const char *RecordPath = ""; // as the command line gave it
static const char RecordWhat[] = "record file";
static long Counts[MaxPlayers][KindCount]; // commands per player and kind
static int BodyThisCycle[MaxPlayers];      // body commands received this cycle
static long MultiBody[MaxPlayers];         // cycles with two or more body commands
static long Offsets[OffsetBuckets];        // commands by ms after sense_body
static long PlayerOffsets[MaxPlayers][OffsetBuckets];
static std::vector<int64_t> Lateness; // per step, microseconds

// ORDER KIND
static const char *const KindNames[KindCount] = {
    "move", "turn",        "dash",       "kick",  "catch", "turn_neck",
    "say",  "change_view", "sense_body", "score", "bye",   "other",
};

// ORDER OUTCOME
static const char *const OutcomeNames[] = {"executed", "ignored_second_body_command",
                                           "ignored_move_not_allowed", "dropped"};

bool isbodykind(int kind) {
    return kind == KindMove || kind == KindTurn || kind == KindDash || kind == KindKick ||
           kind == KindCatch;
}

const char *kindname(int kind) {
    return kind >= 0 && kind < KindCount ? KindNames[kind] : "other";
}

void resetstats() {
    std::memset(Counts, 0, sizeof Counts);
    std::memset(BodyThisCycle, 0, sizeof BodyThisCycle);
    std::memset(MultiBody, 0, sizeof MultiBody);
    std::memset(Offsets, 0, sizeof Offsets);
    std::memset(PlayerOffsets, 0, sizeof PlayerOffsets);
    Lateness.clear();
}

bool recordopen(const char *path) {
    RecordPath = path;
    return openplain(Record, path, RecordWhat);
}

void recordclose() {
    gamelogclose();
    textlogclose();
    closeplain(Record, RecordWhat, RecordPath);
}

static void putjsontext(const char *text, size_t len) {
    std::fputc('"', Record);
    for (size_t i = 0; i < len; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\')
            std::fprintf(Record, "\\%c", c);
        else if (c < 32 || c > 126)
            std::fprintf(Record, "\\u%04x", c);
        else
            std::fputc(c, Record);
    }
    std::fputc('"', Record);
}

void recordstep() {
    gamelogstep();
    textlogflush();
    if (!Record)
        return;
    char mode[40];
    modeword(mode, sizeof mode, Mode, ModeSide);
    const Ball &b = TheBall;
    std::fprintf(Record,
                 "{\"type\":\"cycle\",\"step\":%d,\"cycle\":%d,\"mode\":\"%s\",\"score\":[%d,%d],"
                 "\"ball\":{\"x\":%.4f,\"y\":%.4f,\"vx\":%.4f,\"vy\":%.4f},\"players\":[",
                 StepCount, Time, mode, Score[0], Score[1], b.x, b.y, b.vx, b.vy);
    bool first = true;
    for (const Player &p : Players) {
        if (!p.on)
            continue;
        std::fprintf(Record,
                     "%s{\"side\":\"%c\",\"unum\":%d,\"x\":%.4f,\"y\":%.4f,\"body\":%.2f,"
                     "\"neck\":%.2f%s}",
                     first ? "" : ",", p.side > 0 ? 'l' : 'r', p.unum, p.x, p.y, p.body * RadToDeg,
                     p.neck * RadToDeg, p.goalie ? ",\"goalie\":true" : "");
        first = false;
    }
    std::fputs("],\"teams\":[", Record);
    putjsontext(TeamName[0], std::strlen(TeamName[0]));
    std::fputc(',', Record);
    putjsontext(TeamName[1], std::strlen(TeamName[1]));
    std::fputs("]}\n", Record);
    flushplain(Record, RecordWhat, RecordPath);
}

void notecommand(int slot, int kind, int outcome, const char *text, size_t len, int64_t nowus) {
    if (slot < 0 || slot >= MaxPlayers || kind < 0 || kind >= KindCount)
        return;
    const Player &p = Players[slot];
    Counts[slot][kind]++;
    // A move the mode does not allow takes no body slot, so it is no body command here.
    if (isbodykind(kind) && outcome != IgnoredMode && ++BodyThisCycle[slot] == 2)
        MultiBody[slot]++;
    // A datagram that reached pitch in the moment between the last read before a step and
    // the step's sense_body counts as arriving with the sense_body.
    double ms = p.sensebodyus > 0 ? std::max<int64_t>(0, nowus - p.sensebodyus) / 1000.0 : -1;
    if (ms >= 0) {
        int bucket = std::min(OffsetBuckets - 1, static_cast<int>(ms / 10));
        Offsets[bucket]++;
        PlayerOffsets[slot][bucket]++;
    }
    if (!Record)
        return;
    std::fprintf(Record,
                 "{\"type\":\"command\",\"step\":%d,\"cycle\":%d,\"side\":\"%c\",\"unum\":%d,"
                 "\"text\":",
                 StepCount, Time, p.side > 0 ? 'l' : 'r', p.unum);
    putjsontext(text, len);
    std::fprintf(Record, ",\"ms\":%.3f,\"kind\":\"%s\",\"outcome\":\"%s\"}\n", ms, KindNames[kind],
                 OutcomeNames[outcome]);
}

void noterobotcommand(int slot, int kind, int outcome, const char *text, size_t len) {
    if (!Record || slot < 0 || slot >= MaxPlayers || kind < 0 || kind >= KindCount ||
        outcome < Executed || outcome > Dropped)
        return;
    const Player &p = Players[slot];
    std::fprintf(Record,
                 "{\"type\":\"command\",\"step\":%d,\"cycle\":%d,\"side\":\"%c\",\"unum\":%d,"
                 "\"text\":",
                 StepCount, Time, p.side > 0 ? 'l' : 'r', p.unum);
    putjsontext(text, len);
    std::fprintf(Record, ",\"ms\":-1,\"kind\":\"%s\",\"outcome\":\"%s\",\"robot\":true}\n",
                 KindNames[kind], OutcomeNames[outcome]);
}

void notestep() {
    std::memset(BodyThisCycle, 0, sizeof BodyThisCycle);
}

void notelateness(int64_t us) {
    Lateness.push_back(us);
}

long commandcount(int slot, int kind) {
    return Counts[slot][kind];
}

long multibodycycles(int slot) {
    return MultiBody[slot];
}

long offsetcount(int bucket) {
    return bucket >= 0 && bucket < OffsetBuckets ? Offsets[bucket] : 0;
}

void printprogress(FILE *f) {
    char mode[40];
    modeword(mode, sizeof mode, Mode, ModeSide);
    std::fprintf(f, "pitch: cycle %d  %s  score %s %d : %d %s  players %d\n", Time, mode,
                 TeamName[0][0] ? TeamName[0] : "-", Score[0], Score[1],
                 TeamName[1][0] ? TeamName[1] : "-", connectedclients());
    std::fflush(f);
}

// Step lateness: how long after its deadline each step started.
static void printtiming(FILE *f) {
    if (Lateness.empty())
        return;
    std::vector<int64_t> v = Lateness;
    std::sort(v.begin(), v.end());
    auto pct = [&](double q) {
        return v[std::min(v.size() - 1, static_cast<size_t>(q * v.size()))] / 1000.0;
    };
    long within = std::count_if(v.begin(), v.end(), [](int64_t us) { return us <= 1000; });
    std::fprintf(f,
                 "step timing: %zu steps, late by median %.3f ms, p99 %.3f ms, p99.9 %.3f ms, "
                 "max %.3f ms; within 1 ms: %.2f%%\n",
                 v.size(), pct(0.5), pct(0.99), pct(0.999), v.back() / 1000.0,
                 100.0 * within / v.size());
}

// The summary's two tables have a row per player who sent anything and a row "all"; their
// columns are right-aligned under headings at least five characters wide.
static int columnwidth(const char *heading) {
    return std::max(5, static_cast<int>(std::strlen(heading)));
}

static void printheadings(FILE *f, const char *const *headings, int count) {
    std::fprintf(f, "%-6s", "player");
    for (int i = 0; i < count; i++)
        std::fprintf(f, " %*s", columnwidth(headings[i]), headings[i]);
    std::fputc('\n', f);
}

static void printrow(FILE *f, const char *label, const char *const *headings, const long *values,
                     int count) {
    std::fprintf(f, "%-6s", label);
    for (int i = 0; i < count; i++)
        std::fprintf(f, " %*ld", columnwidth(headings[i]), values[i]);
    std::fputc('\n', f);
}

static long playertotal(int slot) {
    long total = 0;
    for (int k = 0; k < KindCount; k++)
        total += Counts[slot][k];
    return total;
}

static void playerlabel(int slot, char *label, size_t cap) {
    std::snprintf(label, cap, "%c%d", slot < TeamSize ? 'l' : 'r', slot % TeamSize + 1);
}

// Per player the commands by kind, their total, and the cycles with two or more body commands.
static void printkinds(FILE *f) {
    constexpr int Columns = KindCount + 2;
    const char *headings[Columns];
    std::copy(KindNames, KindNames + KindCount, headings);
    headings[KindCount] = "total";
    headings[KindCount + 1] = "2+body";
    std::fprintf(f,
                 "commands per player by kind (2+body: cycles with two or more body commands)\n");
    printheadings(f, headings, Columns);
    long all[Columns] = {};
    for (int i = 0; i < MaxPlayers; i++) {
        if (playertotal(i) == 0)
            continue;
        long row[Columns] = {};
        std::copy(Counts[i], Counts[i] + KindCount, row);
        row[KindCount] = playertotal(i);
        row[KindCount + 1] = MultiBody[i];
        for (int c = 0; c < Columns; c++)
            all[c] += row[c];
        char label[8];
        playerlabel(i, label, sizeof label);
        printrow(f, label, headings, row, Columns);
    }
    printrow(f, "all", headings, all, Columns);
}

// The same commands by the time they came after the sender's sense_body, in 10 ms buckets;
// "early" are those sent before its first sense_body, so that a row adds up to its total.
static const char *const OffsetHeadings[OffsetBuckets + 2] = {
    "early", "0-9",   "10-19", "20-29", "30-39",   "40-49", "50-59",
    "60-69", "70-79", "80-89", "90-99", "100-109", "110+",  "total"};

static void printoffsetrow(FILE *f, const char *label, const long *buckets, long total) {
    long row[OffsetBuckets + 2] = {total};
    for (int b = 0; b < OffsetBuckets; b++) {
        row[b + 1] = buckets[b];
        row[0] -= buckets[b];
    }
    row[OffsetBuckets + 1] = total;
    printrow(f, label, OffsetHeadings, row, OffsetBuckets + 2);
}

static void printoffsets(FILE *f) {
    std::fprintf(f, "commands per player by ms after its sense_body\n");
    printheadings(f, OffsetHeadings, OffsetBuckets + 2);
    long all = 0;
    for (int i = 0; i < MaxPlayers; i++) {
        if (playertotal(i) == 0)
            continue;
        char label[8];
        playerlabel(i, label, sizeof label);
        printoffsetrow(f, label, PlayerOffsets[i], playertotal(i));
        all += playertotal(i);
    }
    printoffsetrow(f, "all", Offsets, all);
}

void printsummary(FILE *f, double wallseconds, double cpuseconds) {
    std::fprintf(f, "score: %s %d : %d %s\n", TeamName[0][0] ? TeamName[0] : "-", Score[0],
                 Score[1], TeamName[1][0] ? TeamName[1] : "-");
    printkinds(f);
    printoffsets(f);
    printtiming(f);
    if (wallseconds > 0)
        std::fprintf(f, "cpu: %.2f s in %.1f s (%.1f%% of one core)\n", cpuseconds, wallseconds,
                     100.0 * cpuseconds / wallseconds);
    std::fflush(f);
}

} // namespace vorn::pitch
