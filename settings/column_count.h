// How many columns the results list has: a row's texts and the clipboard's fields are
// built for them, and the settings file keeps a width for each ("C0" onwards).
#pragma once

constexpr int kColumnCount = 10;
