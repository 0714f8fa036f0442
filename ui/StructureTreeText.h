#pragma once

// The rows of the single window's structure list: fixed columns in a monospace font, so
// that the reaches or connections and their observations line up.

#include "core/KanvioDataModel.h"

#include <string>

namespace kanvio {

// The row of a reach or connection: number, date, city, street, start and end manhole.
std::string StructureRowText(const TReachData& structure);
// The row of an observation: distance with its unit, film time and text. The distance is
// written with the separators the structure graphic uses, so that both show one number
// alike.
std::string ObservationRowText(const TReachDetail& detail, const std::string& lengthFormat,
                               const std::string& lengthUnit, char decimalSeparator,
                               char thousandSeparator);

} // namespace kanvio
