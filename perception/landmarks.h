// Landmark table: one observation record per flag, goal and line, and the records of the ball
// and the 22 players. A record holds only the latest report of its object, relative to the
// agent's body; an object was seen in the current "see" exactly when its time equals Turn.
#pragma once

namespace vorn {

constexpr int TeamSize = 11;

struct Obs {
    int time;       // cycle of the latest report; -1 never (players start at 10)
    float distance; // metres
    int direction;  // degrees relative to the body, positive clockwise
};

struct ExtObs : Obs {
    float distchange; // metres per cycle, as reported
    int dirchange;    // degrees per cycle, as reported
};

// Globals: flags, named after the server's landmarks
extern Obs *FlagLT, *FlagGLT, *FlagGLB, *FlagLB, *FlagPLT, *FlagPLC, *FlagPLB;
extern Obs *FlagCT, *FlagC, *FlagCB, *FlagPRT, *FlagPRC, *FlagPRB;
extern Obs *FlagRT, *FlagGRT, *FlagGRB, *FlagRB, *FlagL0, *FlagT0, *FlagB0, *FlagR0;
extern Obs *FlagLT10, *FlagLT20, *FlagLT30, *FlagLB10, *FlagLB20, *FlagLB30;
extern Obs *FlagRT10, *FlagRT20, *FlagRT30, *FlagRB10, *FlagRB20, *FlagRB30;
extern Obs *FlagTL10, *FlagTL20, *FlagTL30, *FlagTL40, *FlagTL50;
extern Obs *FlagTR10, *FlagTR20, *FlagTR30, *FlagTR40, *FlagTR50;
extern Obs *FlagBL10, *FlagBL20, *FlagBL30, *FlagBL40, *FlagBL50;
extern Obs *FlagBR10, *FlagBR20, *FlagBR30, *FlagBR40, *FlagBR50;
// goals and lines
extern Obs *GoalL, *GoalR;
extern Obs *LineL, *LineT, *LineR, *LineB;
// ball and players; TeamPlayer[i] and OppPlayer[i] stand for uniform number i + 1
extern ExtObs *Ball;
extern ExtObs *TeamPlayer[TeamSize];
extern ExtObs *OppPlayer[TeamSize];

Obs *initpoint();                             // a new record, time -1, other fields 0
void initinfo();                              // build (or renew) the table; Turn = 0
char **handleflag(char **entry);              // stamp the flag an entry names
double getlength(const Obs *a, const Obs *b); // metres between two observed objects

} // namespace vorn
