#include "tools/mkproject/IsybauXmlWriter.h"

#include "foundation/AnsiText.h"
#include "foundation/AtomicFile.h"
#include "tools/mkproject/ProjectFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace kanvio::generator {

namespace {

class TXmlText {
public:
    explicit TXmlText(bool utf8) : utf8_(utf8) {}
    void Open(int depth, const char* name) { Indent(depth) += "<" + std::string(name) + ">\r\n"; }
    void Close(int depth, const char* name) { Indent(depth) += "</" + std::string(name) + ">\r\n"; }
    // An element with text; ansi is Windows-1252 as the generator keeps its texts.
    void Element(int depth, const char* name, const std::string& ansi) {
        Indent(depth) += "<" + std::string(name) + ">";
        for (const char c : utf8_ ? AnsiToUtf8(ansi) : ansi) {
            switch (c) {
            case '&':
                text_ += "&amp;";
                break;
            case '<':
                text_ += "&lt;";
                break;
            case '>':
                text_ += "&gt;";
                break;
            default:
                text_ += c;
            }
        }
        text_ += "</" + std::string(name) + ">\r\n";
    }
    void Raw(const std::string& text) { text_ += text; }
    std::string& Text() { return text_; }

private:
    std::string& Indent(int depth) { return text_.append(static_cast<size_t>(depth) * 2, ' '); }
    bool utf8_;
    std::string text_;
};

constexpr int kFps = 25;

std::string Timecode(int64_t seconds) {
    return TimelineText(seconds);
}

std::string Metres(uint16_t hundredths) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
    return text;
}

std::string IsoDate(const TGeneratedInspection& inspection) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", inspection.Year, inspection.Month,
                  inspection.Day);
    return text;
}

// The code as the exchange format splits it: main code, then up to two characterisations.
void WriteCode(TXmlText& xml, const std::string& code) {
    xml.Element(7, "InspektionsKode", code.substr(0, 3));
    if (code.size() > 3)
        xml.Element(7, "Charakterisierung1", code.substr(3, 1));
    if (code.size() > 4)
        xml.Element(7, "Charakterisierung2", code.substr(4));
}

// A film of the delivery: the structures it shows, one after the other on the timeline.
struct TFilmGroup {
    std::vector<const TGeneratedStructure*> Items;
    int64_t Start = 0;
    int64_t Stop = 0;
};

// Filmed structures in timeline order, gathered ObjectsPerFilm at a time into one film as
// long as each part follows the one before without a gap.
std::vector<TFilmGroup> FilmGroups(const TGeneratedProject& project,
                                   const TXmlDeliveryOptions& options) {
    std::vector<TFilmGroup> groups;
    for (const auto* item : project.StructuresInTimelineOrder()) {
        if (item->FilmIndex < 0)
            continue;
        if (groups.empty() ||
            groups.back().Items.size() >=
                static_cast<size_t>(std::max(1, options.ObjectsPerFilm)) ||
            groups.back().Stop != item->StartTime)
            groups.push_back({{}, item->StartTime, item->StartTime});
        groups.back().Items.push_back(item);
        groups.back().Stop = item->StopTime;
    }
    return groups;
}

// The classes of an observation as the exchange format grades them, 0 the gravest to 5 no
// defect: this program counts 1 the slightest to 5 the gravest. Tightness carries the
// grade; every fourth observation adds a milder stability class and a grave computed
// operation class that a class set by hand lifts to none, as an inspector overrules the
// software.
void WriteClassification(TXmlText& xml, int defectClass, size_t index) {
    const int grade = 5 - defectClass;
    xml.Open(7, "Klassifizierung");
    xml.Open(8, "Dichtheit");
    xml.Element(9, "SKDvAuto", std::to_string(grade));
    xml.Close(8, "Dichtheit");
    if (index % 4 == 0) {
        xml.Open(8, "Standsicherheit");
        xml.Element(9, "SKSvAuto", std::to_string(std::min(5, grade + 1)));
        xml.Close(8, "Standsicherheit");
        xml.Open(8, "Betriebssicherheit");
        xml.Element(9, "SKBvAuto", "0");
        xml.Element(9, "SKBvManu", "5");
        xml.Close(8, "Betriebssicherheit");
    }
    xml.Close(7, "Klassifizierung");
}

