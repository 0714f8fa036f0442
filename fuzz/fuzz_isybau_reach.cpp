// Any bytes as a reach file: the data source either builds its model or raises one of the
// program's errors; it never reads past a line, crashes or hangs, and every observation's
// time reads back as the time of its counter.

#include "core/TimeText.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "foundation/Errors.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kanvio::TKanvioDataModel model;
    try {
        kanvio::isybau::AppendStructures('H', kanvio::fuzz::Bytes(data, size), "reach.txt", model);
    } catch (const kanvio::EKanvioError&) {
    }
    for (const auto& structure : model.Reaches) {
        for (const auto& detail : structure->Details) {
            int64_t seconds = -1;
            const int64_t counter = int64_t{detail.CounterHours} * 3600 +
                                    int64_t{detail.CounterMinutes} * 60 + detail.CounterSeconds;
            if (!kanvio::TryTimeTextToSeconds(detail.VideoTime, seconds) || seconds != counter)
                __builtin_trap(); // seeking would miss the observation
        }
    }
    return 0;
}
