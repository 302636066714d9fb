// Message parser: cuts a lower-cased server message into parts, dispatches on its head word
// and updates the time, the side and number, the body state and the object records.
#pragma once

namespace vorn {

// Globals
extern int Turn;                      // cycle of the latest see, sense_body or hear
extern int AgentSide;                 // 0 left, 1 right
extern int AgentNumber;               // uniform number from the init reply
extern char *ViewQuality, *ViewWidth; // BufSize bytes each: the view mode words
extern int Stamina, Effort, AmountOfSpeed, HeadDirection; // sense_body, read as integers
extern int KickCount, DashCount, TurnCount, SayCount, TurnNeckCount;
extern char **out; // the part pair: out[0] name part, out[1] value part, BufSize each
extern char *com;  // BufSize bytes: the head word of the current message or part
extern char *dump, *dump2, *dump3; // BufSize bytes each: scratch words

int recvmess(const char *mess);             // 1 see, 2 sense_body, 3 anything else
char **getpart(const char *mess, int &pos); // next part into out; advances pos
int getnbrargs(const char *text);           // words separated by blanks

// Readers with scanf's rules (but integers beyond int are clamped and floats that are not
// finite are refused), shared by the object handlers. Each reads one field at p ("%s"
// into a BufSize buffer, "%d", "%f") and moves p past it; false when the field cannot be read,
// and then the caller reads no further fields, as sscanf would stop.
bool scanword(const char *&p, char *word);
bool scanint(const char *&p, int *value);
bool scanfloat(const char *&p, float *value);
void readdistdir(const char *text, float *distance, int *direction); // "%f%d"

} // namespace vorn
