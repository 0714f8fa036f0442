// What an ISYBAU XML observation says beyond its code: the condition classes of its
// classification, its place in the film in each form a delivery may give it, and the kind
// of pipe it was found in; then generated films that show two structures.

#include "datasources/IsybauDataTreeBuilder.h"
#include "datasources/IsybauXmlReader.h"
#include "tests/datasources/isybau/IsybauXmlTestSupport.h"
#include "tools/mkproject/IsybauWriter.h"
#include "tools/mkproject/IsybauXmlWriter.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <gtest/gtest.h>

namespace kanvio {
namespace {

using namespace generator;

// A delivery of one reach "H1" with one observation; rest is inserted into the RZustand
// after its code, films into the collective after the object.
std::string Delivery(const std::string& rest, const std::string& films = "",
                     const std::string& pipeKind = "<Anlagentyp>1</Anlagentyp>") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Identifikation xmlns=\"http://www.bfr-abwasser.de\">\n"
           "<Version>2017-07</Version>\n<Datenkollektive>\n<Zustandsdatenkollektiv>\n"
           "<InspizierteAbwassertechnischeAnlage>\n<Objektbezeichnung>H1</Objektbezeichnung>\n" +
           pipeKind +
           "\n<OptischeInspektion>\n<Inspektionsdatum>2017-07-01</Inspektionsdatum>\n"
           "<Rohrleitung>\n<RGrunddaten>\n<KnotenZulauf>S1</KnotenZulauf>\n"
           "<KnotenAblauf>S2</KnotenAblauf>\n</RGrunddaten>\n<Inspektionsdaten>\n<RZustand>\n"
           "<Station>1.50</Station>\n<InspektionsKode>BAB</InspektionsKode>\n" +
           rest +
           "\n</RZustand>\n</Inspektionsdaten>\n</Rohrleitung>\n</OptischeInspektion>\n"
           "</InspizierteAbwassertechnischeAnlage>\n" +
           films + "\n</Zustandsdatenkollektiv>\n</Datenkollektive>\n</Identifikation>\n";
}

TKanvioDataModel Read(const std::string& xml) {
    return test::ReadXmlDelivery(xml, "d.xml");
}

using test::AllWarnings;

std::string Aim(const char* group, const std::string& values) {
    return "<" + std::string(group) + ">" + values + "</" + group + ">";
}

std::string Classes(const std::string& aims) {
    return "<Klassifizierung>" + aims + "</Klassifizierung>";
}

TEST(IsybauXmlObservationTest, ClassificationGivesTheGravestClassOfTheThreeAims) {
    struct Case {
        const char* name;
        std::string rest;
        int defectClass; // 5 the gravest, 0 none
        std::string warning;
    };
    const Case cases[] = {
        {"no classification", "", 0, ""},
        {"empty classification", Classes(""), 0, ""},
        {"the former guess is no classification", "<Zustandsklasse>3</Zustandsklasse>", 0, ""},
        {"one computed class", Classes(Aim("Dichtheit", "<SKDvAuto>3</SKDvAuto>")), 2, ""},
        {"the gravest of three",
         Classes(Aim("Dichtheit", "<SKDvAuto>4</SKDvAuto>") +
                 Aim("Standsicherheit", "<SKSvAuto>1</SKSvAuto>") +
                 Aim("Betriebssicherheit", "<SKBvAuto>3</SKBvAuto>")),
         4, ""},
        {"a class set by hand overrules a graver computed one",
         Classes(Aim("Standsicherheit", "<SKSvAuto>0</SKSvAuto><SKSvManu>4</SKSvManu>") +
                 Aim("Dichtheit", "<SKDvAuto>3</SKDvAuto>")),
         2, ""},
        {"and a milder one, whichever comes first",
         Classes(Aim("Betriebssicherheit", "<SKBvManu>0</SKBvManu><SKBvAuto>5</SKBvAuto>")), 5, ""},
        {"no defect in every aim", Classes(Aim("Dichtheit", "<SKDvAuto>5</SKDvAuto>")), 0, ""},
        {"an empty class set by hand leaves the computed one",
         Classes(Aim("Dichtheit", "<SKDvManu/><SKDvAuto>1</SKDvAuto>")), 4, ""},
        {"an unreadable class set by hand leaves the computed one",
         Classes(Aim("Dichtheit", "<SKDvManu>x</SKDvManu><SKDvAuto>2</SKDvAuto>")), 3,
         "<SKDvManu>: \"x\" is no condition class 0 to 5"},
        {"a class beyond 5 counts as none",
         Classes(Aim("Standsicherheit", "<SKSvAuto>6</SKSvAuto>")), 0,
         "<SKSvAuto>: \"6\" is no condition class 0 to 5"},
        {"a class below 0 counts as none",
         Classes(Aim("Betriebssicherheit", "<SKBvAuto>-1</SKBvAuto>")), 0,
         "<SKBvAuto>: \"-1\" is no condition class 0 to 5"},
        {"classes outside their aim are not read", Classes("<SKDvAuto>0</SKDvAuto>"), 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TKanvioDataModel model = Read(Delivery(c.rest));
        ASSERT_EQ(model.Reaches.size(), 1u);
        ASSERT_EQ(model.Reaches[0]->Details.size(), 1u);
        EXPECT_EQ(model.Reaches[0]->Details[0].DefectClass, c.defectClass);
        if (c.warning.empty())
            EXPECT_TRUE(model.Warnings.empty()) << AllWarnings(model);
        else
            EXPECT_NE(AllWarnings(model).find(c.warning), std::string::npos) << AllWarnings(model);
    }
}

// A film of 100 s at 25 frames a second; its first frame is startFrame and shows 10:00:00.
std::string Film(int startFrame) {
    return "<Filme><Film><Filmname>h1.mpg</Filmname><Frame><fps>25</fps><Start>" +
           std::to_string(startFrame) + "</Start><Ende>" + std::to_string(startFrame + 2499) +
           "</Ende></Frame><Offsets><Offset><Frame>" + std::to_string(startFrame) +
           "</Frame><Timecode>10:00:00</Timecode></Offset></Offsets><FilmObjekte><FilmObjekt>"
           "<Objektbezeichnung>H1</Objektbezeichnung></FilmObjekt></FilmObjekte></Film></Filme>";
}

TEST(IsybauXmlObservationTest, EveryFormOfTheVideoPosition) {
    struct Case {
        const char* name;
        std::string rest;
        std::string films;
        int seconds; // on the timeline
        std::string warning;
    };
    const std::string film = Film(0);
    const Case cases[] = {
        {"frame number", "<Frame>250</Frame>", film, 10, ""},
        {"frame number of a film not starting at frame 0", "<Frame>350</Frame>", Film(100), 10, ""},
        {"time code shown on the film", "<Timecode>10:00:20</Timecode>", film, 20, ""},
        {"time code with frames", "<Timecode>10:00:20:12</Timecode>", film, 20, ""},
        {"counter in seconds", "<Videozaehler>30</Videozaehler>", film, 30, ""},
        {"counter as a clock", "<Videozaehler>00:00:40</Videozaehler>", film, 40, ""},
        {"the frame goes before the time code", "<Timecode>10:00:20</Timecode><Frame>250</Frame>",
         film, 10, ""},
        {"the time code goes before the counter",
         "<Timecode>10:00:20</Timecode><Videozaehler>30</Videozaehler>", film, 20, ""},
        {"an empty frame leaves the time code", "<Frame/><Timecode>10:00:20</Timecode>", film, 20,
         ""},
        {"without a film the time code is the timeline", "<Timecode>00:01:05</Timecode>", "", 65,
         ""},
        {"without a film the frame counts at 25 a second", "<Frame>50</Frame>", "", 2, ""},
        {"no position at all", "", film, 0, ""},
        {"beyond the film's end", "<Frame>5000</Frame>", film, 99,
         "<Frame>: the position lies beyond the end of the film"},
        {"unreadable frame", "<Frame>x</Frame>", film, 0, "<Frame>: \"x\" is no frame number"},
        {"unreadable time code", "<Timecode>10:61:00</Timecode>", film, 0,
         "<Timecode>: \"10:61:00\" is no time code"},
        {"unreadable counter", "<Videozaehler>1m</Videozaehler>", film, 0,
         "<Videozaehler>: \"1m\" is no counter reading"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TKanvioDataModel model = Read(Delivery(c.rest, c.films));
        ASSERT_EQ(model.Reaches.size(), 1u);
        const TReachDetail& detail = model.Reaches[0]->Details.at(0);
        EXPECT_EQ(detail.CounterHours * 3600 + detail.CounterMinutes * 60 + detail.CounterSeconds,
                  c.seconds);
        if (c.warning.empty())
            EXPECT_TRUE(model.Warnings.empty()) << AllWarnings(model);
        else
            EXPECT_NE(AllWarnings(model).find(c.warning), std::string::npos) << AllWarnings(model);
    }
}

TEST(IsybauXmlObservationTest, TheKindOfPipe) {
    struct Case {
        std::string elements;
        size_t reaches, connections;
    };
    const Case cases[] = {
        {"<Anlagentyp>1</Anlagentyp>", 1, 0},
        {"<Anlagentyp>2</Anlagentyp>", 0, 1},
        {"<Anlagentyp>1</Anlagentyp><Rohrleitungstyp>1</Rohrleitungstyp>", 1, 0},
        {"<Anlagentyp>2</Anlagentyp><Rohrleitungstyp>0</Rohrleitungstyp>", 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.elements);
        const TKanvioDataModel model = Read(Delivery("", "", c.elements));
        EXPECT_EQ(model.Reaches.size(), c.reaches);
        EXPECT_EQ(model.Connections.size(), c.connections);
    }
    // Without Anlagentyp the pipe's own type tells: 0 a reach, 1 a line.
    for (const auto& [kind, reaches] : {std::pair{"0", 1u}, std::pair{"1", 0u}}) {
        std::string xml = Delivery("", "", "");
        xml.insert(xml.find("<RGrunddaten>"),
                   std::string("<Rohrleitungstyp>") + kind + "</Rohrleitungstyp>");
        const TKanvioDataModel model = Read(xml);
        EXPECT_EQ(model.Reaches.size(), reaches) << kind;
        EXPECT_EQ(model.Connections.size(), 1u - reaches) << kind;
    }
    const TKanvioDataModel ends = Read(Delivery(""));
    EXPECT_EQ(ends.Reaches.at(0)->StartManholeNumber, "S1");
    EXPECT_EQ(ends.Reaches.at(0)->EndManholeNumber, "S2");
}

TGeneratedProject Project() {
    TGeneratorOptions options = SharedTestProjectOptions();
    options.Seed = 21;
    return GenerateProject(options);
}

// Films that show two structures each: both structures link to the film, and every
// observation keeps its place on the timeline in every form of the video position.
TEST(IsybauXmlObservationTest, AFilmOfTwoStructuresLinksBoth) {
    const TGeneratedProject project = Project();
    const auto structures = project.StructuresInTimelineOrder();
    TKanvioDataModel fixedWidth;
    isybau::AppendStructures('H', FormatReachFile(project), "r.txt", fixedWidth);
    isybau::AppendStructures('A', FormatConnectionFile(project), "c.txt", fixedWidth);
    std::vector<const TReachData*> expected;
    for (const auto* list : {&fixedWidth.Reaches, &fixedWidth.Connections})
        for (const auto& structure : *list)
            expected.push_back(structure.get());

    for (const TXmlVideoPosition position :
         {TXmlVideoPosition::Timecode, TXmlVideoPosition::Frame, TXmlVideoPosition::Counter}) {
        SCOPED_TRACE(static_cast<int>(position));
        TXmlDeliveryOptions options;
        options.ObjectsPerFilm = 2;
        options.Position = position;
        options.TimecodeStartHours = 1;
        const TKanvioDataModel model = Read(FormatIsybauXml(project, options));
        EXPECT_TRUE(model.Warnings.empty()) << AllWarnings(model);
        ASSERT_EQ(model.Films.size(), (structures.size() + 1) / 2);
        for (size_t k = 0; k < model.Films.size(); ++k) {
            const TPlayListItem& film = model.Films[k];
            const auto* first = structures[2 * k];
            EXPECT_EQ(film.StructureID, first->Number);
            EXPECT_EQ(film.StructureType, std::string(1, first->ObjectType));
            EXPECT_EQ(film.StartTime, first->StartTime);
            if (2 * k + 1 < structures.size()) {
                const auto* second = structures[2 * k + 1];
                ASSERT_EQ(film.MoreStructures.size(), 1u);
                EXPECT_EQ(film.MoreStructures[0].first, std::string(1, second->ObjectType));
                EXPECT_EQ(film.MoreStructures[0].second, second->Number);
                EXPECT_EQ(film.StopTime, second->StopTime);
            } else {
                EXPECT_TRUE(film.MoreStructures.empty());
            }
        }
        std::vector<const TReachData*> read;
        for (const auto* list : {&model.Reaches, &model.Connections})
            for (const auto& structure : *list)
                read.push_back(structure.get());
        ASSERT_EQ(read.size(), expected.size());
        for (size_t s = 0; s < read.size(); ++s) {
            ASSERT_EQ(read[s]->Details.size(), expected[s]->Details.size());
            for (size_t i = 0; i < read[s]->Details.size(); ++i)
                EXPECT_EQ(read[s]->Details[i].VideoTime, expected[s]->Details[i].VideoTime)
                    << read[s]->ID << " " << i;
        }
    }
}

} // namespace
} // namespace kanvio
