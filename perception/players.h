// Player observations: numbered sightings update the record of their number; players seen
// without a number replace the nearest record not refreshed in the current "see".
#pragma once

namespace vorn {

// Globals
extern char *pteamname; // BufSize bytes: team name of the latest player entry, unquoted

void handleplayer(char **entry);

} // namespace vorn
