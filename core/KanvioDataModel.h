#pragma once

// The in-memory form of an inspection project: structures (reaches and house connections)
// with their observations, the film list and the structure label table. Texts are the
// delivery's Windows-1252 bytes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kanvio {

// One observation along a structure.
struct TReachDetail {
    double Distance = 0.0;
    std::string Code;        // observation code, e.g. "BCDA"
    std::string Text;        // "(" code ") " description [measures]
    std::string VideoTime;   // hh:mm:ss, what seeking uses
    int32_t DefectClass = 0; // 1..5 select a defect class colour, 0 means none
    uint16_t CounterHours = 0;
    uint8_t CounterMinutes = 0;
    uint8_t CounterSeconds = 0;
};
using TAReachDetail = std::vector<TReachDetail>;

// One reach (ObjectType 'H') or house connection ('A'). The fields keep the names the
// label table and GetFieldText look them up by.
class TReachData {
public:
    std::string ID;
    std::string city;
    std::string date;
    std::string InspectingCompany;
    std::string street;
    std::string ReachNumber;
    std::string ConnectionNumber;
    std::string StartManholeNumber;
    std::string EndManholeNumber;
    std::string video;
    double StartDist = 0.0;
    double EndDist = 0.0;
    char ObjectType = 'H';
    bool direction = false; // false: against the flow, true: with the flow
    std::string InspMode;
    double InspLength = 0.0;
    std::string CodeDigit;
    std::string ZIP;

    TAReachDetail Details;

    // The language text of "_Upstream" (false) or "_Downstream" (true); empty before the
    // player context has loaded its texts.
    const std::string& DirectionTxt() const;
};
using TReachDataRef = std::shared_ptr<TReachData>;
using TAReachData = std::vector<TReachDataRef>;

// The two global direction texts behind TReachData::DirectionTxt.
void SetDirectionTexts(std::string upstream, std::string downstream);

// One film of the film list.
struct TPlayListItem {
    // The film's key in [FILME]; its time corrections are in section "TIMECORR_" + Number.
    int32_t Number = 0;
    std::string FileName;
    int64_t StartTime = 0;
    int64_t StopTime = 0;
    std::string StartText;
    std::string StopText;
    std::string StructureType;
    std::string StructureID;
    // Further structures the same film shows, by type word and ID: a delivery may film
    // several inspections in one file.
    std::vector<std::pair<std::string, std::string>> MoreStructures;
    TReachData* Structure = nullptr;          // not owned; null when no structure was found
    std::vector<std::string> TimeCorrections; // "hh:mm:ss=seconds", kept sorted as text
    // False when the entry's time range is no time range: such a film keeps its number but
    // never covers a position of the timeline.
    bool Usable = true;
};
using TPlayList = std::vector<TPlayListItem>;

struct TKanvioDataModel {
    TAReachData Reaches;
    TAReachData Connections;
    // What the data source read but found damaged, each naming the file and the place;
    // already logged, kept for the command line, which has no log window to point to.
    std::vector<std::string> Warnings;
    // The films a delivery lists itself, end to end on the timeline in delivery order,
    // each naming its structure by type word and ID. They serve when the settings file
    // has no film list.
    TPlayList Films;
    // Manhole inspections of the delivery: counted, not yet shown.
    size_t ManholeInspections = 0;
};

struct TInspectionInfo {
    std::string PropertyName;
    std::string Caption;
};
using TAInspectionInfo = std::vector<TInspectionInfo>;

// Every inspection data source. BuildDataTree appends all reaches and connections of the
// project to an empty model; errors it does not handle itself are thrown to the caller.
class IDataTreeBuilder {
public:
    virtual ~IDataTreeBuilder() = default;
    virtual void BuildDataTree(TKanvioDataModel& model) = 0;
};
using TDataTreeBuilderRef = std::shared_ptr<IDataTreeBuilder>;

// The text of the named field of a structure: text fields as they are, DirectionTxt
// through its getter, numbers in decimal; "<none>" for a name that is no field. Names
// compare without regard to case.
std::string GetFieldText(const TReachData& item, std::string_view fieldName);

} // namespace kanvio
