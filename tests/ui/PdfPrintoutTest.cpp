// A printout into a PDF file: the file the user chose gets the modes of any saved
// document, and printing says nothing on the terminal.

#include "tests/support/FakeDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/support/TerminalMessages.h"
#include "ui/QtPrinters.h"

#include <QPainter>
#include <filesystem>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

namespace fs = std::filesystem;

TEST(PdfPrintoutTest, ChosenFileIsReadableByOthersAndTheTerminalStaysQuiet) {
    TempDir folder("kanvio-pdf");
    const fs::path chosen = folder / "Haltung.pdf";
    FakeDialogs dialogs;
    dialogs.saveAnswers.push_back(chosen.string());
    TQtPrinters printers(dialogs, /*alwaysPdf=*/true);
    TerminalMessages terminal;
    auto job = printers.BeginDocument("Kanvio");
    ASSERT_NE(job, nullptr);
    job->Painter().drawText(QPointF(100, 100), "H0813-385");
    job->EndDocument();
    job.reset();
    ASSERT_TRUE(fs::exists(chosen));
    EXPECT_GT(fs::file_size(chosen), 0u);
    const fs::perms modes = fs::status(chosen).permissions();
    EXPECT_NE(modes & fs::perms::group_read, fs::perms::none);
    EXPECT_NE(modes & fs::perms::others_read, fs::perms::none);
    EXPECT_TRUE(terminal.Lines().empty()) << terminal.Text();
    // Only the chosen file is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
}

} // namespace
} // namespace kanvio::test
