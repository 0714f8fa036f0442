// A generated project read back through the ISYBAU data source and the ZF file: every
// structure and observation as the generator made it, and a film part for each.

#include "datasources/IsybauDataTreeBuilder.h"
#include "datasources/IsybauZFParser.h"
#include "foundation/BigIniFile.h"
#include "foundation/KanvioToolkit.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/IsybauWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <set>

namespace kanvio {
namespace {

using namespace generator;

std::string ExpectedDate(const TGeneratedInspection& inspection) {
    return QLocale()
        .toString(QDate(inspection.Year, inspection.Month, inspection.Day), QLocale::ShortFormat)
        .toStdString();
}

std::string ExpectedTime(int64_t seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds % 3600 / 60), static_cast<int>(seconds % 60));
    return text;
}

void ExpectSame(const std::vector<TGeneratedInspection>& inspections, const TAReachData& model,
                char objectType) {
    size_t index = 0;
    for (const auto& inspection : inspections) {
        for (const auto& item : inspection.Items) {
            ASSERT_LT(index, model.size());
            const TReachData& read = *model[index++];
            EXPECT_EQ(read.ObjectType, objectType);
            EXPECT_EQ(objectType == 'H' ? read.ReachNumber : read.ConnectionNumber, item.Number);
            EXPECT_EQ(read.street, item.Street);
            EXPECT_EQ(read.city, inspection.City);
            EXPECT_EQ(read.InspectingCompany, inspection.Company);
            EXPECT_EQ(read.date, ExpectedDate(inspection));
            ASSERT_EQ(read.Details.size(), item.Observations.size()) << item.Number;
            for (size_t i = 0; i < item.Observations.size(); ++i) {
                const auto& written = item.Observations[i];
                const auto& detail = read.Details[i];
                EXPECT_DOUBLE_EQ(detail.Distance, written.StationHundredths);
                EXPECT_EQ(detail.Text, "(" + written.Code + ") " + written.Remark);
                EXPECT_EQ(detail.VideoTime, ExpectedTime(written.TimelineSeconds));
                EXPECT_EQ(detail.CounterHours, written.CounterHours);
            }
        }
    }
    EXPECT_EQ(index, model.size());
}

class GeneratedProjectTest : public test::IsolatedTest {};

TEST_F(GeneratedProjectTest, ReadBackEqualsTheGeneratorsInput) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    struct Case {
        int reaches, connections, observations, films;
        uint32_t seed;
    };
    const Case cases[] = {{6, 8, 80, 3, 1},
                          {1, 0, 1, 1, 7},
                          {0, 5, 3, 2, 99},
                          {0, 0, 0, 0, 3},
                          {12, 20, 500, 4, 12345}};
    for (const auto& c : cases) {
        TGeneratorOptions options;
        options.Reaches = c.reaches;
        options.Connections = c.connections;
        options.Observations = c.observations;
        options.Films = c.films;
        options.Seed = c.seed;
        const auto project = GenerateProject(options);
        EXPECT_EQ(project.ObservationCount(), static_cast<size_t>(c.observations));
        WriteIsybauProject(project, env.programFolder().string());

        TKanvioDataModel model;
        TISYBAUDataTreeBuilder(project.ReachFileName, project.ConnectionFileName)
            .BuildDataTree(model);
        ASSERT_EQ(model.Reaches.size(), static_cast<size_t>(c.reaches));
        ASSERT_EQ(model.Connections.size(), static_cast<size_t>(c.connections));
        ExpectSame(project.ReachInspections, model.Reaches, 'H');
        ExpectSame(project.ConnectionInspections, model.Connections, 'A');
    }
}

TEST_F(GeneratedProjectTest, SameSeedSameProjectOtherSeedOtherProject) {
    TGeneratorOptions options;
    const auto first = FormatReachFile(GenerateProject(options));
    EXPECT_EQ(FormatReachFile(GenerateProject(options)), first);
    options.Seed = 2;
    EXPECT_NE(FormatReachFile(GenerateProject(options)), first);
}

