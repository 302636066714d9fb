// Lines typed on standard input. They are read straight from the descriptor, never through
// stdio's buffer, so that select sees every line that has not been handled yet, and an
// unfinished line never blocks the agent.
#pragma once

namespace vorn {

// Reads what standard input holds and takes the next line into line (BufSize bytes), with
// its newline if it has one; a line longer than BufSize - 1 characters comes in pieces.
// Returns 1 for a line, 0 when no complete line is there yet, -1 at end of input (an
// unfinished last line is returned as a line before that).
int readline(int fd, char *line);

// Whether a complete line is already waiting, so that the next poll need not wait for input.
bool linepending();

// Forgets everything buffered (for a fresh start).
void resetlines();

} // namespace vorn
