#pragma once

// Record lines for the parser tests, laid out column by column.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kanvio::test {

// A line of width blanks with the kind in column 4 and each text placed at its column
// (counted from 1). Texts longer than the line extend it.
inline std::string RecordLine(char kind,
                              const std::vector<std::pair<int, std::string_view>>& fields,
                              size_t width = 80) {
    std::string line(width, ' ');
    line[3] = kind;
    for (const auto& [column, text] : fields) {
        const size_t at = static_cast<size_t>(column) - 1;
        if (line.size() < at + text.size())
            line.resize(at + text.size(), ' ');
        line.replace(at, text.size(), text);
    }
    return line;
}

inline const std::string& HeaderLines() {
    static const std::string header = RecordLine('0', {{1, "#H"}, {63, "01.02.2005"}}) + "\r\n" +
                                      RecordLine('0', {{1, "#Z"}, {3, "Kanvio"}}) + "\r\n";
    return header;
}

} // namespace kanvio::test