TEST_F(GeneratedProjectTest, EveryStructureHasItsFilmPart) {
    TGeneratorOptions options;
    options.Reaches = 5;
    options.Connections = 7;
    options.Observations = 40;
    options.Films = 3;
    const auto project = GenerateProject(options);
    WriteIsybauProject(project, env.programFolder().string());
    TBigIniFile ini((env.programFolder() / "Kanvio.ini").string());
    const auto structures = project.StructuresInTimelineOrder();
    ASSERT_EQ(ini.ReadInteger("FILME", "Count", 0), static_cast<int>(structures.size()));
    EXPECT_EQ(ini.ReadString("DATA", "Projekt", ""), project.ReachFileName);
    EXPECT_EQ(ini.ReadString("DATA", "ProjektA", ""), project.ConnectionFileName);
    EXPECT_EQ(ini.ReadString("DATA", "QE_ISYBAU", ""), project.ZFFileName);
    EXPECT_EQ(ini.ReadString("common", "language", ""), "de");
    std::set<int> colours;
    for (int i = 1; i <= 5; ++i)
        colours.insert(ini.ReadInteger("DefaultDefectClass", std::to_string(i), -1));
    EXPECT_EQ(colours.size(), 5u);

    for (size_t k = 0; k < structures.size(); ++k) {
        const auto entry = ini.ReadString("FILME", std::to_string(k + 1), "");
        const auto* structure = structures[k];
        EXPECT_EQ(ExtractField(entry, 0), project.Films[structure->FilmIndex].FileName);
        EXPECT_EQ(ExtractField(entry, 4), std::string(1, structure->ObjectType));
        EXPECT_EQ(ExtractField(entry, 5), "") << "the files carry no ID";
        // The player links a film to the structure whose first observation lies strictly
        // inside the film's range; exactly this one must.
        const int64_t start = structure->StartTime, stop = structure->StopTime;
        EXPECT_EQ(ExtractField(entry, 1), ExpectedTime(start));
        EXPECT_EQ(ExtractField(entry, 2), ExpectedTime(stop));
        for (const auto* other : structures) {
            if (other->Observations.empty())
                continue;
            const int64_t t = other->Observations.front().TimelineSeconds;
            EXPECT_EQ(start < t && t < stop, other == structure) << entry;
        }
        for (const auto& observation : structure->Observations) {
            EXPECT_GT(observation.TimelineSeconds, start);
            EXPECT_LT(observation.TimelineSeconds, stop);
        }
    }
}

TEST_F(GeneratedProjectTest, TheGeneratedZFFileTakesOffsets) {
    const auto project = GenerateProject({});
    WriteIsybauProject(project, env.programFolder().string());
    TISYBAUZFParser parser;
    parser.LoadFile((env.programFolder() / project.ZFFileName).string());
    ASSERT_TRUE(parser.IsLoaded());
    EXPECT_TRUE(parser.AddOffset(project.Films.front().FileName, 250, 275));
    EXPECT_FALSE(parser.AddOffset("nothere.mpg", 250, 275));
}

TEST(ContinuationSplitting, PiecesJoinBackToTheDescription) {
    const std::string remarks[] = {
        "",
        "kurz",
        "Riss l\xE4ngs, Breite 2 mm",
        "Wurzeleinwuchs, Querschnittsverringerung 25 %",
        "Ablagerungen, Sand, 15 % des Querschnitts und mehr Text dahinter",
        std::string(70, 'x'),
    };
    for (const auto& remark : remarks) {
        std::string joined;
        for (const auto& piece : SplitIntoContinuations(remark)) {
            EXPECT_LE(piece.size(), 24u);
            EXPECT_NE(piece.front(), ' ');
            EXPECT_NE(piece.back(), ' ');
            joined += piece;
        }
        EXPECT_EQ(joined, remark);
    }
    EXPECT_THROW(SplitIntoContinuations(" vorne"), std::invalid_argument);
}

TEST(GeneratorOptions, RejectsImpossibleSizes) {
    TGeneratorOptions negative;
    negative.Reaches = -1;
    EXPECT_THROW(GenerateProject(negative), std::invalid_argument);
    TGeneratorOptions shortFilms;
    shortFilms.FilmSeconds = 1;
    EXPECT_THROW(GenerateProject(shortFilms), std::invalid_argument);
}

} // namespace
} // namespace kanvio
