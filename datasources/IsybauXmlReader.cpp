#include "datasources/IsybauXmlReader.h"

#include "core/TimeText.h"
#include "datasources/CodeTexts.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "datasources/IsybauXmlElements.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <unordered_map>

namespace kanvio {

namespace {

using namespace xmldelivery;

constexpr const char* kKnownVersions[] = {"2006-10", "2013-02", "2017-07"};
// Digital inspection films run at 25 frames a second unless a film says otherwise.
constexpr double kDefaultFps = 25.0;

struct TFilm {
    TPlayListItem Item;
    double Fps = kDefaultFps;
    int64_t StartFrame = 0;
    int64_t LastFrame = 0;
    // Frames with the time code shown on them, in delivery order.
    std::vector<std::pair<int64_t, double>> Offsets;
    // The objects the film shows, in delivery order.
    std::vector<std::string> Objects;

    double Seconds() const { return static_cast<double>(Item.StopTime - Item.StartTime); }
};

class TReader {
public:
    TReader(std::string_view bytes, const std::string& fileName, TKanvioDataModel& model,
            const TIsybauXmlSettings& settings)
        : places_(fileName, bytes), model_(model), settings_(settings) {}

    void Read(const pugi::xml_document& document);
    void ReportParseError(const pugi::xml_parse_result& result, const pugi::xml_document& document);
    void Finish();

private:
    void Warn(const std::string& text) {
        LogLine(text, LOG_WARNING);
        model_.Warnings.push_back(text);
    }
    std::string Ansi(std::string_view utf8) { return Utf8ToWindows1252(utf8, replaced_); }
    void ReadOrders(const pugi::xml_node& collective);
    void ReadFilms(const pugi::xml_node& collective);
    void ReadObject(const pugi::xml_node& object);
    void ReadObservations(const pugi::xml_node& pipe, const std::string& name,
                          TReachData& structure);
    void PlaceObservation(const TObservationElements& elements, const TFilm* film,
                          TReachDetail& detail);
    void LinkFilms();
    const std::string& DateText(std::string_view isoDate);

