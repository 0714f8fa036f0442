// Any bytes as a connection file: the data source either builds its model or raises one of
// the program's errors; it never reads past a line, crashes or hangs.

#include "datasources/IsybauDataTreeBuilder.h"
#include "foundation/Errors.h"
#include "foundation/KanvioToolkit.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kanvio::fuzz::WriteInput("connection.txt", data, size);
    kanvio::SetProgramFolderForTesting(kanvio::fuzz::InputFolder().string() + "/");
    kanvio::TKanvioDataModel model;
    try {
        kanvio::TISYBAUDataTreeBuilder("", "connection.txt").BuildDataTree(model);
    } catch (const kanvio::EKanvioError&) {
    }
    for (const auto& connection : model.Connections)
        for (const auto& detail : connection->Details)
            if (detail.VideoTime.size() != 8)
                __builtin_trap(); // the timeline reads hh:mm:ss at fixed places
    return 0;
}
