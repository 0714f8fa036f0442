#pragma once

// The texts the main window shows for a structure: the menu captions built from the label
// rows the user chose ("LabelH1".."LabelH5", "LabelA1".."LabelA5"), the connection text of
// the connection display mode, and the values of the information panel.

#include "core/KanvioDataModel.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kanvio {

enum class TStructureKind { Reach, Connection };

// Label-table rows that name a structure in its menu, in caption order. 0 or less ends the
// caption; a row outside the label table shows nothing.
using TLabelRows = std::array<int32_t, 5>;

// The label table row of the connection text, which connection captions show without the
// blanks that follow every other field.
inline constexpr int32_t kConnectionInfoRow = 10;

// The registry value that stores the label row at a 1-based position: "LabelH"position
// for reaches, "LabelA"position for connections.
std::string LabelRowValueName(TStructureKind kind, int32_t position);

// The stored rows of the kind; a value that was never stored is its own position (1..5).
TLabelRows ReadLabelRows(TStructureKind kind);
// The single window's reading: "LabelH"j (or "LabelA"j) for j = 1, 2, ... with the default
// j mod 6, up to the first value below 1, which ends the list and is not part of it.
std::vector<int32_t> ReadOpenEndedLabelRows(TStructureKind kind);
inline std::vector<int32_t> ToVector(const TLabelRows& rows) {
    return {rows.begin(), rows.end()};
}

// 0: the connection number; 1: the end manhole; 2: the start manhole when the connection
// was inspected in the flow direction, else the end manhole. Other modes show the number.
std::string ConnectionText(const TReachData& connection, uint8_t displayConnectionMode);

// The menu caption: the field of each chosen row followed by three blanks.
std::string StructureMenuCaption(const TReachData& structure, TStructureKind kind,
                                 const TAInspectionInfo& labelTable, std::span<const int32_t> rows,
                                 uint8_t displayConnectionMode);

// EndDist - StartDist in general number format: up to 15 significant digits, exponent
// form only for very large or very small values, with the given decimal separator.
std::string LengthText(double startDist, double endDist, char decimalSeparator);

// Manhole labels can be swapped for a reach inspected against the flow and for a
// connection inspected in the flow direction.
bool CanToggleManholes(const TReachData& structure);

} // namespace kanvio
