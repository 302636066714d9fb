// Counting heap allocations: a program that links allocations.cpp has every operator new of
// its own counted here (the test of an allocation-free parse, the parse benchmark).
#pragma once

namespace vorntest {

extern long Allocations; // operator new calls since the program started

} // namespace vorntest
