// Writing into fixed zero-terminated buffers without ever overrunning them: the engine's
// records, the settings file's values and the row and clipboard texts all go through
// these copies.
#pragma once

#include <cstddef>

// Copies at most capacity - 1 bytes of `source` and always terminates `dest`.
// Returns the number of bytes copied. A null source gives the empty text.
size_t copyBounded(char* dest, size_t capacity, const char* source);

template <size_t N>
size_t copyBounded(char (&dest)[N], const char* source) {
    return copyBounded(dest, N, source);
}

// True for the bytes that would break a line or a tab-separated field apart:
// the ASCII control characters 0-31 and 127.
inline bool isControlByte(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

// Replacement for control bytes in texts that come from outside (names from the
// network, addresses typed or passed on the command line).
constexpr char kControlReplacement = '?';

// Like copyBounded, but every control byte is written as kControlReplacement.
size_t copyPrintable(char* dest, size_t capacity, const char* source);

template <size_t N>
size_t copyPrintable(char (&dest)[N], const char* source) {
    return copyPrintable(dest, N, source);
}

// Like copyPrintable, from a fixed buffer that may lack its terminator (a damaged
// record): nothing past the source buffer's own size is read.
size_t copyPrintableField(char* dest, size_t capacity, const char* source, size_t sourceSize);

template <size_t N, size_t M>
size_t copyPrintableField(char (&dest)[N], const char (&source)[M]) {
    return copyPrintableField(dest, N, source, M);
}

// For names from a reverse lookup: like copyPrintable, and every byte above 0x7F is
// written as kControlReplacement too. Host names are ASCII (international names travel
// in their ASCII form), and a high byte is unsafe downstream: 0x9B starts a terminal
// control sequence, and a lead byte of a double-byte code page swallows the tab after it.
size_t copyHostName(char* dest, size_t capacity, const char* source);

template <size_t N>
size_t copyHostName(char (&dest)[N], const char* source) {
    return copyHostName(dest, N, source);
}
