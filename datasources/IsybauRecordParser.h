#pragma once

// What the reach and connection parsers of the fixed-width ISYBAU files share: reading the
// file line by line, the two header lines, column extraction, field conversion and the
// dispatch of records by their kind in column 4.

#include "foundation/Errors.h"

#include <QDate>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kanvio {

// A record line that cannot be read. The message names the file and the line:
// "<file>, line <n>: Invalid data".
class EInvalidIsybauData : public EConvertError {
public:
    EInvalidIsybauData(const std::string& fileName, int lineNumber);
    const std::string& FileName() const { return fileName_; }
    int LineNumber() const { return lineNumber_; }

private:
    std::string fileName_;
    int lineNumber_;
};

namespace isybau {

// Signed 32-bit decimal integer, or hexadecimal after a "$" (the sign goes before it).
// Blanks around the number are not accepted; the caller trims.
std::optional<int32_t> TryParseInteger(std::string_view text);
// Decimal number with "." or "," as the separator and an optional exponent; independent of
// the locale. Infinite or not-a-number results do not convert.
std::optional<double> TryParseDecimal(std::string_view text);
// Nearest integer, halves to the even neighbour; values beyond 64 bits give nullopt.
std::optional<int64_t> RoundHalfEven(double value);

// Where the fields of an observation record lie; columns count from 1.
struct TRecordLayout {
    int NumberColumn, NumberWidth; // kind 2
    int StreetColumn, StreetWidth; // kind 2
    int StationColumn;             // kind 4, six columns, times 100
    int HoursColumn;               // five columns
    int MinutesColumn;             // two columns
    int SecondsColumn;             // two columns
    int CodeColumn;                // seven columns; "II" here marks a continuation
};

// The fields of an observation record that the program uses.
struct TObservationFields {
    uint16_t Station = 0;
    uint16_t CounterHours = 0;
    uint8_t CounterMinutes = 0;
    uint8_t CounterSeconds = 0;
    std::string Code;
    int LineNumber = 0;
};

} // namespace isybau

class TBaseISYBAUParser {
public:
    virtual ~TBaseISYBAUParser() = default;

    // Header line 1: columns 3-6, 8-17, 18-27, 38-52, 53-62 and the date at column 63;
    // line 2: columns 3-12, 13-22, 23-37, 38-52, 53-62, 63-67. Kept, not used.
    std::string HeaderTexts1[5];
    QDate HeaderDate;
    std::string HeaderTexts2[6];

    const std::string& FileName() const { return fileName_; }
    // What was read but looks damaged, each naming the file and the line.
    const std::vector<std::string>& Warnings() const { return warnings_; }

    // Field readers on the current line; columns count from 1. The part of a field beyond
    // the end of the line is empty; leading and trailing bytes up to code 32 are removed.
    // Numbers that do not convert give 0 and are kept in the field's width.
    std::string ReadText(int column, int width) const;
    int16_t ReadSmallInt(int column, int width) const;
    int8_t ReadByte(int column, int width) const;
    double ReadFloat(int column, int width) const;
    // Day at column, month at column + 3, year at column + 6 (four columns); today's date
    // when a part does not convert or the parts form no valid date.
    QDate ReadDate(int column) const;
    void ReadHeader(std::string_view line1, std::string_view line2);

    // Makes a copy of a text the current line (the field readers work on it).
    void SetCurrentLine(std::string_view line) {
        ownLine_.assign(line);
        line_ = ownLine_;
    }

protected:
    explicit TBaseISYBAUParser(const isybau::TRecordLayout& layout) : layout_(layout) {}

    // Reads the whole file and hands every record to the hooks below. Throws EInOutError
    // when the file cannot be read and EInvalidIsybauData for a record that cannot be read;
    // what was read up to then stays with the parser.
    void ParseFile(const std::string& fileName);
    // The same for a file given as its bytes; fileName names it in messages.
    void ParseBytes(std::string_view bytes, const std::string& fileName);

    // Hooks of the concrete parsers. Each returns false when the record has nothing to
    // attach to (no inspection, no current structure, no observation).
    virtual void AddInspection(const QDate& date, std::string city, std::string company) = 0;
    virtual bool AddItem(std::string number, std::string street) = 0;
    virtual bool HasCurrentItem() const = 0;
    virtual bool AddObservation(isybau::TObservationFields fields) = 0;
    virtual bool AppendRemark(std::string_view text) = 0;

private:
    std::string_view FieldView(int column, int width) const;
    int32_t ReadInteger(int column, int width) const;
    // A "times 100" decimal field kept in 16 bits.
    uint16_t ReadHundredths16(int column, int width) const;
    void DispatchRecord();
    [[noreturn]] void RaiseInvalidData() const;

    isybau::TRecordLayout layout_;
    std::string fileName_;
    std::string ownLine_; // a line given by SetCurrentLine
    std::string_view line_;
    int lineNumber_ = 0;
    std::vector<std::string> warnings_;
    // Set by the field readers when the current line ends inside the field they read.
    mutable bool fieldCut_ = false;
};

} // namespace kanvio
