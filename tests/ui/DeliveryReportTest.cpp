// The report and the observation places in a player context on a prepared model: where
// each observation's picture lies, the counts, choosing structures by number, the command
// line, and that a cancelled or failed report leaves no file behind.

#include "ui/DeliveryReport.h"

#include "core/KanvioContext.h"
#include "core/StructureListModel.h"
#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"
#include "tests/ui/ReportTestSupport.h"
#include "tests/video/VideoTestSupport.h"
#include "ui/InspChoiceForm.h"
#include "ui/ObservationPictures.h"
#include "ui/ReportCommand.h"
#include "ui/ReportCommands.h"

#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

namespace fs = std::filesystem;
using test::InspectionReportTest;

TEST_F(InspectionReportTest, ObservationPlacesFollowTheFilmThatHoldsTheirTime) {
    struct TCase {
        size_t Structure;
        size_t Detail;
        const char* Film; // empty: no place
        int64_t Ms;
    };
    const TCase cases[] = {
        {0, 0, "a.mpg", 400},   // the film's start: seeking never goes before 400 ms
        {0, 1, "a.mpg", 10000}, // inside the first film
        {0, 2, "b.mpg", 15000}, // the second film counts from its own start
        {0, 3, "", -1},         // after every film of the structure
        {0, 4, "", -1},         // no time
        {1, 0, "a.mpg", 7000},  // the same file for another structure, from its part's start
        {2, 0, "", -1},         // a structure without films
    };
    for (const TCase& c : cases) {
        const TReachData& structure = Structure(c.Structure);
        const TFramePlace place =
            ObservationFramePlace(*context, structure, structure.Details[c.Detail]);
        SCOPED_TRACE(structure.ReachNumber + " #" + std::to_string(c.Detail));
        EXPECT_EQ(place.Valid(), c.Ms >= 0);
        EXPECT_EQ(place.Ms, c.Ms);
        if (place.Valid()) {
            EXPECT_EQ(fs::path(place.Film).filename(), c.Film);
        }
    }
    // The picture there is the frame of that time.
    TObservationPictureSource pictures;
    const TReachData& r1 = Structure(0);
    EXPECT_EQ(test::FrameNumberOf(
                  pictures.Picture(ObservationFramePlace(*context, r1, r1.Details[2]), QSize())),
              15000 / 40);
}

TEST_F(InspectionReportTest, LinearFactorScalesTheTimeAsSeekingDoes) {
    context->LinearFactor = 0.5;
    const TReachData& r1 = Structure(0);
    EXPECT_EQ(ObservationFramePlace(*context, r1, r1.Details[1]).Ms, 5000);
}

TEST_F(InspectionReportTest, CountsGroupTheDefectClasses) {
    const TReportCounts counts = CountReport(AllStructures(*context));
    EXPECT_EQ(counts.Reaches, 2u);
    EXPECT_EQ(counts.Connections, 1u);
    EXPECT_EQ(counts.Observations, 7u);
    // Class 9 is drawn in the colour of class 5 and counted there.
    const std::array<size_t, 6> expected = {5, 0, 0, 1, 0, 1};
    EXPECT_EQ(counts.ByClass, expected);
    for (const auto& [given, counted] :
         std::vector<std::pair<int, int>>{{-3, 0}, {0, 0}, {1, 1}, {5, 5}, {6, 5}, {1000, 5}})
        EXPECT_EQ(ReportClassOf(given), counted) << given;
}

TEST_F(InspectionReportTest, StructuresAreFoundByTheirExactNumberInTheOrderAsked) {
    const auto found = FindReportStructures(*context, {{'A', "C1"}, {'H', "R1"}, {'H', "R10"}});
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], &Structure(2));
    EXPECT_EQ(found[1], &Structure(0));
    EXPECT_EQ(found[2], &Structure(1));
    // No prefix matching, and a connection is looked up by its own number only.
    for (const auto& [type, number] : std::vector<std::pair<char, std::string>>{
             {'H', "R"}, {'H', "r1"}, {'H', "R1 "}, {'A', "R10"}, {'H', "C1"}}) {
        try {
            FindReportStructures(*context, {{type, number}});
            ADD_FAILURE() << type << ":" << number << " was found";
        } catch (const EKanvioError& error) {
            EXPECT_NE(std::string(error.what()).find(number), std::string::npos) << error.what();
        }
    }
}

