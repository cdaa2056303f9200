// Letter case without the locale: only A-Z and a-z are folded onto each other; every
// other byte, those above 127 included, stands for itself. Host names, the /ip: option
// and the settings file's ending are compared this way.
#pragma once

inline char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
