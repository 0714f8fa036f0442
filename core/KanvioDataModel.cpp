#include "core/KanvioDataModel.h"

#include "foundation/AnsiText.h"

#include <array>
#include <charconv>
#include <string>

namespace kanvio {

namespace {

std::array<std::string, 2>& DirectionTexts() {
    static std::array<std::string, 2> texts;
    return texts;
}

using TStringField = std::string TReachData::*;
using TNumberField = double TReachData::*;

struct TStringFieldEntry {
    const char* Name;
    TStringField Field;
};
struct TNumberFieldEntry {
    const char* Name;
    TNumberField Field;
};

constexpr TStringFieldEntry kStringFields[] = {
    {"ID", &TReachData::ID},
    {"city", &TReachData::city},
    {"date", &TReachData::date},
    {"InspectingCompany", &TReachData::InspectingCompany},
    {"street", &TReachData::street},
    {"ReachNumber", &TReachData::ReachNumber},
    {"ConnectionNumber", &TReachData::ConnectionNumber},
    {"StartManholeNumber", &TReachData::StartManholeNumber},
    {"EndManholeNumber", &TReachData::EndManholeNumber},
    {"video", &TReachData::video},
    {"InspMode", &TReachData::InspMode},
    {"CodeDigit", &TReachData::CodeDigit},
    {"ZIP", &TReachData::ZIP},
};

constexpr TNumberFieldEntry kNumberFields[] = {
    {"StartDist", &TReachData::StartDist},
    {"EndDist", &TReachData::EndDist},
    {"InspLength", &TReachData::InspLength},
};

std::string FormatNumber(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

const std::string& TReachData::DirectionTxt() const {
    return DirectionTexts()[direction ? 1 : 0];
}

void SetDirectionTexts(std::string upstream, std::string downstream) {
    DirectionTexts() = {std::move(upstream), std::move(downstream)};
}

std::string GetFieldText(const TReachData& item, std::string_view fieldName) {
    for (const auto& entry : kStringFields) {
        if (SameText(fieldName, entry.Name)) {
            return item.*(entry.Field);
        }
    }
    if (SameText(fieldName, "DirectionTxt")) {
        return item.DirectionTxt();
    }
    for (const auto& entry : kNumberFields) {
        if (SameText(fieldName, entry.Name)) {
            return FormatNumber(item.*(entry.Field));
        }
    }
    if (SameText(fieldName, "ObjectType")) {
        return std::string(1, item.ObjectType);
    }
    if (SameText(fieldName, "direction")) {
        return item.direction ? "1" : "0";
    }
    return "<none>";
}

} // namespace kanvio
