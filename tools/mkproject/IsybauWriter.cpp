#include "tools/mkproject/IsybauWriter.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace kanvio::generator {

namespace {

constexpr size_t ContinuationWidth = 24;

// Where the two files differ: the columns of the structure and observation records.
struct TColumns {
    int NumberColumn, NumberWidth;
    int StreetColumn;
    int StartManholeColumn, EndManholeColumn, ManholeWidth;
    int MaterialColumn, WidthColumn, HeightColumn, ProfileColumn, LengthColumn;
    int StationColumn, HoursColumn, MinutesColumn, SecondsColumn, CodeColumn;
};

constexpr TColumns ReachColumns{5, 10, 20, 15, 25, 10, 39, 41, 45, 49, 53, 15, 22, 27, 29, 50};
constexpr TColumns ConnectionColumns{5, 14, 23, 19, 33, 14, 49, 51, 56, 60, 64, 19, 25, 30, 32, 53};

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string Metres(uint16_t hundredths) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
    return text;
}

std::string DateText(const TGeneratedInspection& inspection) {
    return TwoDigits(inspection.Day) + "." + TwoDigits(inspection.Month) + "." +
           std::to_string(inspection.Year);
}

void AppendLine(std::string& file, const TFixedWidthLine& line) {
    file += line.Text();
    file += "\r\n";
}

std::string FormatFile(const std::vector<TGeneratedInspection>& inspections,
                       const TColumns& columns, const char* fileKind) {
    std::string file;
    const std::string firstDate =
        inspections.empty() ? std::string("01.01.2000") : DateText(inspections.front());
    AppendLine(file, TFixedWidthLine('0')
                         .Put(1, 2, "#K")
                         .Put(3, 4, fileKind)
                         .Put(8, 10, "Kanvio")
                         .Put(18, 10, "1.0")
                         .Put(38, 15, "Kanalnetz")
                         .Put(53, 10, "Export")
                         .Put(63, 10, firstDate));
    AppendLine(file, TFixedWidthLine('0')
                         .Put(1, 2, "#K")
                         .Put(3, 10, "Auftrag")
                         .Put(13, 10, "2024-0815")
                         .Put(23, 15, "Inspektion")
                         .Put(38, 15, "TV-Untersuchung")
                         .Put(53, 10, "Befahrung")
                         .Put(63, 5, "1"));
    for (const auto& inspection : inspections) {
        AppendLine(file, TFixedWidthLine('1')
                             .Put(5, 10, DateText(inspection))
                             .Put(15, 30, inspection.City)
                             .Put(45, 36, inspection.Company));
        for (const auto& item : inspection.Items) {
            const char* nominalWidth = item.ObjectType == 'H' ? "300" : "150";
            AppendLine(file, TFixedWidthLine('2')
                                 .Put(columns.NumberColumn, columns.NumberWidth, item.Number)
                                 .Put(columns.StreetColumn, 30, item.Street));
            // Material, nominal width and height, profile and length: read by other tools.
            AppendLine(file,
                       TFixedWidthLine('3')
                           .Put(columns.StartManholeColumn, columns.ManholeWidth, item.StartManhole)
                           .Put(columns.EndManholeColumn, columns.ManholeWidth, item.EndManhole)
                           .Put(columns.MaterialColumn, 2, "B")
                           .Put(columns.WidthColumn, 4, nominalWidth, true)
                           .Put(columns.HeightColumn, 4, nominalWidth, true)
                           .Put(columns.ProfileColumn, 4, "KR")
                           .Put(columns.LengthColumn, 7, Metres(item.LengthHundredths), true));
            for (const auto& observation : item.Observations) {
                TFixedWidthLine record('4');
                record.Put(columns.StationColumn, 6, Metres(observation.StationHundredths), true)
                    .Put(columns.HoursColumn, 5, std::to_string(observation.CounterHours), true)
                    .Put(columns.MinutesColumn, 2, TwoDigits(observation.CounterMinutes))
                    .Put(columns.SecondsColumn, 2, TwoDigits(observation.CounterSeconds))
                    .Put(columns.SecondsColumn + 2, 2, "00")
                    .Put(columns.CodeColumn, 7, observation.Code);
                if (observation.DefectClass > 0)
                    record.Put(79, 2, std::to_string(observation.DefectClass), true);
                AppendLine(file, record);
                for (const auto& piece : SplitIntoContinuations(observation.Remark))
                    AppendLine(
                        file,
                        TFixedWidthLine('4').Put(columns.CodeColumn, 2, "II").Put(57, 24, piece));
            }
        }
    }
    return file;
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

TFixedWidthLine::TFixedWidthLine(char kind) : text_(80, ' ') {
    text_[3] = kind;
}

TFixedWidthLine& TFixedWidthLine::Put(int column, int width, std::string_view text,
                                      bool rightAligned) {
    text = text.substr(0, static_cast<size_t>(width));
    size_t at = static_cast<size_t>(column) - 1;
    if (rightAligned)
        at += static_cast<size_t>(width) - text.size();
    if (text_.size() < at + text.size())
        text_.resize(at + text.size(), ' ');
    text_.replace(at, text.size(), text);
    return *this;
}

std::vector<std::string> SplitIntoContinuations(std::string_view remark) {
    std::vector<std::string> pieces;
    while (!remark.empty()) {
        size_t cut = std::min(ContinuationWidth, remark.size());
        // A piece may neither end nor begin with a blank: the reader trims them away.
        while (cut < remark.size() && cut > 1 && (IsBlank(remark[cut - 1]) || IsBlank(remark[cut])))
            --cut;
        if (IsBlank(remark.front()) || IsBlank(remark[cut - 1]) ||
            (cut < remark.size() && IsBlank(remark[cut])))
            throw std::invalid_argument("a description cannot be split at its blanks: " +
                                        std::string(remark));
        pieces.emplace_back(remark.substr(0, cut));
        remark.remove_prefix(cut);
    }
    return pieces;
}

std::string FormatReachFile(const TGeneratedProject& project) {
    return FormatFile(project.ReachInspections, ReachColumns, "H");
}

std::string FormatConnectionFile(const TGeneratedProject& project) {
    return FormatFile(project.ConnectionInspections, ConnectionColumns, "A");
}

} // namespace kanvio::generator
