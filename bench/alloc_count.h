// Counts every heap allocation of the process (operator new and the malloc family),
// so a benchmark can show that a loop allocates nothing.
#pragma once

#include <cstdint>

// Allocations made since the program started.
uint64_t allocationCount();

// True when the counting hooks are really in place (one probe allocation is seen).
bool allocationCountingWorks();