void WriteObservation(TXmlText& xml, const TGeneratedObservation& observation,
                      const TGeneratedStructure& item, const TFilmGroup* film,
                      const TXmlDeliveryOptions& options, size_t index) {
    xml.Open(6, "RZustand");
    if (options.Version != TXmlVersion::V2006_10)
        xml.Element(7, "Index", std::to_string(index + 1));
    xml.Element(7, "Station", Metres(observation.StationHundredths));
    const int64_t inFilm = observation.TimelineSeconds - (film != nullptr ? film->Start : 0);
    if (options.Position == TXmlVideoPosition::Frame && film != nullptr)
        xml.Element(7, "Frame", std::to_string(inFilm * kFps));
    else if (options.Position == TXmlVideoPosition::Counter)
        xml.Element(7, "Videozaehler", std::to_string(inFilm));
    else
        xml.Element(
            7, "Timecode",
            Timecode(inFilm + (film != nullptr ? int64_t{options.TimecodeStartHours} * 3600 : 0)));
    WriteCode(xml, observation.Code);
    if (options.FullObservations) {
        xml.Element(7, "Quantifizierung1Numerisch", std::to_string(index % 40 + 1));
        xml.Element(7, "Quantifizierung2Numerisch", std::to_string(index % 7));
        xml.Element(7, "Verbindung", "0");
        xml.Element(7, "PositionVon", std::to_string(index % 12 + 1));
        xml.Element(7, "PositionBis", std::to_string((index + 3) % 12 + 1));
        xml.Element(7, "Fotodatei", item.Number + "_" + std::to_string(index) + ".jpg");
        xml.Element(7, "Fotospeichermedium", "5");
    }
    if (!options.RequiredOnly) {
        xml.Element(7, "Kommentar", observation.Remark);
        if (observation.DefectClass > 0)
            WriteClassification(xml, observation.DefectClass, index);
    }
    xml.Close(6, "RZustand");
}

void WriteStructure(TXmlText& xml, const TGeneratedInspection& inspection, int order,
                    const TGeneratedStructure& item, const TFilmGroup* film,
                    const TXmlDeliveryOptions& options) {
    xml.Open(3, "InspizierteAbwassertechnischeAnlage");
    xml.Element(4, "Objektbezeichnung", item.Number);
    xml.Element(4, "Anlagentyp", item.ObjectType == 'H' ? "1" : "2");
    if (!options.RequiredOnly) {
        xml.Open(4, "Lage");
        xml.Element(5, "Strassenname", item.Street);
        xml.Element(5, "Ortsteilname", inspection.City);
        xml.Close(4, "Lage");
    }
    xml.Open(4, "OptischeInspektion");
    if (!options.RequiredOnly)
        xml.Element(5, "Auftragskennung", std::to_string(order));
    xml.Element(5, "Inspektionsdatum", IsoDate(inspection));
    xml.Open(5, "Rohrleitung");
    xml.Element(6, "Rohrleitungstyp", item.ObjectType == 'H' ? "0" : "1");
    xml.Element(6, "Inspektionsrichtung", "O");
    xml.Element(6, "Inspektionslaenge", Metres(item.LengthHundredths));
    xml.Open(6, "RGrunddaten");
    xml.Element(7, "KnotenZulauf", item.StartManhole);
    xml.Element(7, "KnotenAblauf", item.EndManhole);
    xml.Close(6, "RGrunddaten");
    xml.Open(6, "Inspektionsdaten");
    for (size_t i = 0; i < item.Observations.size(); ++i)
        WriteObservation(xml, item.Observations[i], item, film, options, i);
    xml.Close(6, "Inspektionsdaten");
    xml.Close(5, "Rohrleitung");
    xml.Close(4, "OptischeInspektion");
    xml.Close(3, "InspizierteAbwassertechnischeAnlage");
}

void WriteManhole(TXmlText& xml, int number) {
    xml.Open(3, "InspizierteAbwassertechnischeAnlage");
    xml.Element(4, "Objektbezeichnung", "S" + std::to_string(10000 + number));
    xml.Element(4, "Anlagentyp", "3");
    xml.Open(4, "OptischeInspektion");
    xml.Element(5, "Inspektionsdatum", "2017-07-01");
    xml.Open(5, "Knoten");
    xml.Open(6, "Inspektionsdaten");
    xml.Open(7, "KZustand");
    xml.Element(8, "InspektionsKode", "DDA");
    xml.Close(7, "KZustand");
    xml.Close(6, "Inspektionsdaten");
    xml.Close(5, "Knoten");
    xml.Close(4, "OptischeInspektion");
    xml.Close(3, "InspizierteAbwassertechnischeAnlage");
}

void WriteFilm(TXmlText& xml, const TGeneratedProject& project, const TFilmGroup& group,
               const TXmlDeliveryOptions& options) {
    const auto& film = project.Films[static_cast<size_t>(group.Items.front()->FilmIndex)];
    xml.Open(4, "Film");
    xml.Element(5, "Filmname", film.FileName);
    if (!options.FilmPath.empty() || options.FilmPathIsAbsolute) {
        xml.Element(5, "Filmpfad", options.FilmPath);
        xml.Element(5, "FilmpfadIstAbsolut", options.FilmPathIsAbsolute ? "true" : "false");
    }
    xml.Open(5, "Frame");
    xml.Element(6, "fps", std::to_string(kFps));
    xml.Element(6, "Start", "0");
    xml.Element(6, "Ende", std::to_string((group.Stop - group.Start) * kFps - 1));
    xml.Close(5, "Frame");
    xml.Open(5, "Offsets");
    xml.Open(6, "Offset");
    xml.Element(7, "Frame", "0");
    xml.Element(7, "Timecode", Timecode(int64_t{options.TimecodeStartHours} * 3600));
    xml.Close(6, "Offset");
    xml.Close(5, "Offsets");
    xml.Open(5, "FilmObjekte");
    for (const auto* item : group.Items) {
        xml.Open(6, "FilmObjekt");
        xml.Element(7, "Objektbezeichnung", item->Number);
        xml.Close(6, "FilmObjekt");
    }
    xml.Close(5, "FilmObjekte");
    xml.Close(4, "Film");
}

} // namespace

