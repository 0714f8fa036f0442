#include "datasources/IsybauReachParser.h"

namespace kanvio {

namespace {

constexpr isybau::TRecordLayout ReachLayout{
    .NumberColumn = 5,
    .NumberWidth = 10,
    .StreetColumn = 20,
    .StreetWidth = 30,
    .StationColumn = 15,
    .HoursColumn = 22,
    .MinutesColumn = 27,
    .SecondsColumn = 29,
    .CodeColumn = 50,
};

} // namespace

TISYBAUHParser::TISYBAUHParser() : TBaseISYBAUParser(ReachLayout) {}

void TISYBAUHParser::AddInspection(const QDate& date, std::string city, std::string company) {
    Inspections.push_back({date, std::move(city), std::move(company), {}});
    // Reaches belong to their inspection: records of a new inspection never reach back
    // into the one before.
    currentReach_ = nullptr;
}

bool TISYBAUHParser::AddItem(std::string number, std::string street) {
    if (Inspections.empty())
        return false;
    auto& items = Inspections.back().Items;
    items.push_back({std::move(number), std::move(street), {}});
    currentReach_ = &items.back();
    return true;
}

bool TISYBAUHParser::HasCurrentItem() const {
    return currentReach_ != nullptr;
}

bool TISYBAUHParser::AddObservation(isybau::TObservationFields fields) {
    if (!currentReach_)
        return false;
    currentReach_->Details.push_back({fields.Station,
                                      fields.CounterHours,
                                      fields.CounterMinutes,
                                      fields.CounterSeconds,
                                      std::move(fields.Code),
                                      {},
                                      fields.LineNumber});
    return true;
}

bool TISYBAUHParser::AppendRemark(std::string_view text) {
    if (!currentReach_ || currentReach_->Details.empty())
        return false;
    std::string& remark = currentReach_->Details.back().Remark;
    if (remark.empty())
        remark.reserve(64); // room for the continuations and the code put in front later
    remark.append(text);
    return true;
}

} // namespace kanvio