TEST_F(InspectionReportTest, CommandLineArguments) {
    struct TCase {
        std::vector<std::string> Args;
        bool Ok;
        size_t Structures;
    };
    const TCase cases[] = {
        {{"out.pdf"}, true, 0},
        {{"out.pdf", "--structure", "H:R1", "--structure", "A:C 1"}, true, 2},
        {{"out.pdf", "--structure", "H:"}, false, 0},
        {{"out.pdf", "--structure", "X:R1"}, false, 0},
        {{"out.pdf", "--structure", "HR1"}, false, 0},
        {{"out.pdf", "--structure"}, false, 0},
        {{"out.pdf", "extra"}, false, 0},
        {{"--structure", "H:R1"}, false, 0},
    };
    for (const TCase& c : cases) {
        const TReportArguments parsed = ParseReportArguments(c.Args);
        EXPECT_EQ(parsed.Error.empty(), c.Ok) << c.Args.size() << " " << parsed.Error;
        if (c.Ok) {
            EXPECT_EQ(parsed.Output, "out.pdf");
            EXPECT_EQ(parsed.Structures.size(), c.Structures);
        }
    }
    const TReportArguments two = ParseReportArguments({"o.pdf", "--structure", "A:C 1"});
    ASSERT_EQ(two.Structures.size(), 1u);
    EXPECT_EQ(two.Structures[0], std::make_pair('A', std::string("C 1")));
}

TEST_F(InspectionReportTest, CancelledReportLeavesNoFileAndKeepsAnOldOne) {
    TObservationPictureSource pictures;
    TInspectionReport report(*context, pictures);
    const auto structures = AllStructures(*context);
    const std::string fresh = (env.root() / "fresh.pdf").string();
    const std::string old = (env.root() / "old.pdf").string();
    WriteFileAtomically(old, "the report of yesterday");
    for (size_t stopAt : {size_t{0}, size_t{2}}) {
        std::vector<size_t> asked;
        for (const std::string& file : {fresh, old}) {
            asked.clear();
            EXPECT_FALSE(
                report.Write(file, structures, [&](size_t index, size_t total, const TReachData&) {
                    EXPECT_EQ(total, 3u);
                    asked.push_back(index);
                    return index < stopAt;
                }));
        }
        EXPECT_EQ(asked.size(), stopAt + 1);
        EXPECT_FALSE(fs::exists(fresh));
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(old, bytes));
        EXPECT_EQ(bytes, "the report of yesterday");
    }
    // Nothing half-written is left beside them either.
    for (const auto& entry : fs::directory_iterator(env.root()))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST_F(InspectionReportTest, ReportIntoAMissingFolderIsAnErrorNamingTheFile) {
    TObservationPictureSource pictures;
    TInspectionReport report(*context, pictures);
    const std::string file = (env.root() / "no" / "such" / "report.pdf").string();
    try {
        report.Write(file, AllStructures(*context));
        ADD_FAILURE() << "written";
    } catch (const EInOutError& error) {
        EXPECT_EQ(error.fileName(), file);
    }
    EXPECT_FALSE(fs::exists(file));
    // Observations without a film are shown without a picture, not as a failure.
    const std::string written = (env.root() / "report.pdf").string();
    EXPECT_TRUE(report.Write(written, AllStructures(*context)));
    EXPECT_EQ(report.MissingPictures(), 3u);
    EXPECT_GT(fs::file_size(written), 1000u);
}

// What the progress window was told; cancels before structure number cancelAt.
class CountingProgress final : public IReportProgress {
public:
    CountingProgress(std::vector<std::string>& shown, size_t cancelAt)
        : shown_(shown), cancelAt_(cancelAt) {}
    void Show(size_t index, size_t total, const std::string& structure) override {
        shown_.push_back(std::to_string(index + 1) + "/" + std::to_string(total) + " " + structure);
        index_ = index;
    }
    bool Cancelled() override { return index_ >= cancelAt_; }

private:
    std::vector<std::string>& shown_;
    size_t cancelAt_;
    size_t index_ = 0;
};

