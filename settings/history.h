// The 16-slot address history: most recent first, without case-blind duplicates.
#pragma once

#include <cstddef>

constexpr int kHistorySlots = 16;
constexpr size_t kHistorySlotSize = 256;  // at most 255 characters and a zero

using HistorySlots = char[kHistorySlots][kHistorySlotSize];

// The host that a first run offers in the address box.
extern const char* const kDefaultTargetHost;

// All slots empty, the default target host in slot 0.
void presetHistory(HistorySlots& history);

// Equal character for character, with only the ASCII letters folded; no trimming.
bool sameAddress(const char* a, const char* b);

// Removes every slot that holds the same address (later slots move up, holes and all),
// then moves every slot down one place and puts `address` into slot 0. The slot keeps
// the first 255 characters, with control characters replaced, so that a stored
// history can never break the settings file's lines.
void rememberAddress(HistorySlots& history, const char* address);
