#pragma once

// The fixed-width ISYBAU files of a generated project: the reach file and the connection
// file, 80 columns a line, CR LF line ends, Windows-1252 bytes.

#include "tools/mkproject/ProjectGenerator.h"

#include <string>
#include <string_view>
#include <vector>

namespace kanvio::generator {

// One record line: blanks, the kind in column 4 and fields placed by column (from 1).
class TFixedWidthLine {
public:
    explicit TFixedWidthLine(char kind);
    // Text longer than width is cut; rightAligned pads on the left.
    TFixedWidthLine& Put(int column, int width, std::string_view text, bool rightAligned = false);
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// A description split into the texts of continuation records (24 columns each) so that
// joining the trimmed pieces without a separator gives the description back: no piece
// begins or ends with a blank.
std::vector<std::string> SplitIntoContinuations(std::string_view remark);

std::string FormatReachFile(const TGeneratedProject& project);
std::string FormatConnectionFile(const TGeneratedProject& project);

} // namespace kanvio::generator
