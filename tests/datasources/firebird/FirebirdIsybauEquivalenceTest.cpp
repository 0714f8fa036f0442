// One generated project delivered both ways: what the two formats carry alike must come out
// alike.

#include "datasources/IsybauDataTreeBuilder.h"
#include "foundation/KanvioToolkit.h"
#include "tests/datasources/firebird/FirebirdTestSupport.h"
#include "tools/mkproject/ProjectFiles.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <gmock/gmock.h>

namespace kanvio::test {
namespace {

TEST_F(FirebirdTest, SameProjectAsIsybauFilesAndAsDatabase) {
    generator::TGeneratorOptions options;
    options.Reaches = 25;
    options.Connections = 40;
    options.Observations = 400;
    options.Seed = 7;
    const auto project = generator::GenerateProject(options);
    const std::string folder = env.programFolder().string();
    generator::WriteIsybauProject(project, folder);
    generator::WriteProjectDatabase(project, folder);

    TKanvioDataModel isybau;
    TISYBAUDataTreeBuilder(project.ReachFileName, project.ConnectionFileName).BuildDataTree(isybau);
    const TKanvioDataModel database = Build(DatabaseFile());

    ASSERT_EQ(database.Reaches.size(), isybau.Reaches.size());
    ASSERT_EQ(database.Connections.size(), isybau.Connections.size());
    EXPECT_EQ(database.Reaches.size(), 25u);
    size_t observations = 0;
    for (const auto& [fromDatabase, fromFiles] :
         {std::pair{&database.Reaches, &isybau.Reaches},
          std::pair{&database.Connections, &isybau.Connections}}) {
        for (size_t i = 0; i < fromFiles->size(); ++i) {
            const TReachData& a = *(*fromDatabase)[i];
            const TReachData& b = *(*fromFiles)[i];
            SCOPED_TRACE(std::string(1, b.ObjectType) + " " + b.ReachNumber + b.ConnectionNumber);
            EXPECT_EQ(a.ObjectType, b.ObjectType);
            EXPECT_EQ(a.city, b.city);
            EXPECT_EQ(a.street, b.street);
            EXPECT_EQ(a.ReachNumber + a.ConnectionNumber, b.ReachNumber + b.ConnectionNumber);
            EXPECT_EQ(a.direction, b.direction);
            EXPECT_EQ(a.StartDist, b.StartDist);
            ASSERT_EQ(a.Details.size(), b.Details.size());
            for (size_t d = 0; d < a.Details.size(); ++d) {
                EXPECT_EQ(a.Details[d].Text, b.Details[d].Text);
                EXPECT_EQ(a.Details[d].VideoTime, b.Details[d].VideoTime);
                // Stations: metres in the database, hundredths in the files.
                EXPECT_NEAR(a.Details[d].Distance * 100, b.Details[d].Distance, 1e-6);
            }
            observations += a.Details.size();
        }
    }
    EXPECT_EQ(observations, project.ObservationCount());
}

} // namespace
} // namespace kanvio::test
