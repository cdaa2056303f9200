// What the profile functions give back for a value that was written: a save reads its
// values back from the disk and compares them with this form, not with the raw text.
#pragma once

#include <cstddef>

// The text the profile functions return for a key written with `written`: blanks
// (spaces and tabs) trimmed at both ends, then one pair of matching quotes (double or
// single) around the rest stripped, cut to capacity - 1 bytes.
void profileReadForm(const char* written, char* out, size_t capacity);
