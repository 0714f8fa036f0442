#include "core/ProjectExport.h"

#include "tests/core/ContextTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

class ProjectExportTest : public ContextTest {
protected:
    QJsonObject Export(TKanvioContext& context) {
        const std::string json = ProjectJson(context);
        QJsonParseError error;
        const auto document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
        return document.object();
    }
};

TEST_F(ProjectExportTest, EmptyProjectHasThreeEmptyLists) {
    auto context = CreateContext(true);
    EXPECT_EQ(ProjectJson(*context), "{\"reaches\":[], \"connections\":[], \"films\":[]}\n");
}

TEST_F(ProjectExportTest, StructuresKeepTheirFieldsTextsAndNumbers) {
    auto reach = MakeStructure('H', "H\xF6he 1", {"00:00:05"}, "41");
    reach->city = "M\xFCnchen \"Nord\"\\";
    reach->street = "Stra\xDF"
                    "e\t1";
    reach->StartDist = 0.1;
    reach->EndDist = 1.0 / 3.0;
    reach->direction = true;
    reach->Details[0].Distance = 12.345678901234567;
    reach->Details[0].Code = "BCDA";
    reach->Details[0].Text = "(BCDA) Riss \x80";
    reach->Details[0].DefectClass = 3;
    reach->Details[0].CounterHours = 300;
    reach->Details[0].CounterMinutes = 59;
    reach->Details[0].CounterSeconds = 1;
    sources.model.Reaches = {reach};
    sources.model.Connections = {MakeStructure('A', "C1", {}, "42")};
    WriteFile(env.programFolder() / "Kanvio.dat", "x");
    WriteSettings("[FILME]\nCount=2\n1=a.mpg;00:00:00;00:10:00;600;A;42\n"
                  "2=b.mpg;00:10:00;00:20:00;600;H;none\n[TIMECORR_1]\n00:01:00=2\n");
    auto context = CreateContext(true);
    const QJsonObject root = Export(*context);
    ASSERT_EQ(root.keys(), (QStringList{"connections", "films", "reaches"}));
    const QJsonObject s = root["reaches"].toArray()[0].toObject();
    EXPECT_EQ(s["ID"].toString(), "41");
    EXPECT_EQ(s["ReachNumber"].toString(), QString::fromUtf8("Höhe 1"));
    EXPECT_EQ(s["city"].toString(), QString::fromUtf8("München \"Nord\"\\"));
    EXPECT_EQ(s["street"].toString(), QString::fromUtf8("Straße\t1"));
    EXPECT_EQ(s["StartDist"].toDouble(), 0.1);
    EXPECT_EQ(s["EndDist"].toDouble(), 1.0 / 3.0);
    EXPECT_EQ(s["ObjectType"].toString(), "H");
    EXPECT_EQ(s["direction"].toBool(), true);
    const QJsonObject d = s["Details"].toArray()[0].toObject();
    EXPECT_EQ(d["Distance"].toDouble(), 12.345678901234567);
    EXPECT_EQ(d["Text"].toString(), QString::fromUtf8("(BCDA) Riss €"));
    EXPECT_EQ(d["DefectClass"].toInt(), 3);
    EXPECT_EQ(d["CounterHours"].toInt(), 300);
    const QJsonArray films = root["films"].toArray();
    ASSERT_EQ(films.size(), 2);
    const QJsonObject film = films[0].toObject();
    EXPECT_EQ(film["StartTime"].toInt(), 0);
    EXPECT_EQ(film["StopTime"].toInt(), 600);
    EXPECT_EQ(film["Structure"].toObject()["ObjectType"].toString(), "A");
    EXPECT_EQ(film["Structure"].toObject()["Index"].toInt(), 0);
    EXPECT_EQ(film["TimeCorrections"].toArray()[0].toString(), "00:01:00=2");
    EXPECT_TRUE(films[1].toObject()["Structure"].isNull());
}

TEST_F(ProjectExportTest, KeysStandInTheirDocumentedOrder) {
    sources.model.Reaches = {MakeStructure('H', "R", {"00:00:01"})};
    WriteFile(env.programFolder() / "Kanvio.dat", "x");
    auto context = CreateContext(true);
    const std::string json = ProjectJson(*context);
    const char* order[] = {"\"ID\"",
                           "\"city\"",
                           "\"date\"",
                           "\"InspectingCompany\"",
                           "\"street\"",
                           "\"ReachNumber\"",
                           "\"ConnectionNumber\"",
                           "\"StartManholeNumber\"",
                           "\"EndManholeNumber\"",
                           "\"video\"",
                           "\"StartDist\"",
                           "\"EndDist\"",
                           "\"ObjectType\"",
                           "\"direction\"",
                           "\"InspMode\"",
                           "\"InspLength\"",
                           "\"CodeDigit\"",
                           "\"ZIP\"",
                           "\"Details\"",
                           "\"Distance\"",
                           "\"Code\"",
                           "\"Text\"",
                           "\"VideoTime\"",
                           "\"DefectClass\"",
                           "\"CounterHours\"",
                           "\"CounterMinutes\"",
                           "\"CounterSeconds\"",
                           "\"connections\""};
    size_t at = 0;
    for (const char* key : order) {
        const size_t found = json.find(key, at);
        ASSERT_NE(found, std::string::npos) << key << " after " << at << " in " << json;
        at = found;
    }
}

} // namespace
} // namespace kanvio::test
