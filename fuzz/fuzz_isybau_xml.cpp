// Any bytes as an ISYBAU XML delivery: either the reader refuses them with one of the
// program's errors naming the file, or it gives a model whose films lie end to end from
// zero, whose observations all have a video time, and whose every warning names the file.

#include "core/TimeText.h"
#include "datasources/IsybauXmlReader.h"
#include "foundation/Errors.h"
#include "fuzz/FuzzInput.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = kanvio::fuzz::Bytes(data, size);
    kanvio::TKanvioDataModel model;
    try {
        kanvio::ReadIsybauXml(std::string(bytes), "f.xml", model, {});
    } catch (const kanvio::EConvertError& error) {
        if (std::string_view(error.what()).substr(0, 5) != "f.xml")
            __builtin_trap();
        return 0;
    }
    int64_t end = 0;
    for (const kanvio::TPlayListItem& film : model.Films) {
        if (film.StartTime != end || film.StopTime <= film.StartTime)
            __builtin_trap();
        end = film.StopTime;
    }
    for (const auto* list : {&model.Reaches, &model.Connections})
        for (const auto& structure : *list)
            for (const kanvio::TReachDetail& detail : structure->Details) {
                int64_t seconds = 0;
                if (!kanvio::TryTimeTextToSeconds(detail.VideoTime, seconds))
                    __builtin_trap();
            }
    for (const std::string& warning : model.Warnings)
        if (warning.substr(0, 5) != "f.xml")
            __builtin_trap();
    return 0;
}
