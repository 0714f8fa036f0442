#pragma once

// The connection file of an ISYBAU fixed-width delivery: inspections, their house
// connections and the observations along each connection.

#include "datasources/IsybauRecordParser.h"

#include <vector>

namespace kanvio {

namespace isybaulh {

// One observation (record kind 4 with its continuation records).
struct TConnectionDetail {
    uint16_t Station = 0; // hundredths, low 16 bits
    uint16_t CounterHours = 0;
    uint8_t CounterMinutes = 0;
    uint8_t CounterSeconds = 0;
    std::string Code;
    std::string Remark; // the continuation texts, joined without a separator
    int LineNumber = 0; // where the observation stands in the file
};
using TAConnectionDetail = std::vector<TConnectionDetail>;

// One inspected house connection (record kinds 2 and 3).
struct TConnection {
    std::string Number;
    std::string Street;
    TAConnectionDetail Details;
};
using TAConnection = std::vector<TConnection>;

// One inspection (record kind 1).
struct TInspection {
    QDate Date;
    std::string City;
    std::string Company;
    TAConnection Items;
};
using TAInspection = std::vector<TInspection>;

} // namespace isybaulh

class TISYBAULHParser final : public TBaseISYBAUParser {
public:
    TISYBAULHParser();

    // Reads the whole file into Inspections; see TBaseISYBAUParser::ParseFile for errors.
    void Parse(const std::string& fileName) { ParseFile(fileName); }
    // The same for a file given as its bytes; fileName names it in messages.
    void Parse(std::string_view bytes, const std::string& fileName) { ParseBytes(bytes, fileName); }

    isybaulh::TAInspection Inspections;

protected:
    void AddInspection(const QDate& date, std::string city, std::string company) override;
    bool AddItem(std::string number, std::string street) override;
    bool HasCurrentItem() const override;
    bool AddObservation(isybau::TObservationFields fields) override;
    bool AppendRemark(std::string_view text) override;

private:
    isybaulh::TConnection* currentConnection_ = nullptr;
};

} // namespace kanvio
