// The command builders. Each assembles its text in a working buffer of its own, one number
// at a time through didgit, copies it into messtosend and hands it to the queue with the
// placeholders its send slot needs. Every write is bounded by its buffer, and the buffers
// are large enough for any int, so the text that leaves is never cut.

#include "actions/builders.h"

#include "actions/queue.h"
#include "perception/landmarks.h"
#include "perception/parser.h"
#include "runtime/program.h"
#include "runtime/runtime.h"

#include <cstdio>
#include <cstring>

namespace vorn {

// Globals
char *didgit = nullptr;

int wrapangle(int64_t degrees) {
    return static_cast<int>(degrees);
}

int fixangle(int a) {
    if (a > 180)
        a -= 360;
    if (a < -180)
        a += 360;
    return a;
}

int getpower() {
    return wrapangle(int64_t{Stamina} * 100 / 3500);
}

static void turnrecord(Obs *record, int angle) {
    record->direction = fixangle(wrapangle(int64_t{record->direction} - angle));
}

// Before the init reply there are no records to turn.
void turnplayers(int angle) {
    if (Ball == nullptr)
        return;
    turnrecord(Ball, angle);
    for (int i = 0; i < TeamSize; i++) {
        turnrecord(TeamPlayer[i], angle);
        turnrecord(OppPlayer[i], angle);
    }
}

// Slot 3 takes the command at once, slot 2 after one placeholder, slot 1 after two, and 4
// (all slots of the cycle served) after two as well, so that it leaves in the next cycle's
// third slot when the queue is empty.
void placecommand(const char *text, int slot) {
    if (slot < 1 || slot > 4)
        return; // no cycle to place it in: the text stays in messtosend
    int pads = slot == 4 ? 2 : 3 - slot;
    for (int i = 0; i < pads; i++)
        addmess_list(Nop);
    addmess_list(text);
}

// Appends one number to a working buffer through didgit; format is "%d" or " %d".
static void appendnumber(char *work, const char *format, int number) {
    snprintf(didgit, DigitSize, format, number);
    strncat(work, didgit, BuilderSize - strlen(work) - 1);
}

// The working buffer starts as the prefix and is otherwise zero.
void formatcommand(const char *prefix, int first, const int *second) {
    char work[BuilderSize] = {};
    snprintf(work, BuilderSize, "%s", prefix);
    appendnumber(work, "%d", first);
    if (second != nullptr)
        appendnumber(work, " %d", *second);
    strncat(work, ")", BuilderSize - strlen(work) - 1);
    snprintf(messtosend, CommandSize, "%.*s", CommandSize - 1, work);
}

void dash(int power, int slot) {
    formatcommand("(dash ", power, nullptr);
    fputs(TextDash, stdout);
    placecommand(messtosend, slot);
}

void kick(int power, int direction, int slot) {
    formatcommand("(kick ", power, &direction);
    placecommand(messtosend, slot);
}

void turn(int moment, int slot) {
    turnplayers(moment);
    formatcommand("(turn ", moment, nullptr);
    fputs(TextTurn, stdout);
    placecommand(messtosend, slot);
}

void turnNeck(int angle) {
    formatcommand("(turn_neck ", angle, nullptr);
    addmess_list(messtosend);
}

void catchball(int direction, int slot) {
    formatcommand("(catch ", direction, nullptr);
    placecommand(messtosend, slot);
}

} // namespace vorn
