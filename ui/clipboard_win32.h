// Text onto the clipboard, written straight into the clipboard's own block.
#pragma once

#include <windows.h>

#include <cstddef>

// Writes the text of `source` into `out` (capacity bytes, zero included) and returns the
// length of the complete text; a call of capacity 0 only measures it.
using ClipboardTextWriter = size_t (*)(const void* source, char* out, size_t capacity);

// Opens the clipboard for `owner`, empties it and hands it a block of at least
// `minimumSize` bytes (more when the text needs it) holding the text. Returns false
// when nothing reached the clipboard.
bool putClipboardText(HWND owner, size_t minimumSize, ClipboardTextWriter write, const void* source);
