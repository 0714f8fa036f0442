#pragma once

// Reading an XML delivery from a text in the tests, and its warnings as one text to look
// through and to show when a check fails.

#include "datasources/IsybauXmlReader.h"

#include <string>

namespace kanvio::test {

inline TKanvioDataModel ReadXmlDelivery(const std::string& xml, const std::string& fileName) {
    TKanvioDataModel model;
    ReadIsybauXml(xml, fileName, model, {});
    return model;
}

inline std::string AllWarnings(const TKanvioDataModel& model) {
    std::string all;
    for (const std::string& warning : model.Warnings)
        all += warning + "\n";
    return all;
}

} // namespace kanvio::test
