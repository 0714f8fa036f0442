#pragma once

// Milestones on the way from the program's start to the first frame on screen. When the
// environment sets KANVIO_STARTUP_TIMES, each milestone is printed to standard error the
// first time it is reached, as "kanvio-startup <ms> <milestone>" with the monotonic clock
// in milliseconds, so that whoever started the process sees where the time goes.
// Otherwise a mark costs one flag test.

namespace kanvio {

void MarkStartup(const char* milestone);

} // namespace kanvio
