// Generated XML deliveries of every version read back and compared, field by field, with
// the fixed-width delivery of the same project; then the odd cases real deliveries show.

#include "datasources/CodeTexts.h"
#include "datasources/IsybauDataTreeBuilder.h"
#include "datasources/IsybauXmlDataTreeBuilder.h"
#include "datasources/IsybauXmlReader.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/IsybauWriter.h"
#include "tools/mkproject/IsybauXmlWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <QLocale>
#include <filesystem>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

using namespace generator;

TGeneratedProject SmallProject(uint32_t seed = 1, int films = 3) {
    TGeneratorOptions options;
    options.Reaches = 6;
    options.Connections = 8;
    options.Observations = 80;
    options.Films = films;
    options.Seed = seed;
    return GenerateProject(options);
}

TKanvioDataModel FixedWidthModel(const TGeneratedProject& project) {
    TKanvioDataModel model;
    isybau::AppendStructures('H', FormatReachFile(project), "reaches.txt", model);
    isybau::AppendStructures('A', FormatConnectionFile(project), "connections.txt", model);
    return model;
}

TKanvioDataModel XmlModel(const TGeneratedProject& project, const TXmlDeliveryOptions& options,
                          const TCodeTexts* codeTexts = nullptr) {
    TKanvioDataModel model;
    TIsybauXmlSettings settings;
    settings.CodeTexts = codeTexts;
    settings.FilmFolder = "/delivery/";
    ReadIsybauXml(FormatIsybauXml(project, options), "delivery.xml", model, settings);
    return model;
}

const TGeneratedObservation& Written(const TGeneratedProject& project, size_t structure,
                                     size_t observation) {
    return project.StructuresInTimelineOrder()[structure]->Observations[observation];
}

// The fields both deliveries carry must agree; the XML gives distances in metres where the
// fixed-width files give hundredths.
void ExpectSameStructures(const TAReachData& fixedWidth, const TAReachData& xml) {
    ASSERT_EQ(xml.size(), fixedWidth.size());
    for (size_t s = 0; s < xml.size(); ++s) {
        const TReachData& a = *fixedWidth[s];
        const TReachData& b = *xml[s];
        SCOPED_TRACE(a.ReachNumber + a.ConnectionNumber);
        EXPECT_EQ(b.ObjectType, a.ObjectType);
        EXPECT_EQ(b.ReachNumber, a.ReachNumber);
        EXPECT_EQ(b.ConnectionNumber, a.ConnectionNumber);
        EXPECT_EQ(b.street, a.street);
        EXPECT_EQ(b.city, a.city);
        EXPECT_EQ(b.date, a.date);
        EXPECT_EQ(b.InspectingCompany, a.InspectingCompany);
        ASSERT_EQ(b.Details.size(), a.Details.size());
        for (size_t i = 0; i < a.Details.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(b.Details[i].Distance * 100, a.Details[i].Distance, 1e-6);
            EXPECT_EQ(b.Details[i].Text, a.Details[i].Text);
            EXPECT_EQ(b.Details[i].VideoTime, a.Details[i].VideoTime);
            EXPECT_EQ(b.Details[i].CounterHours, a.Details[i].CounterHours);
            EXPECT_EQ(b.Details[i].CounterMinutes, a.Details[i].CounterMinutes);
            EXPECT_EQ(b.Details[i].CounterSeconds, a.Details[i].CounterSeconds);
        }
    }
}

class IsybauXmlDeliveryTest : public test::IsolatedTest {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
};

TEST_F(IsybauXmlDeliveryTest, EveryVersionReadsAsTheFixedWidthDelivery) {
    for (const uint32_t seed : {1u, 7u, 4242u}) {
        const TGeneratedProject project = SmallProject(seed);
        const TKanvioDataModel expected = FixedWidthModel(project);
        for (const TXmlVersion version :
             {TXmlVersion::V2006_10, TXmlVersion::V2013_02, TXmlVersion::V2017_07}) {
            SCOPED_TRACE(std::string(VersionText(version)) + " seed " + std::to_string(seed));
            TXmlDeliveryOptions options;
            options.Version = version;
            const TKanvioDataModel model = XmlModel(project, options);
            EXPECT_TRUE(model.Warnings.empty()) << model.Warnings.front();
            ExpectSameStructures(expected.Reaches, model.Reaches);
            ExpectSameStructures(expected.Connections, model.Connections);
        }
    }
}

