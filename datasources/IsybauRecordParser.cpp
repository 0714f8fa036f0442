#include "datasources/IsybauRecordParser.h"

#include "foundation/AtomicFile.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kanvio {

EInvalidIsybauData::EInvalidIsybauData(const std::string& fileName, int lineNumber)
    : EConvertError(fileName + ", line " + std::to_string(lineNumber) + ": Invalid data"),
      fileName_(fileName), lineNumber_(lineNumber) {}

namespace isybau {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<int32_t> TryParseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || (base == 16 && text.size() > 8))
        return std::nullopt;
    uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (base == 16) {
        // Hexadecimal texts name the 32 bits themselves: "$FFFFFFFF" is -1.
        const auto bits = static_cast<uint32_t>(magnitude);
        const auto value = static_cast<int32_t>(bits);
        return negative ? static_cast<int32_t>(0u - bits) : value;
    }
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    if (magnitude > static_cast<uint64_t>(limit))
        return std::nullopt;
    const auto value = static_cast<int64_t>(magnitude);
    return static_cast<int32_t>(negative ? -value : value);
}

std::optional<double> TryParseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    char buffer[65];
    size_t length = 0;
    bool separatorSeen = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+' && i == 0)
            continue; // from_chars takes no plus sign
        if (c == ',' || c == '.') {
            if (separatorSeen)
                return std::nullopt;
            separatorSeen = true;
            c = '.';
        }
        buffer[length++] = c;
    }
    if (length == 0)
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(buffer, buffer + length, value, std::chars_format::general);
    if (error != std::errc() || end != buffer + length || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int64_t> RoundHalfEven(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // the default mode rounds halves to even
    if (rounded < -9.2e18 || rounded > 9.2e18)
        return std::nullopt;
    return static_cast<int64_t>(rounded);
}

} // namespace isybau

std::string_view TBaseISYBAUParser::FieldView(int column, int width) const {
    if (column < 1 || width <= 0 || static_cast<size_t>(column) > line_.size())
        return {};
    if (static_cast<size_t>(column) + static_cast<size_t>(width) - 1 > line_.size())
        fieldCut_ = true;
    return isybau::TrimBlanks(
        line_.substr(static_cast<size_t>(column) - 1, static_cast<size_t>(width)));
}

std::string TBaseISYBAUParser::ReadText(int column, int width) const {
    return std::string(FieldView(column, width));
}

int32_t TBaseISYBAUParser::ReadInteger(int column, int width) const {
    return isybau::TryParseInteger(FieldView(column, width)).value_or(0);
}

int16_t TBaseISYBAUParser::ReadSmallInt(int column, int width) const {
    return static_cast<int16_t>(static_cast<uint16_t>(ReadInteger(column, width)));
}

int8_t TBaseISYBAUParser::ReadByte(int column, int width) const {
    return static_cast<int8_t>(static_cast<uint8_t>(ReadInteger(column, width)));
}

double TBaseISYBAUParser::ReadFloat(int column, int width) const {
    return isybau::TryParseDecimal(FieldView(column, width)).value_or(0.0);
}

uint16_t TBaseISYBAUParser::ReadHundredths16(int column, int width) const {
    const auto hundredths = isybau::RoundHalfEven(ReadFloat(column, width) * 100.0);
    return static_cast<uint16_t>(static_cast<uint64_t>(hundredths.value_or(0)));
}

QDate TBaseISYBAUParser::ReadDate(int column) const {
    const auto day = isybau::TryParseInteger(FieldView(column, 2));
    const auto month = isybau::TryParseInteger(FieldView(column + 3, 2));
    auto year = isybau::TryParseInteger(FieldView(column + 6, 4));
    if (day && month && year) {
        if (*year < 100)
            *year += *year >= 70 ? 1900 : 2000;
        if (*year >= 1 && *year <= 9999 && QDate::isValid(*year, *month, *day))
            return QDate(*year, *month, *day);
    }
    return QDate::currentDate();
}

