// A generated project delivered as ISYBAU files, as a project database and as an ISYBAU
// XML file with its own film list, each read by
// the real data source into the real player context: a click on any observation loads
// the film the generator put it in and sets the engine to the observation's place in
// that film, whichever way the project was delivered.

#include "core/KanvioContext.h"
#include "datasources/DataSourceFactory.h"
#include "foundation/KanvioToolkit.h"
#include "foundation/Logging.h"
#include "tests/core/FakePlayerWindows.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tools/mkproject/FirebirdWriter.h"
#include "tools/mkproject/IsybauXmlWriter.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace kanvio::test {
namespace {

// The three ways a project reaches the player.
enum class TDelivery { Isybau, Database, Xml };

class GeneratedDeliveryTest : public IsolatedTest, public ::testing::WithParamInterface<TDelivery> {
protected:
    GeneratedDeliveryTest() {
        // The embedded database engine keeps its lock files there.
        if (const char* tmp = std::getenv("TMPDIR")) {
            previousTmp_ = tmp;
        }
        std::filesystem::create_directories(env.root() / "tmp");
        setenv("TMPDIR", (env.root() / "tmp").c_str(), 1);
        generator::TGeneratorOptions options;
        options.Reaches = 4;
        options.Connections = 5;
        options.Observations = 40;
        options.Films = 3;
        options.FilmSeconds = 20;
        options.Seed = 11;
        project = generator::GenerateProject(options);
        const std::string folder = env.programFolder().string();
        if (GetParam() == TDelivery::Xml) {
            generator::WriteIsybauXmlProject(project, folder, {});
        } else {
            generator::WriteIsybauProject(project, folder);
        }
        if (Database()) {
            generator::WriteProjectDatabase(project, folder);
        }
        cwd_ = std::make_unique<ScopedCurrentDirectory>(env.programFolder());
    }
    ~GeneratedDeliveryTest() override {
        AppLog.reset();
        if (previousTmp_) {
            setenv("TMPDIR", previousTmp_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

    static bool Database() { return GetParam() == TDelivery::Database; }
    // Whether the structures carry a key the films name them by.
    static bool Keyed() { return GetParam() != TDelivery::Isybau; }
    // Whether distances are metres (else hundredths of a metre).
    static bool Metres() { return GetParam() != TDelivery::Isybau; }

    std::unique_ptr<TKanvioContext> CreateContext() {
        TContextServices services;
        services.Dialogs = &dialogs;
        services.DataSources = &sources;
        auto context = std::make_unique<TKanvioContext>(services);
        context->Create();
        context->SetMainWindow(&main);
        context->SetPlayerWindows(&layout);
        return context;
    }

    // The model's structures in the generator's timeline order: reaches, then connections.
    static std::vector<TReachData*> Structures(const TKanvioContext& context) {
        std::vector<TReachData*> structures;
        for (const auto* list : {&context.Reaches, &context.Connections}) {
            for (const auto& structure : *list) {
                structures.push_back(structure.get());
            }
        }
        return structures;
    }

    generator::TGeneratedProject project;
    FakeDialogs dialogs;
    TDataSourceFactory sources{dialogs};
    FakeMainWindow main;
    FakeLayout layout;

private:
    std::optional<std::string> previousTmp_;
    std::unique_ptr<ScopedCurrentDirectory> cwd_;
};

TEST_P(GeneratedDeliveryTest, EveryObservationSeeksIntoItsFilmAtItsTime) {
    auto context = CreateContext();
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].second;
    const auto expected = project.StructuresInTimelineOrder();
    const auto structures = Structures(*context);
    ASSERT_EQ(structures.size(), expected.size());
    ASSERT_EQ(context->PlayList.size(), expected.size());

    size_t observations = 0;
    for (size_t s = 0; s < structures.size(); ++s) {
        const auto& input = *expected[s];
        TReachData& structure = *structures[s];
        SCOPED_TRACE(input.Number);
        ASSERT_EQ(structure.Details.size(), input.Observations.size());
        const std::string film = project.Films[static_cast<size_t>(input.FilmIndex)].FileName;
        context->CurrentStructure = &structure;
        for (size_t i = 0; i < input.Observations.size(); ++i) {
            SCOPED_TRACE(i);
            const size_t loadsBefore = layout.video.loads.size();
            context->SeekDetail(static_cast<int>(i));
            EXPECT_EQ(context->FilmIndex, static_cast<int>(s));
            EXPECT_EQ(ExtractFileName(context->FilmName), film);
            EXPECT_EQ(ExtractFileName(layout.controls.filmNames.back()), film);
            // The first observation of each structure loads its part; the others stay in it.
            EXPECT_EQ(layout.video.loads.size(), loadsBefore + (i == 0 ? 1 : 0));
            const int64_t intoFilm =
                (input.Observations[i].TimelineSeconds - input.StartTime) * 1000;
            ASSERT_FALSE(layout.video.seeks.empty());
            EXPECT_EQ(layout.video.seeks.back(), std::max<int64_t>(400, intoFilm));
            EXPECT_EQ(context->CurrentStructure, &structure);
            ++observations;
        }
        // The track bar shows this structure's film part; ISYBAU structures have no key,
        // so there it shows the parts of all structures of its type.
        char part[32];
        std::snprintf(part, sizeof part, "%08lld=%08lld", static_cast<long long>(input.StartTime),
                      static_cast<long long>(input.StopTime));
        const auto& parts = layout.controls.parts;
        EXPECT_NE(std::find(parts.begin(), parts.end(), part), parts.end()) << part;
        if (Keyed()) {
            EXPECT_EQ(parts.size(), 1u);
        }
    }
    EXPECT_EQ(observations, project.ObservationCount());
    EXPECT_TRUE(dialogs.messages.empty());
}

// A delivery film may show two structures one after the other, and its name may hold a
// ';': each structure's observations seek into that one file at their own time in it.
TEST_P(GeneratedDeliveryTest, AFilmOfTwoStructuresServesBoth) {
    if (GetParam() != TDelivery::Xml) {
        GTEST_SKIP() << "only XML deliveries list the structures a film shows";
    }
    for (auto& film : project.Films) {
        film.FileName.insert(film.FileName.find('.'), ";2");
    }
    generator::TXmlDeliveryOptions options;
    options.ObjectsPerFilm = 2;
    generator::WriteIsybauXmlProject(project, env.programFolder().string(), options);
    auto context = CreateContext();
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].second;
    const auto expected = project.StructuresInTimelineOrder();
    const auto structures = Structures(*context);
    ASSERT_EQ(structures.size(), expected.size());
    for (size_t s = 1; s < expected.size(); ++s) {
        ASSERT_EQ(expected[s]->StartTime, expected[s - 1]->StopTime) << "parts with a gap";
    }
    ASSERT_EQ(context->PlayList.size(), (expected.size() + 1) / 2);

    for (size_t s = 0; s < structures.size(); ++s) {
        const auto& first = *expected[s - s % 2];
        const std::string film = project.Films[static_cast<size_t>(first.FilmIndex)].FileName;
        SCOPED_TRACE(expected[s]->Number);
        context->CurrentStructure = structures[s];
        for (size_t i = 0; i < expected[s]->Observations.size(); ++i) {
            SCOPED_TRACE(i);
            context->SeekDetail(static_cast<int>(i));
            EXPECT_EQ(context->FilmIndex, static_cast<int>(s / 2));
            EXPECT_EQ(ExtractFileName(context->FilmName), film);
            const int64_t intoFilm =
                (expected[s]->Observations[i].TimelineSeconds - first.StartTime) * 1000;
            ASSERT_FALSE(layout.video.seeks.empty());
            EXPECT_EQ(layout.video.seeks.back(), std::max<int64_t>(400, intoFilm));
            EXPECT_EQ(context->CurrentStructure, structures[s]);
        }
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_P(GeneratedDeliveryTest, DistancesShowInTheDeliverysOwnUnit) {
    auto context = CreateContext();
    EXPECT_EQ(context->LengthUnit, Metres() ? "m" : "cm");
    EXPECT_EQ(context->LengthFormat, Metres() ? "0.00" : "0");
    const auto expected = project.StructuresInTimelineOrder();
    const auto structures = Structures(*context);
    ASSERT_EQ(structures.size(), expected.size());
    const double perUnit = Metres() ? 100.0 : 1.0; // hundredths of a metre per unit
    for (size_t s = 0; s < structures.size(); ++s) {
        for (size_t i = 0; i < expected[s]->Observations.size(); ++i) {
            EXPECT_NEAR(structures[s]->Details[i].Distance * perUnit,
                        expected[s]->Observations[i].StationHundredths, 1e-6)
                << expected[s]->Number << " " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDelivery, GeneratedDeliveryTest,
                         ::testing::Values(TDelivery::Isybau, TDelivery::Database, TDelivery::Xml),
                         [](const auto& info) {
                             return info.param == TDelivery::Database ? "Database"
                                    : info.param == TDelivery::Xml    ? "Xml"
                                                                      : "Isybau";
                         });

} // namespace
} // namespace kanvio::test
