// A moment of the wall clock as its calendar fields, and its two printed forms: UTC with
// milliseconds for machine-read reports, local time with its offset for the line that
// heads a timed report. They belong to the program's one calendar, which the timeline
// uses too; the clock itself is read by the platform part (console_*.cpp).
#pragma once

#include "calendar/calendar.h"