void TBaseISYBAUParser::ReadHeader(std::string_view line1, std::string_view line2) {
    SetCurrentLine(line1);
    HeaderTexts1[0] = ReadText(3, 4);
    HeaderTexts1[1] = ReadText(8, 10);
    HeaderTexts1[2] = ReadText(18, 10);
    HeaderTexts1[3] = ReadText(38, 15);
    HeaderTexts1[4] = ReadText(53, 10);
    HeaderDate = ReadDate(63);
    SetCurrentLine(line2);
    HeaderTexts2[0] = ReadText(3, 10);
    HeaderTexts2[1] = ReadText(13, 10);
    HeaderTexts2[2] = ReadText(23, 15);
    HeaderTexts2[3] = ReadText(38, 15);
    HeaderTexts2[4] = ReadText(53, 10);
    HeaderTexts2[5] = ReadText(63, 5);
}

void TBaseISYBAUParser::RaiseInvalidData() const {
    throw EInvalidIsybauData(fileName_, lineNumber_);
}

void TBaseISYBAUParser::DispatchRecord() {
    if (line_.size() < 4)
        RaiseInvalidData();
    switch (line_[3]) {
    case '1':
        AddInspection(ReadDate(5), ReadText(15, 30), ReadText(45, 36));
        return;
    case '2':
        if (!AddItem(ReadText(layout_.NumberColumn, layout_.NumberWidth),
                     ReadText(layout_.StreetColumn, layout_.StreetWidth)))
            RaiseInvalidData();
        return;
    case '3':
        // The structure's further data are not used; the record still needs its structure.
        if (!HasCurrentItem())
            RaiseInvalidData();
        return;
    case '4': {
        const auto markAt = static_cast<size_t>(layout_.CodeColumn) - 1;
        if (line_.size() >= markAt + 2 && line_.substr(markAt, 2) == "II") {
            if (!AppendRemark(FieldView(57, 24)))
                RaiseInvalidData();
            return;
        }
        isybau::TObservationFields fields;
        fields.Station = ReadHundredths16(layout_.StationColumn, 6);
        fields.CounterHours = static_cast<uint16_t>(ReadSmallInt(layout_.HoursColumn, 5));
        fields.CounterMinutes = static_cast<uint8_t>(ReadByte(layout_.MinutesColumn, 2));
        fields.CounterSeconds = static_cast<uint8_t>(ReadByte(layout_.SecondsColumn, 2));
        fields.Code = ReadText(layout_.CodeColumn, 7);
        fields.LineNumber = lineNumber_;
        if (!AddObservation(std::move(fields)))
            RaiseInvalidData();
        return;
    }
    default:
        RaiseInvalidData();
    }
}

void TBaseISYBAUParser::ParseFile(const std::string& fileName) {
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes))
        throw EInOutError(fileName, "the file does not exist");
    ParseBytes(bytes, fileName);
}

void TBaseISYBAUParser::ParseBytes(std::string_view bytes, const std::string& fileName) {
    fileName_ = fileName;
    warnings_.clear();

    // Empty lines and one DOS end-of-file mark (Ctrl-Z) after the last record are what
    // editors and old tools leave behind, not records. An empty line between records is
    // still a record that cannot be read.
    size_t end = bytes.size();
    auto skipLineEnds = [&] {
        while (end > 0 && (bytes[end - 1] == '\n' || bytes[end - 1] == '\r'))
            --end;
    };
    skipLineEnds();
    if (end > 0 && bytes[end - 1] == '\x1A') {
        --end;
        skipLineEnds();
    }
    // Without a line end or an end-of-file mark the file may have been cut short.
    const bool lastLineClosed = end < bytes.size();
    const std::string_view text = bytes.substr(0, end);

    size_t position = 0;
    lineNumber_ = 0;
    auto nextLine = [&](std::string_view& line) {
        if (position >= text.size())
            return false;
        size_t lineEnd = text.find('\n', position);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        line = text.substr(position, lineEnd - position);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        position = lineEnd + 1;
        ++lineNumber_;
        return true;
    };

    std::string_view line1, line2;
    if (!nextLine(line1) || !nextLine(line2))
        return; // fewer than two lines: no header, no records
    ReadHeader(line1, line2);
    // The current line points into bytes, which the caller may free once this returns.
    struct TLineReset {
        std::string_view& Line;
        ~TLineReset() { Line = {}; }
    } lineReset{line_};
    std::string_view record;
    while (nextLine(record)) {
        line_ = record;
        fieldCut_ = false;
        DispatchRecord();
        if (fieldCut_ && !lastLineClosed && position >= text.size()) {
            warnings_.push_back(fileName_ + ", line " + std::to_string(lineNumber_) +
                                ": the file ends inside a field of this record without a line "
                                "end; it may be cut short");
        }
    }
}

} // namespace kanvio