class ReportCommandsTest : public InspectionReportTest {
protected:
    TReportCommands Commands(size_t cancelAt = SIZE_MAX) {
        return TReportCommands(*context, dialogs, [this, cancelAt] {
            return std::make_unique<CountingProgress>(shown, cancelAt);
        });
    }
    std::vector<std::string> shown;
};

TEST_F(ReportCommandsTest, ChosenFileGetsTheReportWithProgressPerStructure) {
    TReportCommands commands = Commands();
    // The dialog cancelled: nothing happens.
    EXPECT_FALSE(commands.ReportDelivery());
    EXPECT_TRUE(shown.empty());
    // A name without its ending gets it.
    dialogs.saveAnswers.push_back((env.root() / "all").string());
    EXPECT_TRUE(commands.ReportDelivery());
    EXPECT_TRUE(fs::exists(env.root() / "all.pdf"));
    EXPECT_EQ(shown, (std::vector<std::string>{"1/3 _Reach R1", "2/3 _Reach R10",
                                               "3/3 _Connection R10 / C1"}));
    ASSERT_EQ(dialogs.saveDialogs.size(), 2u);
    EXPECT_EQ(dialogs.saveDialogs[1].Filter, "_ReportFile (*.pdf)");
    EXPECT_TRUE(dialogs.messages.empty());

    shown.clear();
    context->CurrentStructure = context->Connections[0].get();
    dialogs.saveAnswers.push_back((env.root() / "one.PDF").string());
    EXPECT_TRUE(commands.ReportCurrentStructure());
    EXPECT_TRUE(fs::exists(env.root() / "one.PDF"));
    EXPECT_EQ(shown, (std::vector<std::string>{"1/1 _Connection R10 / C1"}));
    // The proposed name holds no folder separator of the structure's number.
    EXPECT_EQ(dialogs.saveDialogs.back().ProposedName, "_ReportTitle R10 _ C1.pdf");
}

TEST_F(ReportCommandsTest, CancelledOrFailedReportLeavesNoFile) {
    TReportCommands cancelling = Commands(1);
    dialogs.saveAnswers.push_back((env.root() / "cancelled.pdf").string());
    EXPECT_FALSE(cancelling.ReportDelivery());
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_FALSE(fs::exists(env.root() / "cancelled.pdf"));
    EXPECT_TRUE(dialogs.messages.empty());

    TReportCommands commands = Commands();
    const std::string nowhere = (env.root() / "gone" / "r.pdf").string();
    dialogs.saveAnswers.push_back(nowhere);
    EXPECT_FALSE(commands.ReportDelivery());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Error);
    EXPECT_TRUE(dialogs.messages[0].second.starts_with("_ReportFailed\n"));
    EXPECT_NE(dialogs.messages[0].second.find(nowhere), std::string::npos);
    EXPECT_FALSE(fs::exists(nowhere));
}

TEST_F(ReportCommandsTest, ChoiceReportTakesTheRowsTheFilterLeaves) {
    // Never opened: the window would show every structure.
    EXPECT_EQ(TReportCommands::ChoiceStructures(*context, nullptr).size(), 3u);
    const auto listModel = BuildListModel(*context);
    QWidget owner;
    auto* form = new TInspChoiceForm(*context, *listModel, {}, &owner);
    form->show();
    form->MainGrid->ApplyFilter(4, "bo");
    const auto structures = TReportCommands::ChoiceStructures(*context, form);
    EXPECT_EQ(structures, (std::vector<const TReachData*>{&Structure(0), &Structure(2)}));
    TReportCommands commands = Commands();
    dialogs.saveAnswers.push_back((env.root() / "choice.pdf").string());
    EXPECT_TRUE(commands.ReportChoice(form));
    EXPECT_EQ(shown, (std::vector<std::string>{"1/2 _Reach R1", "2/2 _Connection R10 / C1"}));
}

} // namespace
} // namespace kanvio
