#include "tools/mkproject/ProjectFiles.h"

#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"
#include "tools/mkproject/IsybauWriter.h"

#include <cstdio>
#include <filesystem>
#include <set>

namespace kanvio::generator {

namespace {

namespace fs = std::filesystem;

// Windows colour values (red in the low byte) of defect classes 0 to 5: grey, then green,
// yellow, orange, red and purple for growing damage.
constexpr int DefectClassColours[6] = {0x808080, 0x00A000, 0x00DCFF, 0x008CFF, 0x0000DC, 0x800080};

std::string Line(const std::string& text) {
    return text + "\r\n";
}

std::string DateText(const TGeneratedInspection& inspection) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", inspection.Day, inspection.Month,
                  inspection.Year);
    return text;
}

std::string EscapeXml(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

void AppendInspections(std::string& xml, const std::vector<TGeneratedInspection>& inspections,
                       const TGeneratedProject& project, const char* kind) {
    for (const auto& inspection : inspections) {
        xml += Line("  <Untersuchung Art=\"" + std::string(kind) + "\" Ort=\"" +
                    EscapeXml(inspection.City) + "\" Datum=\"" + DateText(inspection) + "\">");
        std::set<int> films;
        for (const auto& item : inspection.Items)
            if (item.FilmIndex >= 0 && films.insert(item.FilmIndex).second) {
                const auto& film = project.Films[static_cast<size_t>(item.FilmIndex)];
                xml += Line("    <Film Filmname=\"" + EscapeXml(film.FileName) + "\">");
                xml += Line("      <Filmbeginn>" + TimelineText(item.StartTime) + "</Filmbeginn>");
                xml += Line("    </Film>");
            }
        xml += Line("  </Untersuchung>");
    }
}

} // namespace

std::string TimelineText(int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds % 3600 / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

std::string FormatKanvioIni(const TGeneratedProject& project, TDelivery delivery) {
    const bool database = delivery == TDelivery::Database;
    const auto structures = project.StructuresInTimelineOrder();
    int64_t totalLength = 0;
    std::string films;
    int count = 0;
    for (const auto* structure : structures) {
        if (structure->FilmIndex < 0)
            continue;
        const auto& film = project.Films[static_cast<size_t>(structure->FilmIndex)];
        const int64_t length = structure->StopTime - structure->StartTime;
        totalLength += length;
        films += Line(std::to_string(++count) + "=" + film.FileName + ";" +
                      TimelineText(structure->StartTime) + ";" + TimelineText(structure->StopTime) +
                      ";" + std::to_string(length) + ";" + structure->ObjectType + ";" +
                      (database ? std::to_string(structure->RowNumber) : std::string()));
    }

    std::string ini;
    ini += Line("[DATA]");
    ini += Line("Projekt=" + project.ReachFileName);
    ini += Line("ProjektA=" + project.ConnectionFileName);
    ini += Line("QE_ISYBAU=" + project.ZFFileName);
    ini += Line("FramesPerSeconds=" + std::to_string(project.FramesPerSecond));
    ini += Line("Linear=1.000000");
    ini += Line("LaengeOffset=+00:00:00");
    ini += Line("FilmLength=" + std::to_string(totalLength));
    if (count > 0) {
        ini += Line("[FILME]");
        ini += Line("Count=" + std::to_string(count));
        ini += films;
    }
    ini += Line("[common]");
    ini += Line("language=de");
    ini += Line("DisplayConnectionMode=1");
    ini += Line(database ? "LengthUnit=m" : "LengthUnit=cm");
    ini += Line(database ? "LengthFormat=0.00" : "LengthFormat=0");
    ini += Line("[Debug]");
    ini += Line("LogLevel=0");
    ini += Line("[DefaultDefectClass]");
    for (int i = 0; i < 6; ++i)
        ini += Line(std::to_string(i) + "=" + std::to_string(DefectClassColours[i]));
    return ini;
}

std::string FormatZFFile(const TGeneratedProject& project) {
    std::string xml = Line("<?xml version=\"1.0\" encoding=\"windows-1252\"?>");
    xml += Line("<Zeitreferenzen>");
    AppendInspections(xml, project.ReachInspections, project, "Haltung");
    AppendInspections(xml, project.ConnectionInspections, project, "Anschluss");
    xml += Line("</Zeitreferenzen>");
    return xml;
}

void WriteIsybauProject(const TGeneratedProject& project, const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    const fs::path base(folder);
    WriteFileAtomically((base / "Kanvio.ini").string(), FormatKanvioIni(project));
    WriteFileAtomically((base / project.ReachFileName).string(), FormatReachFile(project));
    WriteFileAtomically((base / project.ConnectionFileName).string(),
                        FormatConnectionFile(project));
    WriteFileAtomically((base / project.ZFFileName).string(), FormatZFFile(project));
}

int CopyMediumFiles(const std::string& mediumFolder, const std::string& folder) {
    std::error_code error;
    if (mediumFolder.empty() || !fs::is_directory(mediumFolder, error))
        return 0;
    int copied = 0;
    for (auto it = fs::recursive_directory_iterator(mediumFolder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it.depth() > 1 || !it->is_regular_file(error))
            continue;
        const std::string name = it->path().filename().string();
        const bool language = name.starts_with("lang_kanvio_") && name.ends_with(".ini");
        const bool help = name.starts_with("help") && name.ends_with(".html");
        const bool codeTexts = name == "kanvio_codes.txt";
        if (!language && !help && !codeTexts)
            continue;
        const fs::path target = fs::path(folder) / fs::relative(it->path(), mediumFolder);
        fs::create_directories(target.parent_path());
        fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing);
        ++copied;
    }
    return copied;
}

} // namespace kanvio::generator
