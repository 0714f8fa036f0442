#pragma once

// The reach file of an ISYBAU fixed-width delivery: inspections, their reaches and the
// observations along each reach.

#include "datasources/IsybauRecordParser.h"

#include <vector>

namespace kanvio {

namespace isybauh {

// One observation (record kind 4 with its continuation records).
struct TReachDetail {
    uint16_t Station = 0; // hundredths, low 16 bits
    uint16_t CounterHours = 0;
    uint8_t CounterMinutes = 0;
    uint8_t CounterSeconds = 0;
    std::string Code;
    std::string Remark; // the continuation texts, joined without a separator
    int LineNumber = 0; // where the observation stands in the file
};
using TAReachDetail = std::vector<TReachDetail>;

// One inspected reach (record kinds 2 and 3).
struct TReach {
    std::string Number;
    std::string Street;
    TAReachDetail Details;
};
using TAReaches = std::vector<TReach>;

// One inspection (record kind 1).
struct TInspection {
    QDate Date;
    std::string City;
    std::string Company;
    TAReaches Items;
};
using TAInspection = std::vector<TInspection>;

} // namespace isybauh

class TISYBAUHParser final : public TBaseISYBAUParser {
public:
    TISYBAUHParser();

    // Reads the whole file into Inspections; see TBaseISYBAUParser::ParseFile for errors.
    void Parse(const std::string& fileName) { ParseFile(fileName); }
    // The same for a file given as its bytes; fileName names it in messages.
    void Parse(std::string_view bytes, const std::string& fileName) { ParseBytes(bytes, fileName); }

    isybauh::TAInspection Inspections;

protected:
    void AddInspection(const QDate& date, std::string city, std::string company) override;
    bool AddItem(std::string number, std::string street) override;
    bool HasCurrentItem() const override;
    bool AddObservation(isybau::TObservationFields fields) override;
    bool AppendRemark(std::string_view text) override;

private:
    isybauh::TReach* currentReach_ = nullptr;
};

} // namespace kanvio
