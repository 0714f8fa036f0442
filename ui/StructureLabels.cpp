#include "ui/StructureLabels.h"

#include "foundation/RegistryManager.h"

#include <cstdio>

namespace kanvio {

namespace {

constexpr const char* kFieldSeparator = "   ";

} // namespace

std::string LabelRowValueName(TStructureKind kind, int32_t position) {
    return (kind == TStructureKind::Reach ? "LabelH" : "LabelA") + std::to_string(position);
}

TLabelRows ReadLabelRows(TStructureKind kind) {
    TLabelRows rows{};
    for (size_t i = 0; i < rows.size(); ++i) {
        const int32_t position = static_cast<int32_t>(i) + 1;
        rows[i] = ReadRegInteger("", LabelRowValueName(kind, position), position);
    }
    return rows;
}

std::vector<int32_t> ReadOpenEndedLabelRows(TStructureKind kind) {
    // Every sixth default is 0, so a settings file that stores no row beyond the fifth ends
    // the list at the sixth; the bound only guards against a file that stores thousands.
    constexpr int32_t kMostRows = 1000;
    std::vector<int32_t> rows;
    for (int32_t position = 1; position <= kMostRows; ++position) {
        const int32_t row = ReadRegInteger("", LabelRowValueName(kind, position), position % 6);
        if (row < 1) {
            break;
        }
        rows.push_back(row);
    }
    return rows;
}

std::string ConnectionText(const TReachData& connection, uint8_t displayConnectionMode) {
    switch (displayConnectionMode) {
    case 1:
        return connection.EndManholeNumber;
    case 2:
        return connection.direction ? connection.StartManholeNumber : connection.EndManholeNumber;
    default:
        return connection.ConnectionNumber;
    }
}

std::string StructureMenuCaption(const TReachData& structure, TStructureKind kind,
                                 const TAInspectionInfo& labelTable, std::span<const int32_t> rows,
                                 uint8_t displayConnectionMode) {
    std::string caption;
    for (const int32_t row : rows) {
        if (row < 1) {
            break;
        }
        // The label editor of another version may have stored rows this table lacks.
        if (static_cast<size_t>(row) >= labelTable.size()) {
            continue;
        }
        if (kind == TStructureKind::Connection && row == kConnectionInfoRow) {
            caption += ConnectionText(structure, displayConnectionMode);
            continue;
        }
        caption += GetFieldText(structure, labelTable[static_cast<size_t>(row)].PropertyName);
        caption += kFieldSeparator;
    }
    return caption;
}

std::string LengthText(double startDist, double endDist, char decimalSeparator) {
    const double length = endDist - startDist;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", length == 0.0 ? 0.0 : length);
    std::string text = buffer;
    for (char& c : text) {
        if (c == '.') {
            c = decimalSeparator;
        }
    }
    return text;
}

bool CanToggleManholes(const TReachData& structure) {
    return (structure.ObjectType == 'H' && !structure.direction) ||
           (structure.ObjectType == 'A' && structure.direction);
}

} // namespace kanvio