const char* VersionText(TXmlVersion version) {
    switch (version) {
    case TXmlVersion::V2006_10:
        return "2006-10";
    case TXmlVersion::V2013_02:
        return "2013-02";
    case TXmlVersion::V2017_07:
        break;
    }
    return "2017-07";
}

std::string FormatIsybauXml(const TGeneratedProject& project, const TXmlDeliveryOptions& options) {
    const bool utf8 = options.Version != TXmlVersion::V2006_10;
    TXmlText xml(utf8);
    xml.Raw(utf8 ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                 : "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n");
    // The 2017 schema moved to the namespace of its new publisher.
    xml.Raw(options.Version == TXmlVersion::V2017_07
                ? "<Identifikation xmlns=\"http://www.bfr-abwasser.de\">\r\n"
                : "<Identifikation xmlns=\"http://www.ofd-hannover.la/Identifikation\">\r\n");
    xml.Element(1, "Version", VersionText(options.Version));
    xml.Open(1, "Admindaten");
    xml.Element(2, "Liegenschaft", "Generated project");
    xml.Close(1, "Admindaten");
    xml.Open(1, "Datenkollektive");
    xml.Element(2, "Datenstatus", "2");
    xml.Open(2, "Zustandsdatenkollektiv");
    xml.Element(3, "Kennung", "ZUS01");
    std::vector<std::pair<const TGeneratedInspection*, int>> inspections;
    for (const auto* list : {&project.ReachInspections, &project.ConnectionInspections})
        for (const auto& inspection : *list)
            inspections.emplace_back(&inspection, static_cast<int>(inspections.size() + 1));
    if (!options.RequiredOnly) {
        xml.Open(3, "Auftraege");
        for (const auto& [inspection, order] : inspections) {
            xml.Open(4, "Auftrag");
            xml.Element(5, "Auftragskennung", std::to_string(order));
            xml.Element(5, "Auftragnehmer", inspection->Company);
            xml.Close(4, "Auftrag");
        }
        xml.Close(3, "Auftraege");
    }
    const std::vector<TFilmGroup> films = FilmGroups(project, options);
    std::map<const TGeneratedStructure*, const TFilmGroup*> filmOf;
    for (const TFilmGroup& film : films)
        for (const auto* item : film.Items)
            filmOf[item] = &film;
    for (const auto& [inspection, order] : inspections)
        for (const auto& item : inspection->Items) {
            const auto film = filmOf.find(&item);
            WriteStructure(xml, *inspection, order, item,
                           film == filmOf.end() ? nullptr : film->second, options);
        }
    for (int i = 0; i < options.ManholeInspections; ++i)
        WriteManhole(xml, i + 1);
    if (!films.empty()) {
        xml.Open(3, "Filme");
        for (const TFilmGroup& film : films)
            WriteFilm(xml, project, film, options);
        xml.Close(3, "Filme");
    }
    xml.Close(2, "Zustandsdatenkollektiv");
    xml.Close(1, "Datenkollektive");
    xml.Raw("</Identifikation>\r\n");
    return std::move(xml.Text());
}

std::string FormatXmlKanvioIni(const TGeneratedProject& project, const std::string& xmlFileName) {
    std::string ini = "[DATA]\r\n";
    if (!xmlFileName.empty())
        ini += "Projekt=" + xmlFileName + "\r\n";
    ini += "FramesPerSeconds=" + std::to_string(project.FramesPerSecond) + "\r\n";
    ini += "Linear=1.000000\r\nLaengeOffset=+00:00:00\r\n";
    ini += "[common]\r\nlanguage=de\r\nDisplayConnectionMode=1\r\nLengthUnit=m\r\n"
           "LengthFormat=0.00\r\n[Debug]\r\nLogLevel=0\r\n";
    return ini;
}

void WriteIsybauXmlProject(const TGeneratedProject& project, const std::string& folder,
                           const TXmlDeliveryOptions& options, const std::string& xmlFileName) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::filesystem::path base(folder);
    WriteFileAtomically((base / "Kanvio.ini").string(), FormatXmlKanvioIni(project, xmlFileName));
    WriteFileAtomically((base / xmlFileName).string(), FormatIsybauXml(project, options));
}

} // namespace kanvio::generator
