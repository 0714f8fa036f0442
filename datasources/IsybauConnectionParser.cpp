#include "datasources/IsybauConnectionParser.h"

namespace kanvio {

namespace {

constexpr isybau::TRecordLayout ConnectionLayout{
    .NumberColumn = 5,
    .NumberWidth = 14,
    .StreetColumn = 23,
    .StreetWidth = 30,
    .StationColumn = 19,
    .HoursColumn = 25,
    .MinutesColumn = 30,
    .SecondsColumn = 32,
    .CodeColumn = 53,
};

} // namespace

TISYBAULHParser::TISYBAULHParser() : TBaseISYBAUParser(ConnectionLayout) {}

void TISYBAULHParser::AddInspection(const QDate& date, std::string city, std::string company) {
    Inspections.push_back({date, std::move(city), std::move(company), {}});
    // Connections belong to their inspection: records of a new inspection never reach back
    // into the one before.
    currentConnection_ = nullptr;
}

bool TISYBAULHParser::AddItem(std::string number, std::string street) {
    if (Inspections.empty())
        return false;
    auto& items = Inspections.back().Items;
    items.push_back({std::move(number), std::move(street), {}});
    currentConnection_ = &items.back();
    return true;
}

bool TISYBAULHParser::HasCurrentItem() const {
    return currentConnection_ != nullptr;
}

bool TISYBAULHParser::AddObservation(isybau::TObservationFields fields) {
    if (!currentConnection_)
        return false;
    currentConnection_->Details.push_back({fields.Station,
                                           fields.CounterHours,
                                           fields.CounterMinutes,
                                           fields.CounterSeconds,
                                           std::move(fields.Code),
                                           {},
                                           fields.LineNumber});
    return true;
}

bool TISYBAULHParser::AppendRemark(std::string_view text) {
    if (!currentConnection_ || currentConnection_->Details.empty())
        return false;
    std::string& remark = currentConnection_->Details.back().Remark;
    if (remark.empty())
        remark.reserve(64); // room for the continuations and the code put in front later
    remark.append(text);
    return true;
}

} // namespace kanvio