    TPlaces places_;
    TKanvioDataModel& model_;
    const TIsybauXmlSettings& settings_;
    size_t replaced_ = 0;
    std::map<std::string, std::string> companies_; // by order key
    std::vector<TFilm> films_;
    std::unordered_map<std::string, size_t> filmOfObject_;
    std::vector<std::pair<std::string, pugi::xml_node>> filmObjects_; // to check once read
    std::set<std::pair<char, std::string>> objects_;
    std::unordered_map<std::string, std::pair<char, TReachData*>> structures_;
    std::map<std::string, std::string> dates_;
};

void TReader::ReportParseError(const pugi::xml_parse_result& result,
                               const pugi::xml_document& document) {
    // The element the parser was in: the last one it opened.
    pugi::xml_node open = document.document_element();
    while (open && open.last_child() && open.last_child().type() == pugi::node_element)
        open = open.last_child();
    const std::string element = open ? std::string(LocalName(open)) : std::string("?xml");
    Warn(places_.AtOffset(result.offset, element) + ": the XML is damaged (" +
         result.description() + "); what comes before is read");
}

void TReader::Read(const pugi::xml_document& document) {
    const pugi::xml_node root = document.document_element();
    if (!root || LocalName(root) != "Identifikation")
        throw EConvertError(places_.FileName() + ": the root element is <" +
                            std::string(root ? LocalName(root) : "") +
                            ">, not <Identifikation>; no ISYBAU XML delivery");
    const pugi::xml_node version = Child(root, "Version");
    const std::string_view versionText = TextOf(version);
    bool known = false;
    for (const char* name : kKnownVersions)
        known = known || versionText == name;
    if (!known)
        Warn((version ? places_.Of(version) : places_.Of(root)) + ": the version \"" +
             Ansi(versionText) + "\" is none of 2006-10, 2013-02 and 2017-07; read as 2017-07");
    bool anyCollective = false;
    for (pugi::xml_node collectives = Child(root, "Datenkollektive"); collectives;
         collectives = collectives.next_sibling()) {
        if (LocalName(collectives) != "Datenkollektive")
            continue;
        for (pugi::xml_node collective : collectives.children()) {
            if (LocalName(collective) != "Zustandsdatenkollektiv")
                continue;
            anyCollective = true;
            ReadOrders(collective);
            ReadFilms(collective);
            for (pugi::xml_node object : collective.children())
                if (LocalName(object) == "InspizierteAbwassertechnischeAnlage")
                    ReadObject(object);
        }
    }
    if (!anyCollective)
        throw EConvertError(places_.Of(root) +
                            ": the delivery holds no <Zustandsdatenkollektiv>; no condition data");
    LinkFilms();
}

void TReader::ReadOrders(const pugi::xml_node& collective) {
    for (pugi::xml_node order : Child(collective, "Auftraege").children()) {
        if (LocalName(order) != "Auftrag")
            continue;
        const std::string key(TextOf(Child(order, "Auftragskennung")));
        if (!companies_.try_emplace(key, Ansi(TextOf(Child(order, "Auftragnehmer")))).second)
            Warn(places_.Of(order) + ": the order \"" + Ansi(key) +
                 "\" is listed twice; the first is used");
    }
}

void TReader::ReadFilms(const pugi::xml_node& collective) {
    for (pugi::xml_node node : Child(collective, "Filme").children()) {
        if (LocalName(node) != "Film")
            continue;
        TFilm film;
        const std::string name = Ansi(TextOf(Child(node, "Filmname")));
        const pugi::xml_node frames = Child(node, "Frame");
        const auto fps = DecimalOf(TextOf(Child(frames, "fps")));
        const auto first = IntegerOf(TextOf(Child(frames, "Start")));
        const auto last = IntegerOf(TextOf(Child(frames, "Ende")));
        if (name.empty() || !first || !last || *last < *first || *first < 0 ||
            *last - *first > int64_t{1} << 40) {
            Warn(places_.Of(node) + ": the film \"" + name +
                 "\" has no name or no frame range (Frame/Start, Frame/Ende); it is skipped");
            continue;
        }
        film.Fps = fps.value_or(kDefaultFps);
        if (!(film.Fps >= 1 && film.Fps <= 1000)) {
            Warn(places_.Of(frames) + ": the frame rate \"" +
                 std::string(TextOf(Child(frames, "fps"))) + "\" is no frame rate; 25 is used");
            film.Fps = kDefaultFps;
        }
        film.StartFrame = *first;
        film.LastFrame = *last;
        for (pugi::xml_node offset : Child(node, "Offsets").children()) {
            const auto frame = IntegerOf(TextOf(Child(offset, "Frame")));
            const auto time = TimecodeOf(TextOf(Child(offset, "Timecode")), film.Fps);
            if (frame && time)
                film.Offsets.emplace_back(*frame, *time);
            else if (LocalName(offset) == "Offset")
                Warn(places_.Of(offset) + ": an offset needs a frame and a time code; skipped");
        }
        std::string path = Ansi(TextOf(Child(node, "Filmpfad")));
        for (char& c : path)
            if (c == '\\')
                c = '/';
        if (!path.empty() && path.back() != '/')
            path.push_back('/');
        const bool absolute = BooleanOf(TextOf(Child(node, "FilmpfadIstAbsolut")));
        film.Item.FileName = (absolute ? std::string() : settings_.FilmFolder) + path + name;
        const int64_t start = films_.empty() ? 0 : films_.back().Item.StopTime;
        const double seconds = static_cast<double>(*last - *first + 1) / film.Fps;
        film.Item.Number = static_cast<int32_t>(films_.size() + 1);
        film.Item.StartTime = start;
        film.Item.StopTime = start + std::max<int64_t>(1, std::llround(seconds));
        film.Item.StartText = SecondsToTimeText(film.Item.StartTime);
        film.Item.StopText = SecondsToTimeText(film.Item.StopTime);
        for (pugi::xml_node object : Child(node, "FilmObjekte").children()) {
            const std::string objectName = Ansi(TextOf(Child(object, "Objektbezeichnung")));
            if (objectName.empty())
                continue;
            filmOfObject_.try_emplace(objectName, films_.size());
            filmObjects_.emplace_back(objectName, object);
            film.Objects.push_back(objectName);
        }
        films_.push_back(std::move(film));
    }
}

const std::string& TReader::DateText(std::string_view isoDate) {
    auto [place, isNew] = dates_.try_emplace(std::string(isoDate));
    if (isNew) {
        const QDate date = QDate::fromString(
            QString::fromLatin1(isoDate.data(), static_cast<int>(isoDate.size())), Qt::ISODate);
        place->second = date.isValid() ? isybau::FormatInspectionDate(date) : Ansi(isoDate);
    }
    return place->second;
}

void TReader::ReadObject(const pugi::xml_node& object) {
    const pugi::xml_node nameNode = Child(object, "Objektbezeichnung");
    const std::string name = Ansi(TextOf(nameNode));
    const pugi::xml_node inspection = Child(object, "OptischeInspektion");
    if (!inspection)
        return; // a leak test or profile survey only
    const pugi::xml_node pipe = Child(inspection, "Rohrleitung");
    if (!pipe) {
        if (Child(inspection, "Knoten"))
            ++model_.ManholeInspections;
        return;
    }
    // Anlagentyp says 1 reach, 2 house connection (3 and 4 are manholes and structures,
    // which have no pipe); without it Rohrleitungstyp tells: 0 reach, 1 line.
    const std::string_view kind = TextOf(Child(object, "Anlagentyp"));
    const bool connection =
        kind.empty() ? TextOf(Child(pipe, "Rohrleitungstyp")) == "1" : kind == "2";
    const char type = connection ? 'A' : 'H';
    if (name.empty() || !objects_.emplace(type, name).second) {
        Warn((nameNode ? places_.Of(nameNode) : places_.Of(object)) + ": the object \"" + name +
             (name.empty() ? "\" has no name" : "\" is inspected twice") + "; it is skipped");
        return;
    }
    auto structure = std::make_shared<TReachData>();
    structure->ObjectType = type;
    structure->ID = name;
    (type == 'H' ? structure->ReachNumber : structure->ConnectionNumber) = name;
    structure->street = Ansi(TextOf(Descend(object, {"Lage", "Strassenname"})));
    structure->city = Ansi(TextOf(Descend(object, {"Lage", "Ortsteilname"})));
    structure->date = DateText(TextOf(Child(inspection, "Inspektionsdatum")));
    const pugi::xml_node orderNode = Child(inspection, "Auftragskennung");
    if (orderNode) {
        const auto order = companies_.find(std::string(TextOf(orderNode)));
        if (order != companies_.end())
            structure->InspectingCompany = order->second;
        else
            Warn(places_.Of(orderNode) + ": the order \"" + Ansi(TextOf(orderNode)) +
                 "\" is not in <Auftraege>; the inspection of \"" + name + "\" is read without it");
    }
    structure->StartManholeNumber = Ansi(TextOf(Descend(pipe, {"RGrunddaten", "KnotenZulauf"})));
    structure->EndManholeNumber = Ansi(TextOf(Descend(pipe, {"RGrunddaten", "KnotenAblauf"})));
    const auto length = DecimalOf(TextOf(Child(pipe, "Inspektionslaenge")));
    structure->InspLength = length && *length > 0 ? *length : 0.0;
    structure->direction = TextOf(Child(pipe, "Inspektionsrichtung")) == "O";
    ReadObservations(pipe, name, *structure);
    double end = structure->InspLength;
    for (const TReachDetail& detail : structure->Details)
        end = std::max(end, detail.Distance);
    structure->StartDist = 0.0;
    structure->EndDist = end > 0 ? end : 1.0;
    structures_.try_emplace(name, type, structure.get());
    (type == 'H' ? model_.Reaches : model_.Connections).push_back(std::move(structure));
}

void TReader::ReadObservations(const pugi::xml_node& pipe, const std::string& name,
                               TReachData& structure) {
    const auto film = filmOfObject_.find(name);
    const TFilm* ownFilm = film == filmOfObject_.end() ? nullptr : &films_[film->second];
    for (pugi::xml_node observation : Child(pipe, "Inspektionsdaten").children()) {
        if (LocalName(observation) != "RZustand")
            continue;
        TReachDetail& detail = structure.Details.emplace_back();
        const TObservationElements elements = ObservationElementsOf(observation);
        const auto station = DecimalOf(TextOf(elements.Station));
        if (!station)
            Warn(places_.Of(observation) + ": the observation of \"" + name +
                 "\" has no station; it is placed at 0");
        detail.Distance = station.value_or(0.0);
        detail.Code = Ansi(TextOf(elements.Code)) + Ansi(TextOf(elements.Characterisation1)) +
                      Ansi(TextOf(elements.Characterisation2));
        std::string text = Ansi(TextOf(elements.Comment));
        if (text.empty() && settings_.CodeTexts != nullptr)
            text = settings_.CodeTexts->Find(detail.Code, settings_.Language);
        detail.Text = "(" + detail.Code + ")" + (text.empty() ? "" : " " + text);
        const TClassification classification = ClassificationOf(elements.Classification);
        for (const pugi::xml_node& bad : classification.Unreadable)
            Warn(places_.Of(bad) + ": \"" + Ansi(TextOf(bad)) +
                 "\" is no condition class 0 to 5; it is left out");
        // The delivery grades 0 (act at once) to 5 (no defect); the program's classes
        // count the other way, 1 for the slightest to 5 for the gravest, 0 for none, as
        // the database deliveries and the class colours of the settings file do.
        if (classification.Worst)
            detail.DefectClass = 5 - *classification.Worst;
        PlaceObservation(elements, ownFilm, detail);
    }
}

void TReader::PlaceObservation(const TObservationElements& elements, const TFilm* film,
                               TReachDetail& detail) {
    const double fps = film != nullptr ? film->Fps : kDefaultFps;
    // The frame of a digital film is exact; the time code shown on a taped film needs the
    // film's offsets; the counter is the time since the film's start.
    const pugi::xml_node& frame = elements.Frame;
    const pugi::xml_node& timecode = elements.Timecode;
    const pugi::xml_node& counter = elements.Counter;
    const pugi::xml_node used = frame ? frame : timecode ? timecode : counter;
    std::optional<double> inFilm;
    if (frame) {
        const auto number = IntegerOf(TextOf(frame));
        if (number)
            inFilm = static_cast<double>(*number - (film != nullptr ? film->StartFrame : 0)) / fps;
    } else if (timecode) {
        inFilm = TimecodeOf(TextOf(timecode), fps);
        if (inFilm && film != nullptr && !film->Offsets.empty()) {
            // The time code shown on the film: the last offset before it says which frame.
            const auto* anchor = &film->Offsets.front();
            for (const auto& offset : film->Offsets)
                if (offset.second <= *inFilm)
                    anchor = &offset;
            inFilm = *inFilm - anchor->second +
                     static_cast<double>(anchor->first - film->StartFrame) / fps;
        }
    } else if (counter) {
        const std::string_view text = TextOf(counter);
        if (const auto seconds = IntegerOf(text))
            inFilm = static_cast<double>(*seconds);
        else
            inFilm = TimecodeOf(text, fps);
    }
    if (used && !inFilm)
        Warn(places_.Of(used) + ": \"" + Ansi(TextOf(used)) + "\" is no " +
             (used == frame      ? "frame number"
              : used == timecode ? "time code"
                                 : "counter reading") +
             "; the observation is placed at the film's start");
    double seconds = std::max(0.0, inFilm.value_or(0.0));
    if (film != nullptr) {
        if (seconds >= film->Seconds() && inFilm) {
            Warn(places_.Of(used) + ": the position lies beyond the end of " + "the film \"" +
                 film->Item.FileName + "\"; the film's end is used");
            seconds = std::max(0.0, film->Seconds() - 1);
        }
        seconds += static_cast<double>(film->Item.StartTime);
    }
    const auto whole = static_cast<int64_t>(std::min(seconds, 3.6e8));
    detail.CounterHours = static_cast<uint16_t>(std::min<int64_t>(whole / 3600, 65535));
    detail.CounterMinutes = static_cast<uint8_t>(whole % 3600 / 60);
    detail.CounterSeconds = static_cast<uint8_t>(whole % 60);
    detail.VideoTime = isybau::CounterToVideoTime(detail.CounterHours, detail.CounterMinutes,
                                                  detail.CounterSeconds);
}

void TReader::LinkFilms() {
    for (const auto& [name, node] : filmObjects_)
        if (structures_.find(name) == structures_.end())
            Warn(places_.Of(node) + ": the film names the object \"" + name +
                 "\", which the delivery does not inspect as a pipe");
    for (TFilm& film : films_) {
        for (const std::string& object : film.Objects) {
            const auto found = structures_.find(object);
            if (found == structures_.end())
                continue;
            const std::string type(1, found->second.first);
            if (film.Item.StructureID.empty()) {
                film.Item.StructureType = type;
                film.Item.StructureID = object;
            } else if (object != film.Item.StructureID &&
                       std::find(film.Item.MoreStructures.begin(), film.Item.MoreStructures.end(),
                                 std::make_pair(type, object)) == film.Item.MoreStructures.end()) {
                film.Item.MoreStructures.emplace_back(type, object);
            }
        }
        model_.Films.push_back(std::move(film.Item));
    }
}

void TReader::Finish() {
    if (replaced_ > 0) {
        const std::string text = places_.FileName() + ": " + std::to_string(replaced_) +
                                 " characters outside Windows-1252 are shown as '?'";
        LogLine(text, LOG_WARNING);
        model_.Warnings.push_back(text);
    }
}

} // namespace

void ReadIsybauXml(std::string bytes, const std::string& fileName, TKanvioDataModel& model,
                   const TIsybauXmlSettings& settings) {
    if (DeclaredEncoding(bytes, fileName) == TTextEncoding::Windows1252)
        bytes = Windows1252ToUtf8(bytes);
    TReader reader(bytes, fileName, model, settings);
    // The parser works inside the buffer: a copy of a large delivery would double the peak.
    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_buffer_inplace(
        bytes.data(), bytes.size(), IsybauXmlParseOptions(), pugi::encoding_utf8);
    if (!result)
        reader.ReportParseError(result, document);
    reader.Read(document);
    reader.Finish();
}

unsigned IsybauXmlParseOptions() {
    // Line ends stay as they are, in texts and attributes, so that the lines counted in the
    // parsed buffer are the file's; texts live in their elements, which halves the nodes.
    return (pugi::parse_default & ~(pugi::parse_eol | pugi::parse_wconv_attribute)) |
           pugi::parse_embed_pcdata;
}

bool IsIsybauXmlFile(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        return false;
    std::string head(4096, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(file.gcount()));
    // The root element: the first tag that is no declaration, comment or instruction.
    size_t at = 0;
    for (;;) {
        at = head.find('<', at);
        if (at == std::string::npos || at + 1 >= head.size())
            return false;
        const char next = head[at + 1];
        if (next != '?' && next != '!')
            break;
        ++at;
    }
    std::string_view root = std::string_view(head).substr(at + 1);
    root = root.substr(0, root.find_first_of(" \t\r\n>/"));
    if (const size_t colon = root.find(':'); colon != std::string_view::npos)
        root.remove_prefix(colon + 1);
    if (root != "Identifikation")
        return false;
    // Condition data may follow long master data: look through the file in pieces.
    constexpr std::string_view kCollective = "Zustandsdatenkollektiv";
    std::string window = head;
    for (;;) {
        if (window.find(kCollective) != std::string::npos)
            return true;
        if (!file)
            return false;
        const std::string tail = window.substr(
            window.size() > kCollective.size() ? window.size() - kCollective.size() : 0);
        window.assign(1 << 20, '\0');
        file.read(window.data(), static_cast<std::streamsize>(window.size()));
        window.resize(static_cast<size_t>(file.gcount()));
        if (window.empty())
            return false;
        window.insert(0, tail);
    }
}

} // namespace kanvio