TEST_F(IsybauXmlDeliveryTest, WhatOnlyTheXmlCarries) {
    const TGeneratedProject project = SmallProject();
    const TKanvioDataModel model = XmlModel(project, {});
    const auto structures = project.StructuresInTimelineOrder();
    ASSERT_EQ(model.Reaches.size() + model.Connections.size(), structures.size());
    for (size_t s = 0; s < structures.size(); ++s) {
        const TReachData& read = s < model.Reaches.size()
                                     ? *model.Reaches[s]
                                     : *model.Connections[s - model.Reaches.size()];
        EXPECT_EQ(read.ID, structures[s]->Number);
        EXPECT_EQ(read.StartManholeNumber, structures[s]->StartManhole);
        EXPECT_EQ(read.EndManholeNumber, structures[s]->EndManhole);
        EXPECT_DOUBLE_EQ(read.InspLength * 100, structures[s]->LengthHundredths);
        for (size_t i = 0; i < read.Details.size(); ++i) {
            EXPECT_EQ(read.Details[i].Code, Written(project, s, i).Code);
            EXPECT_EQ(read.Details[i].DefectClass, Written(project, s, i).DefectClass);
        }
    }
}

// One film per structure, end to end: each film starts where the one before ends and
// names its structure by type word and ID.
TEST_F(IsybauXmlDeliveryTest, FilmsLieEndToEndInDeliveryOrder) {
    const TGeneratedProject project = SmallProject();
    const TKanvioDataModel model = XmlModel(project, {});
    const auto structures = project.StructuresInTimelineOrder();
    ASSERT_EQ(model.Films.size(), structures.size());
    int64_t start = 0;
    for (size_t k = 0; k < structures.size(); ++k) {
        const TPlayListItem& film = model.Films[k];
        EXPECT_EQ(film.Number, static_cast<int32_t>(k + 1));
        EXPECT_EQ(film.StartTime, start);
        EXPECT_EQ(film.StartTime, structures[k]->StartTime);
        EXPECT_EQ(film.StopTime, structures[k]->StopTime);
        EXPECT_EQ(film.StructureType, std::string(1, structures[k]->ObjectType));
        EXPECT_EQ(film.StructureID, structures[k]->Number);
        EXPECT_EQ(film.FileName, "/delivery/" + project.Films[structures[k]->FilmIndex].FileName);
        start = film.StopTime;
    }
}

TEST_F(IsybauXmlDeliveryTest, OddCasesReadAsTheFixedWidthDelivery) {
    struct Case {
        const char* name;
        TXmlDeliveryOptions options;
    };
    TXmlDeliveryOptions frames;
    frames.Position = TXmlVideoPosition::Frame;
    TXmlDeliveryOptions tape;
    tape.TimecodeStartHours = 10;
    TXmlDeliveryOptions framesOn2006 = frames;
    framesOn2006.Version = TXmlVersion::V2006_10;
    TXmlDeliveryOptions full;
    full.FullObservations = true;
    const Case cases[] = {{"frame numbers", frames},
                          {"time code from 10:00:00", tape},
                          {"frame numbers, ISO-8859-1", framesOn2006},
                          {"every optional element", full}};
    const TGeneratedProject project = SmallProject(3);
    const TKanvioDataModel expected = FixedWidthModel(project);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TKanvioDataModel model = XmlModel(project, c.options);
        EXPECT_TRUE(model.Warnings.empty()) << model.Warnings.front();
        ExpectSameStructures(expected.Reaches, model.Reaches);
        ExpectSameStructures(expected.Connections, model.Connections);
    }
}

