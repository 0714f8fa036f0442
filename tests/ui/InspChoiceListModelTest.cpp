// The rows and columns of the choice window's table, built from a context created the way
// the program creates it, with the shipped German texts.

#include "core/StructureListModel.h"
#include "foundation/AnsiText.h"
#include "tests/core/ContextTestSupport.h"

#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

class InspChoiceListModelTest : public ContextTest {
protected:
    InspChoiceListModelTest() {
        std::filesystem::create_directories(env.programFolder() / "de");
        std::filesystem::copy_file(std::filesystem::path(KANVIO_SOURCE_DIR) /
                                       "medium/de/lang_kanvio_de.ini",
                                   env.programFolder() / "de" / "lang_kanvio_de.ini");
        WriteFile(env.programFolder() / "haltungen.txt", "");
        WriteSettings("[DATA]\nProjekt=haltungen.txt\n");
    }

    static TReachDataRef Structure(char type, std::string id, std::string city) {
        auto structure = std::make_shared<TReachData>();
        structure->ObjectType = type;
        structure->ID = std::move(id);
        structure->city = std::move(city);
        return structure;
    }

    std::unique_ptr<TKanvioContext> Context(size_t reaches, size_t connections) {
        for (size_t i = 0; i < reaches; ++i) {
            sources.model.Reaches.push_back(Structure('H', "H" + std::to_string(i), "Bonn"));
        }
        for (size_t j = 0; j < connections; ++j) {
            sources.model.Connections.push_back(Structure('A', "A" + std::to_string(j), "Bonn"));
        }
        return CreateContext();
    }
};

TEST_F(InspChoiceListModelTest, SixteenColumnsInOrderWithTheirLanguageTexts) {
    const auto context = Context(0, 0);
    const auto model = BuildListModel(*context);
    struct Column {
        const char* name;
        const char* caption; // UTF-8 of the German text
        bool visible;
        TQelAlignment alignment;
        bool filterable;
    };
    constexpr auto left = TQelAlignment::Left;
    const Column expected[] = {
        {"TypeShort", "", false, left, false},
        {"Nr", "", false, left, false},
        {"Type", "Typ", true, left, true},
        {"Number", "Nummer", true, TQelAlignment::Right, false},
        {"Stadt", "Ort", true, left, true},
        {"Strasse", "Straße", true, left, true},
        {"Haltungsnr", nullptr, true, left, false},
        {"Anschlnr", nullptr, true, left, false},
        {"Untersuchl", "Inspektionslänge", true, left, false},
        {"Fliessr", nullptr, true, left, true},
        {"VideoB", nullptr, true, left, true},
        {"Untersa", nullptr, true, left, true},
        {"AnfSchacht", nullptr, true, left, false},
        {"EndSchacht", nullptr, true, left, false},
        {"PLZ", "PLZ", true, left, false},
        {"Kennz", "Kennzeichen", true, left, false},
    };
    ASSERT_EQ(model->Attributes.size(), std::size(expected));
    EXPECT_TRUE(model->Rows.empty());
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TQelAttrib& attribute = model->Attributes[i];
        EXPECT_EQ(attribute.Name, expected[i].name) << i;
        EXPECT_EQ(attribute.Visible, expected[i].visible) << i;
        EXPECT_EQ(attribute.Alignment, expected[i].alignment) << i;
        EXPECT_EQ(attribute.Filterable, expected[i].filterable) << i;
        if (expected[i].caption != nullptr) {
            EXPECT_EQ(AnsiToUtf8(attribute.Caption), expected[i].caption) << i;
        } else {
            // A text of the language file, never the bare key.
            EXPECT_FALSE(attribute.Caption.empty()) << i;
            EXPECT_NE(attribute.Caption.front(), '_') << i;
        }
    }
}

TEST_F(InspChoiceListModelTest, ReachesComeFirstAndEachKindCountsFromZero) {
    const auto context = Context(3, 2);
    const auto model = BuildListModel(*context);
    ASSERT_EQ(model->Rows.size(), 5u);
    const char* expected[][3] = {
        {"H", "0", "H0"}, {"H", "1", "H1"}, {"H", "2", "H2"}, {"A", "0", "A0"}, {"A", "1", "A1"}};
    for (size_t i = 0; i < 5; ++i) {
        const THashMap& row = *model->Rows[i];
        EXPECT_EQ(row.GetString("TypeShort", "?"), expected[i][0]) << i;
        EXPECT_EQ(row.GetString("Nr", "?"), expected[i][1]) << i;
        EXPECT_EQ(row.GetString("Number", "?"), expected[i][2]) << i;
        EXPECT_EQ(row.GetInteger("Nr", -1), std::stoi(expected[i][1])) << i;
    }
    EXPECT_EQ(model->Rows[0]->GetString("Type", ""), "Haltung");
    EXPECT_EQ(model->Rows[3]->GetString("Type", ""), "Anschluss");
}

TEST_F(InspChoiceListModelTest, EveryValueComesFromItsStructureField) {
    auto reach = Structure('H', "", "M\xFCnchen");
    reach->street = "Stra\xDF"
                    "e 1";
    reach->ReachNumber = "R-7";
    reach->ConnectionNumber = "C-8";
    reach->StartManholeNumber = "S1";
    reach->EndManholeNumber = "S2";
    reach->video = "film1.mpg";
    reach->direction = true;
    reach->InspLength = 12.5;
    reach->InspMode = "TV";
    reach->CodeDigit = "K";
    reach->ZIP = "80331";
    sources.model.Reaches.push_back(reach);
    const auto context = CreateContext();
    const auto model = BuildListModel(*context);
    ASSERT_EQ(model->Rows.size(), 1u);
    const THashMap& row = *model->Rows[0];

    const std::pair<const char*, std::string> values[] = {
        // An ISYBAU structure has no ID: its number is empty.
        {"Number", ""},
        {"Stadt", "M\xFCnchen"},
        {"Strasse", "Stra\xDF"
                    "e 1"},
        {"Haltungsnr", "R-7"},
        {"Anschlnr", "C-8"},
        {"AnfSchacht", "S1"},
        {"EndSchacht", "S2"},
        {"VideoB", "film1.mpg"},
        {"Fliessr", Utf8ToAnsi("in Fließrichtung")},
        {"Untersuchl", "12.5"},
        {"Untersa", "TV"},
        {"Kennz", "K"},
        {"PLZ", "80331"},
    };
    for (const auto& [key, value] : values) {
        EXPECT_EQ(row.GetString(key, "<missing>"), value) << key;
    }
    ASSERT_NE(row.GetEntry("Untersuchl"), nullptr);
    EXPECT_TRUE(row.GetEntry("Untersuchl")->IsFloat());
    EXPECT_EQ(row.Count(), 16u);
}

TEST_F(InspChoiceListModelTest, AProjectWithoutConnectionsGivesOnlyReachRows) {
    const auto context = Context(2, 0);
    const auto model = BuildListModel(*context);
    ASSERT_EQ(model->Rows.size(), 2u);
    for (const auto& row : model->Rows) {
        EXPECT_EQ(row->GetString("TypeShort", ""), "H");
    }
}

} // namespace
} // namespace kanvio::test
