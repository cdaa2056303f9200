// The printed forms of a wall-clock moment.
#include "wall_time.h"

#include <cstdio>

void formatUtcStamp(const WallTime& utc, char (&stamp)[kStampSize]) {
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ",
                  static_cast<int>(utc.year), static_cast<int>(utc.month), static_cast<int>(utc.day),
                  static_cast<int>(utc.hour), static_cast<int>(utc.minute),
                  static_cast<int>(utc.second), static_cast<int>(utc.millisecond));
}

void formatLocalStamp(const WallTime& local, char (&stamp)[kStampSize]) {
    const int offset = static_cast<int>(local.offsetMinutes);
    const int magnitude = offset < 0 ? -offset : offset;
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d %c%02d:%02d",
                  static_cast<int>(local.year), static_cast<int>(local.month),
                  static_cast<int>(local.day), static_cast<int>(local.hour),
                  static_cast<int>(local.minute), static_cast<int>(local.second),
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
}
