// Any bytes as a reach file: the data source either builds its model or raises one of the
// program's errors; it never reads past a line, crashes or hangs, and every observation's
// time reads back as the time of its counter.

#include "fuzz/IsybauFileTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kanvio::fuzz::ReadIsybauFile('H', "reach.txt", data, size);
    return 0;
}
