#include "tools/mkproject/ProjectGenerator.h"

#include "foundation/AnsiText.h"

#include <algorithm>
#include <random>
#include <set>
#include <stdexcept>

namespace kanvio::generator {

namespace {

const char* const Towns[] = {
    "München",  "Köln",      "Düsseldorf", "Lübeck",   "Görlitz",     "Fürth",
    "Würzburg", "Osnabrück", "Gießen",     "Tübingen", "Saarbrücken", "Mönchengladbach",
};

const char* const Streets[] = {
    "Hauptstraße", "Schloßallee",   "Königsweg",      "Mühlenstraße", "Bahnhofstraße",
    "Lindenallee", "Gartenstraße",  "Schützenstraße", "Am Mühlbach",  "Große Straße",
    "Fährweg",     "Brückenstraße", "Kirchgäßchen",   "Uferstraße",   "Am Güterbahnhof",
    "Weißdornweg", "Rosenstraße",   "Grüner Weg",
};

const char* const Companies[] = {
    "Kanal-Inspektion Müller GmbH", "Rohrtechnik Weiß & Söhne", "Prüfdienst Süd KG",
    "Hoffmann Kanalservice GmbH",   "Kanaltechnik Bäcker OHG",
};

struct TObservationKind {
    const char* Code;
    const char* Remark; // "#" is replaced by a number
    int MinimumNumber, MaximumNumber;
    int MinimumClass, MaximumClass; // 0, 0 for marks that are no defect
};

const TObservationKind Defects[] = {
    {"BABBA", "Riss längs, Breite # mm", 1, 5, 2, 4},
    {"BABCA", "Riss quer, Breite # mm", 1, 4, 2, 3},
    {"BAJB", "Verbindung verschoben, # mm", 5, 40, 1, 3},
    {"BBAC", "Wurzeleinwuchs, Querschnittsverringerung # %", 5, 30, 2, 4},
    {"BBBA", "Anhaftende Stoffe, Inkrustation", 0, 0, 1, 2},
    {"BBCC", "Ablagerungen, Sand, # % des Querschnitts", 5, 25, 1, 3},
    {"BAFAE", "Oberflächenschaden, Korrosion der Rohrwand", 0, 0, 3, 5},
    {"BAIA", "Dichtring sichtbar, nicht störend", 0, 0, 1, 1},
    {"BDDC", "Wasserspiegel # % der Höhe", 5, 40, 0, 0},
    {"BCAAA", "Anschluss offen, DN #, von rechts", 100, 200, 0, 0},
    {"BAHB", "Schadhafter Anschluss, Einragung # mm", 10, 60, 3, 5},
};

const TObservationKind PipeStart = {"BCDA", "Rohranfang, Schachtmitte", 0, 0, 0, 0};
const TObservationKind PipeEnd = {"BCEA", "Rohrende, Schachtmitte erreicht", 0, 0, 0, 0};

class TRandom {
public:
    explicit TRandom(uint32_t seed) : engine_(seed) {}
    // A number from low to high, both included; the same on every platform.
    int Between(int low, int high) {
        return low + static_cast<int>(engine_() % static_cast<uint32_t>(high - low + 1));
    }
    template <typename T, size_t N> const T& Pick(const T (&items)[N]) {
        return items[static_cast<size_t>(Between(0, static_cast<int>(N) - 1))];
    }

private:
    std::mt19937 engine_;
};

std::string Ansi(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

std::string Digits(int value, int width) {
    std::string text = std::to_string(value);
    return std::string(static_cast<size_t>(std::max(0, width - static_cast<int>(text.size()))),
                       '0') +
           text;
}

TGeneratedObservation MakeObservation(const TObservationKind& kind, TRandom& random) {
    TGeneratedObservation observation;
    observation.Code = kind.Code;
    std::string remark = kind.Remark;
    if (const auto mark = remark.find('#'); mark != std::string::npos)
        remark.replace(mark, 1,
                       std::to_string(random.Between(kind.MinimumNumber, kind.MaximumNumber)));
    observation.Remark = Ansi(remark.c_str());
    observation.DefectClass =
        kind.MaximumClass == 0 ? 0 : random.Between(kind.MinimumClass, kind.MaximumClass);
    return observation;
}

// Observation counts per structure: an even share, the first ones one more.
std::vector<int> ShareObservations(int total, int structures) {
    std::vector<int> shares(static_cast<size_t>(structures), 0);
    for (int i = 0; i < structures; ++i)
        shares[static_cast<size_t>(i)] = total / structures + (i < total % structures ? 1 : 0);
    return shares;
}

void FillObservations(TGeneratedStructure& structure, int count, TRandom& random) {
    for (int i = 0; i < count; ++i) {
        const bool first = i == 0;
        const bool last = i == count - 1 && count > 1;
        auto observation = MakeObservation(first  ? PipeStart
                                           : last ? PipeEnd
                                                  : random.Pick(Defects),
                                           random);
        if (first)
            observation.StationHundredths = 0;
        else if (last)
            observation.StationHundredths = structure.LengthHundredths;
        else
            observation.StationHundredths =
                static_cast<uint16_t>(random.Between(1, structure.LengthHundredths - 1));
        structure.Observations.push_back(std::move(observation));
    }
    // Along the pipe in the order of the camera's way.
    std::stable_sort(
        structure.Observations.begin(), structure.Observations.end(),
        [](const auto& a, const auto& b) { return a.StationHundredths < b.StationHundredths; });
}

// The structure's observations at whole seconds strictly inside its film part, so that
// its first observation links it to the part.
void PlaceOnTimeline(TGeneratedStructure& structure, int64_t start, int filmSeconds) {
    structure.StartTime = start;
    structure.StopTime = start + filmSeconds;
    const int64_t count = static_cast<int64_t>(structure.Observations.size());
    const int64_t span = filmSeconds - 2; // from start + 1 to stop - 1
    for (int64_t i = 0; i < count; ++i) {
        const int64_t t = start + 1 + (count > 1 ? i * span / (count - 1) : 0);
        auto& observation = structure.Observations[static_cast<size_t>(i)];
        observation.TimelineSeconds = t;
        observation.CounterHours = static_cast<uint16_t>(t / 3600);
        observation.CounterMinutes = static_cast<uint8_t>(t % 3600 / 60);
        observation.CounterSeconds = static_cast<uint8_t>(t % 60);
    }
}

// A number already given gets a letter: deliveries name each structure once.
std::string UniqueNumber(std::string number, std::set<std::string>& used) {
    if (used.insert(number).second)
        return number;
    for (char letter = 'a';; letter = letter == 'z' ? 'a' : static_cast<char>(letter + 1)) {
        std::string candidate = number + letter;
        if (used.insert(candidate).second)
            return candidate;
        if (letter == 'z')
            number += 'z';
    }
}

std::vector<TGeneratedInspection> MakeInspections(char objectType, int structures,
                                                  const std::vector<int>& shares, size_t& next,
                                                  TRandom& random, std::set<std::string>& used) {
    std::vector<TGeneratedInspection> inspections;
    int made = 0;
    while (made < structures) {
        TGeneratedInspection inspection;
        inspection.Year = random.Between(1998, 2009);
        inspection.Month = random.Between(1, 12);
        inspection.Day = random.Between(1, 28);
        inspection.City = Ansi(random.Pick(Towns));
        inspection.Company = Ansi(random.Pick(Companies));
        const int district = random.Between(100, 9899);
        const int inThisInspection = std::min(structures - made, random.Between(2, 6));
        const auto street = Ansi(random.Pick(Streets));
        for (int i = 0; i < inThisInspection; ++i, ++made) {
            TGeneratedStructure structure;
            structure.ObjectType = objectType;
            structure.RowNumber = made + 1;
            const int manhole = random.Between(1, 899);
            structure.StartManhole = Digits(district, 4) + Digits(manhole, 4);
            structure.EndManhole = Digits(district, 4) + Digits(manhole + 1, 4);
            structure.Street = random.Between(0, 3) == 0 ? Ansi(random.Pick(Streets)) : street;
            if (objectType == 'H') {
                structure.Number = "H" + Digits(district, 4) + "-" + Digits(manhole, 3);
                structure.LengthHundredths = static_cast<uint16_t>(random.Between(800, 2000));
            } else {
                structure.Number = "A" + Digits(district, 4) + "-" + Digits(manhole, 3) + "." +
                                   Digits(random.Between(1, 12), 2);
                structure.LengthHundredths = static_cast<uint16_t>(random.Between(300, 1500));
            }
            structure.Number = UniqueNumber(std::move(structure.Number), used);
            FillObservations(structure, shares[next++], random);
            inspection.Items.push_back(std::move(structure));
        }
        inspections.push_back(std::move(inspection));
    }
    return inspections;
}

} // namespace

std::vector<const TGeneratedStructure*> TGeneratedProject::StructuresInTimelineOrder() const {
    std::vector<const TGeneratedStructure*> structures;
    for (const auto* inspections : {&ReachInspections, &ConnectionInspections})
        for (const auto& inspection : *inspections)
            for (const auto& item : inspection.Items)
                structures.push_back(&item);
    return structures;
}

size_t TGeneratedProject::ObservationCount() const {
    size_t count = 0;
    for (const auto* structure : StructuresInTimelineOrder())
        count += structure->Observations.size();
    return count;
}

TGeneratorOptions SharedTestProjectOptions() {
    TGeneratorOptions options;
    options.Reaches = 3;
    options.Connections = 4;
    options.Observations = 30;
    options.Films = 2;
    return options;
}

TGeneratedProject GenerateProject(const TGeneratorOptions& options) {
    if (options.Reaches < 0 || options.Connections < 0 || options.Observations < 0 ||
        options.Films < 0)
        throw std::invalid_argument("sizes of a project cannot be negative");
    if (options.FilmSeconds < 2)
        throw std::invalid_argument("films must last at least two seconds");

    TRandom random(options.Seed);
    TGeneratedProject project;
    const int structures = options.Reaches + options.Connections;
    const auto shares = ShareObservations(options.Observations, std::max(1, structures));
    size_t next = 0;
    std::set<std::string> used;
    project.ReachInspections = MakeInspections('H', options.Reaches, shares, next, random, used);
    project.ConnectionInspections =
        MakeInspections('A', options.Connections, shares, next, random, used);

    for (int i = 0; i < options.Films; ++i) {
        TGeneratedFilm film;
        film.Kind = i % 2 == 0 ? TFilmKind::Mpeg1System : TFilmKind::Mpeg2Program;
        film.FileName = "film" + Digits(i + 1, 2) + ".mpg";
        film.Seconds = options.FilmSeconds;
        film.Label = "Film " + std::to_string(i + 1);
        project.Films.push_back(std::move(film));
    }

    // One film part per structure, end to end; the parts take turns over the film files.
    int64_t start = 0;
    int index = 0;
    for (auto* inspections : {&project.ReachInspections, &project.ConnectionInspections})
        for (auto& inspection : *inspections)
            for (auto& item : inspection.Items) {
                PlaceOnTimeline(item, start, options.FilmSeconds);
                item.FilmIndex = options.Films > 0 ? index % options.Films : -1;
                start += options.FilmSeconds;
                ++index;
            }
    return project;
}

} // namespace kanvio::generator
