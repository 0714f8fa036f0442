#pragma once

// What the reach and the connection targets share: any bytes as a fixed-width file of one
// kind either build structures or raise one of the program's errors, and every observation
// built has a time that reads back as the time of its counter.

#include "core/KanvioDataModel.h"
#include "core/TimeText.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "foundation/Errors.h"
#include "fuzz/FuzzInput.h"

namespace kanvio::fuzz {

inline void ReadIsybauFile(char kind, const char* name, const uint8_t* data, size_t size) {
    TKanvioDataModel model;
    try {
        isybau::AppendStructures(kind, Bytes(data, size), name, model);
    } catch (const EKanvioError&) {
    }
    for (const auto& structure : kind == 'H' ? model.Reaches : model.Connections) {
        for (const auto& detail : structure->Details) {
            int64_t seconds = -1;
            const int64_t counter = int64_t{detail.CounterHours} * 3600 +
                                    int64_t{detail.CounterMinutes} * 60 + detail.CounterSeconds;
            if (!TryTimeTextToSeconds(detail.VideoTime, seconds) || seconds != counter)
                __builtin_trap(); // seeking would miss the observation
        }
    }
}

} // namespace kanvio::fuzz