TEST_F(IsybauXmlDeliveryTest, FilmPathsRelativeAndAbsolute) {
    const TGeneratedProject project = SmallProject(5, 2);
    struct Case {
        std::string path;
        bool absolute;
        std::string expectedFolder;
    };
    const Case cases[] = {{"", false, "/delivery/"},
                          {"Filme", false, "/delivery/Filme/"},
                          {"Filme\\2017\\", false, "/delivery/Filme/2017/"},
                          {"/media/disc/filme", true, "/media/disc/filme/"},
                          {"D:\\Filme", true, "D:/Filme/"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TXmlDeliveryOptions options;
        options.FilmPath = c.path;
        options.FilmPathIsAbsolute = c.absolute;
        const TKanvioDataModel model = XmlModel(project, options);
        ASSERT_FALSE(model.Films.empty());
        EXPECT_EQ(model.Films.front().FileName, c.expectedFolder + project.Films[0].FileName);
    }
}

TEST_F(IsybauXmlDeliveryTest, WithoutFilmsTheTimeCodesAreTheTimeline) {
    const TGeneratedProject project = SmallProject(9, 0);
    const TKanvioDataModel model = XmlModel(project, {});
    EXPECT_TRUE(model.Films.empty());
    const TKanvioDataModel expected = FixedWidthModel(project);
    ExpectSameStructures(expected.Reaches, model.Reaches);
    ExpectSameStructures(expected.Connections, model.Connections);
}

TEST_F(IsybauXmlDeliveryTest, RequiredElementsOnlyTakeTheCodeTexts) {
    const TGeneratedProject project = SmallProject(11);
    const TCodeTexts texts = TCodeTexts::Parse("# test table\nBCD\tRohranfang\tStart of pipe\n"
                                               "BAB\tRiss\tCrack\nBABBA\tRiss l\xC3\xA4ngs\t"
                                               "Longitudinal crack\n");
    TXmlDeliveryOptions options;
    options.RequiredOnly = true;
    const TKanvioDataModel model = XmlModel(project, options, &texts);
    ASSERT_FALSE(model.Reaches.empty());
    for (const auto& structure : model.Reaches) {
        EXPECT_EQ(structure->street, "");
        EXPECT_EQ(structure->city, "");
        EXPECT_EQ(structure->InspectingCompany, "");
        for (const TReachDetail& detail : structure->Details) {
            EXPECT_EQ(detail.DefectClass, 0);
            const std::string expected = detail.Code == "BCDA"    ? "(BCDA) Rohranfang"
                                         : detail.Code == "BABBA" ? "(BABBA) Riss l\xE4ngs"
                                         : detail.Code == "BABCA" ? "(BABCA) Riss"
                                                                  : "(" + detail.Code + ")";
            EXPECT_EQ(detail.Text, expected);
        }
    }
}

TEST_F(IsybauXmlDeliveryTest, ManholeInspectionsAreCountedNotListed) {
    const TGeneratedProject project = SmallProject();
    TXmlDeliveryOptions options;
    options.ManholeInspections = 4;
    const TKanvioDataModel model = XmlModel(project, options);
    EXPECT_EQ(model.ManholeInspections, 4u);
    EXPECT_EQ(model.Reaches.size(), 6u);
    EXPECT_EQ(model.Connections.size(), 8u);
}

// The source as the context creates it: the file named in the settings, the code texts
// of the program folder in the settings' language.
TEST_F(IsybauXmlDeliveryTest, SourceFindsItsFileAndTheProgramsCodeTexts) {
    const TGeneratedProject project = SmallProject();
    const std::string folder = env.programFolder().string() + "/";
    TXmlDeliveryOptions options;
    options.RequiredOnly = true;
    WriteIsybauXmlProject(project, folder, options, "Lieferung.XML");
    std::filesystem::copy_file(KANVIO_MEDIUM_SOURCE_DIR "/kanvio_codes.txt",
                               folder + "kanvio_codes.txt");
    EXPECT_EQ(FindIsybauXmlFile(folder, "lieferung.xml"), folder + "Lieferung.XML");
    EXPECT_EQ(FindIsybauXmlFile(folder, ""), folder + "Lieferung.XML");
    EXPECT_EQ(FindIsybauXmlFile(folder, "Kanvio.ini"), folder + "Lieferung.XML");

    TKanvioDataModel model;
    TIsybauXmlDataTreeBuilder(folder + "Lieferung.XML").BuildDataTree(model);
    ASSERT_FALSE(model.Reaches.empty());
    EXPECT_EQ(model.Reaches.front()->Details.front().Text, "(BCDA) Rohranfang");
    EXPECT_EQ(model.Films.front().FileName, folder + project.Films[0].FileName);

    // A second delivery beside it: the folder no longer says which one is meant.
    WriteIsybauXmlProject(project, folder, options, "Zweite.xml");
    EXPECT_EQ(FindIsybauXmlFile(folder, ""), "");
    EXPECT_EQ(FindIsybauXmlFile(folder, "Zweite.xml"), folder + "Zweite.xml");
}

} // namespace
} // namespace kanvio
