// step.h -- one simulation step: physics, the clock, the referee, stamina.
//
// The loop calls simstep() on every step deadline and then sends sense_body to every
// player; tests call it directly to advance the world without sockets or clocks.
#pragma once

namespace vorn::pitch {

void simstep();

} // namespace vorn::pitch
