#pragma once

// The data source of projects delivered as ISYBAU fixed-width files: a reach file and a
// connection file, named in Kanvio.ini relative to the program folder.

#include "core/KanvioDataModel.h"

#include <QDate>
#include <cstdint>
#include <string>

namespace kanvio {

class TISYBAUDataTreeBuilder final : public IDataTreeBuilder {
public:
    TISYBAUDataTreeBuilder(std::string reachFileName, std::string connectionFileName);

    // Appends every reach of the reach file and every connection of the connection file.
    // A missing file is skipped; errors of the parsers reach the caller, and what was
    // appended before stays in the model.
    void BuildDataTree(TKanvioDataModel& model) override;

    const std::string& ReachFileName() const { return reachFileName_; }
    const std::string& ConnectionFileName() const { return connectionFileName_; }

private:
    std::string reachFileName_;
    std::string connectionFileName_;
};

namespace isybau {

// The film time of a video counter as hh:mm:ss, each part at least two digits. The times
// of the project timeline hold two-digit hours; a counter beyond 99:59:59 (or a minute or
// second part of three digits, which only odd data give) yields its total time as
// hh:mm:ss, kept at 99:59:59 at most. fitsTimeline tells whether the counter was
// representable as it stands.
std::string CounterToVideoTime(uint16_t hours, uint8_t minutes, uint8_t seconds,
                               bool* fitsTimeline = nullptr);

// An inspection date as the user's short date format shows it (Windows-1252 bytes).
std::string FormatInspectionDate(const QDate& date);

// The file an ISYBAU file name of the settings names: relative to the program folder,
// "\" accepted as separator, letter case ignored. Empty when name is empty.
std::string ResolveProjectFile(const std::string& name);

} // namespace isybau

} // namespace kanvio
