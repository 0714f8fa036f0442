#pragma once

// The inspection report as a PDF document (A4 portrait, fonts embedded): a title page with
// the delivery, towns, dates, companies and the counts of structures and of observations
// by defect class; then per structure its information panel's fields, its graphic, the
// table of its observations and their pictures with captions. Every page carries the
// delivery's name and its number. Texts follow the chosen language.

#include "core/KanvioDataModel.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kanvio {

class TKanvioContext;
class TObservationPictureSource;

// Defect classes as the report groups them: 0 without a class, classes above 5 as 5 (the
// colour they are drawn in).
int ReportClassOf(int32_t defectClass);

struct TReportCounts {
    size_t Reaches = 0;
    size_t Connections = 0;
    size_t Observations = 0;
    std::array<size_t, 6> ByClass{}; // index: ReportClassOf
};
TReportCounts CountReport(const std::vector<const TReachData*>& structures);

// The reaches, then the connections of the delivery.
std::vector<const TReachData*> AllStructures(const TKanvioContext& context);

class TInspectionReport {
public:
    // Before structure number index (0-based) of total is written; false cancels.
    using TProgress = std::function<bool(size_t index, size_t total, const TReachData& structure)>;

    TInspectionReport(const TKanvioContext& context, TObservationPictureSource& pictures);

    // Writes the report of structures into fileName, whole or not at all: false when it
    // was cancelled (no file is left). Throws EInOutError naming the file.
    bool Write(const std::string& fileName, const std::vector<const TReachData*>& structures,
               const TProgress& progress = {});

    // Observations whose picture could not be had in the last Write (shown as "no picture").
    size_t MissingPictures() const { return missingPictures_; }

private:
    const TKanvioContext& context_;
    TObservationPictureSource& pictures_;
    size_t missingPictures_ = 0;
};

} // namespace kanvio
