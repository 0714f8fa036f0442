#include "ui/StructureTreeText.h"

#include "ui/StructureGraphicText.h"

namespace kanvio {

namespace {

// Writes at most width characters of text into row from the 1-based column on, never past
// the row's end; what was there is overwritten.
void WriteColumn(std::string& row, size_t column, size_t width, const std::string& text) {
    const size_t start = column - 1;
    if (start >= row.size()) {
        return;
    }
    const size_t count = std::min({width, text.size(), row.size() - start});
    row.replace(start, count, text, 0, count);
}

} // namespace

std::string StructureRowText(const TReachData& structure) {
    std::string row(106, ' ');
    const bool byReachNumber = structure.ObjectType == 'H' || structure.ConnectionNumber.empty();
    WriteColumn(row, 1, 20, byReachNumber ? structure.ReachNumber : structure.ConnectionNumber);
    WriteColumn(row, 22, 10, structure.date);
    WriteColumn(row, 33, 20, structure.city);
    WriteColumn(row, 45, 30, structure.street);
    WriteColumn(row, 86, 10, structure.StartManholeNumber);
    WriteColumn(row, 97, 10, structure.EndManholeNumber);
    return row;
}

std::string ObservationRowText(const TReachDetail& detail, const std::string& lengthFormat,
                               const std::string& lengthUnit, char decimalSeparator,
                               char thousandSeparator) {
    std::string row(80, ' ');
    WriteColumn(row, 1, 10,
                FormatFloat(lengthFormat, detail.Distance, decimalSeparator, thousandSeparator) +
                    " " + lengthUnit);
    WriteColumn(row, 11, 9, detail.VideoTime);
    WriteColumn(row, 21, 50, detail.Text);
    return row;
}

} // namespace kanvio
