#include "datasources/IsybauDataTreeBuilder.h"

#include "datasources/IsybauConnectionParser.h"
#include "datasources/IsybauReachParser.h"
#include "foundation/AnsiText.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"

#include <QLocale>
#include <filesystem>
#include <map>

namespace kanvio {

namespace isybau {

namespace {

// "hh:mm:ss" with at least two digits a part; called once per observation, so no printf.
std::string TwoDigitTime(int64_t hours, int64_t minutes, int64_t seconds) {
    std::string text;
    text.reserve(12);
    auto append = [&text](int64_t value) {
        const std::string digits = std::to_string(value);
        if (digits.size() < 2)
            text.push_back('0');
        text += digits;
    };
    append(hours);
    text.push_back(':');
    append(minutes);
    text.push_back(':');
    append(seconds);
    return text;
}

// Structure is the source's reach or connection record; both have the same fields.
template <typename TStructure>
TReachDataRef MakeStructure(TStructure& item, char objectType, const std::string& city,
                            const std::string& date, const std::string& company,
                            const std::string& fileName, std::vector<std::string>& warnings) {
    auto structure = std::make_shared<TReachData>();
    structure->city = city;
    structure->date = date;
    structure->InspectingCompany = company;
    // The parser is thrown away afterwards: its texts move into the model.
    structure->street = std::move(item.Street);
    if (objectType == 'H')
        structure->ReachNumber = std::move(item.Number);
    else
        structure->ConnectionNumber = std::move(item.Number);
    // The files carry no length the graphic could use: every structure spans 0 to 2000.
    structure->StartDist = 0.0;
    structure->EndDist = 2000.0;
    structure->ObjectType = objectType;
    structure->Details.reserve(item.Details.size());
    for (auto& observation : item.Details) {
        TReachDetail& detail = structure->Details.emplace_back();
        detail.Distance = observation.Station;
        detail.Text = std::move(observation.Remark);
        detail.Text.insert(0, "(" + observation.Code + ") ");
        detail.CounterHours = observation.CounterHours;
        detail.CounterMinutes = observation.CounterMinutes;
        detail.CounterSeconds = observation.CounterSeconds;
        bool asItStands = true;
        detail.VideoTime = CounterToVideoTime(observation.CounterHours, observation.CounterMinutes,
                                              observation.CounterSeconds, &asItStands);
        if (!asItStands) {
            warnings.push_back(fileName + ", line " + std::to_string(observation.LineNumber) +
                               ": the video counter " +
                               TwoDigitTime(observation.CounterHours, observation.CounterMinutes,
                                            observation.CounterSeconds) +
                               " has a part of three digits; the observation is placed at " +
                               detail.VideoTime);
            LogLine(warnings.back(), LOG_WARNING);
        }
    }
    return structure;
}

// Parse reads the file into the parser it is given, from the disk or from memory.
template <typename TParser, typename TParse>
void AppendParsed(const TParse& parse, const std::string& fileName, char objectType,
                  TAReachData& target, std::vector<std::string>& warnings) {
    TParser parser;
    std::map<QDate, std::string> dates; // many inspections share their day
    auto appendParsed = [&] {
        for (const std::string& warning : parser.Warnings()) {
            LogLine(warning, LOG_WARNING);
            warnings.push_back(warning);
        }
        for (auto& inspection : parser.Inspections) {
            auto [date, isNew] = dates.try_emplace(inspection.Date);
            if (isNew)
                date->second = FormatInspectionDate(inspection.Date);
            for (auto& item : inspection.Items)
                target.push_back(MakeStructure(item, objectType, inspection.City, date->second,
                                               inspection.Company, fileName, warnings));
        }
    };
    try {
        parse(parser);
    } catch (...) {
        // What was read before the error stays in the model, as the caller expects.
        appendParsed();
        throw;
    }
    appendParsed();
}

template <typename TParse>
void AppendFile(const TParse& parse, const std::string& fileName, char objectType,
                TKanvioDataModel& model) {
    if (objectType == 'H')
        AppendParsed<TISYBAUHParser>(parse, fileName, objectType, model.Reaches, model.Warnings);
    else
        AppendParsed<TISYBAULHParser>(parse, fileName, objectType, model.Connections,
                                      model.Warnings);
}

bool IsExistingFile(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

} // namespace

std::string CounterToVideoTime(uint16_t hours, uint8_t minutes, uint8_t seconds, bool* asItStands) {
    const bool twoDigitParts = minutes <= 99 && seconds <= 99;
    if (asItStands)
        *asItStands = twoDigitParts;
    if (twoDigitParts)
        return TwoDigitTime(hours, minutes, seconds);
    // Minutes or seconds of three digits would shift the seconds out of their columns.
    const int64_t total = int64_t{hours} * 3600 + int64_t{minutes} * 60 + seconds;
    return TwoDigitTime(total / 3600, total % 3600 / 60, total % 60);
}

void AppendStructures(char objectType, std::string_view bytes, const std::string& fileName,
                      TKanvioDataModel& model) {
    const auto parse = [&](auto& parser) {
        parser.Parse(bytes, fileName);
    };
    AppendFile(parse, fileName, objectType, model);
}

std::string FormatInspectionDate(const QDate& date) {
    return QStringToAnsi(QLocale().toString(date, QLocale::ShortFormat));
}

std::string ResolveProjectFile(const std::string& name) {
    if (name.empty())
        return {};
    return FindFileIgnoringCase(GetProjectFolder() + ToNativeSeparators(name));
}

} // namespace isybau

TISYBAUDataTreeBuilder::TISYBAUDataTreeBuilder(std::string reachFileName,
                                               std::string connectionFileName)
    : reachFileName_(std::move(reachFileName)), connectionFileName_(std::move(connectionFileName)) {
}

void TISYBAUDataTreeBuilder::BuildDataTree(TKanvioDataModel& model) {
    const std::string reachFile = isybau::ResolveProjectFile(reachFileName_);
    if (isybau::IsExistingFile(reachFile))
        isybau::AppendFile([&](auto& parser) { parser.Parse(reachFile); }, reachFile, 'H', model);
    const std::string connectionFile = isybau::ResolveProjectFile(connectionFileName_);
    if (isybau::IsExistingFile(connectionFile))
        isybau::AppendFile([&](auto& parser) { parser.Parse(connectionFile); }, connectionFile, 'A',
                           model);
}

} // namespace kanvio
