#pragma once

// The data source of projects delivered as ISYBAU fixed-width files: a reach file and a
// connection file, named in Kanvio.ini relative to the program folder.

#include "core/KanvioDataModel.h"

#include <QDate>
#include <cstdint>
#include <string>
#include <string_view>

namespace kanvio {

class TISYBAUDataTreeBuilder final : public IDataTreeBuilder {
public:
    TISYBAUDataTreeBuilder(std::string reachFileName, std::string connectionFileName);

    // Appends every reach of the reach file and every connection of the connection file.
    // A missing file is skipped; errors of the parsers reach the caller, and what was
    // appended before stays in the model. Warnings about damaged records are logged and
    // added to the model's Warnings.
    void BuildDataTree(TKanvioDataModel& model) override;

    const std::string& ReachFileName() const { return reachFileName_; }
    const std::string& ConnectionFileName() const { return connectionFileName_; }

private:
    std::string reachFileName_;
    std::string connectionFileName_;
};

namespace isybau {

// The film time of a video counter as hours ":" minutes ":" seconds, each part at least two
// digits; hours of 100 or more give three digits or more, as the timeline reads them. A
// minute or second part of three digits (only odd data give one) would move the seconds
// out of their columns: such a counter yields its total time instead, and asItStands
// tells so.
std::string CounterToVideoTime(uint16_t hours, uint8_t minutes, uint8_t seconds,
                               bool* asItStands = nullptr);

// The structures of a reach file (objectType 'H') or a connection file ('A') given as its
// bytes, appended to the model as BuildDataTree appends them; fileName names the file in
// messages. Throws as the parsers do; what was read before stays in the model.
void AppendStructures(char objectType, std::string_view bytes, const std::string& fileName,
                      TKanvioDataModel& model);

// An inspection date as the user's short date format shows it (Windows-1252 bytes).
std::string FormatInspectionDate(const QDate& date);

// The file an ISYBAU file name of the settings names: relative to the program folder,
// "\" accepted as separator, letter case ignored. Empty when name is empty.
std::string ResolveProjectFile(const std::string& name);

} // namespace isybau

} // namespace kanvio
