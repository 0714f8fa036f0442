// Still images and printouts on the real player: the frame the engine shows saved as JPEG
// and printed into PDF files (read back with poppler's pdftoppm), the structure page, and
// every way these commands can fail.

#include "core/StillImages.h"

#include "tests/foundation/OrdinaryUser.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/ui/ScreenFormTestSupport.h"
#include "ui/QtPrinters.h"
#include "ui/SteeringForm.h"
#include "video/VideoDisplayWidget.h"

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kanvio::test {
namespace {

// The first page of a PDF as an image at dpi dots per inch.
QImage RenderPdfPage(const std::filesystem::path& pdf, int dpi) {
    const std::filesystem::path stem = pdf.parent_path() / "page";
    QProcess pdftoppm;
    pdftoppm.start("pdftoppm",
                   {"-r", QString::number(dpi), "-png", "-singlefile",
                    QString::fromStdString(pdf.string()), QString::fromStdString(stem.string())});
    if (!pdftoppm.waitForFinished(30000) || pdftoppm.exitCode() != 0) {
        return {};
    }
    return QImage(QString::fromStdString(stem.string() + ".png"))
        .convertToFormat(QImage::Format_RGB32);
}

bool IsWhite(QRgb pixel) {
    return qRed(pixel) > 245 && qGreen(pixel) > 245 && qBlue(pixel) > 245;
}

// The bounding box of everything on the page that is not white.
QRect InkBox(const QImage& page) {
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (!IsWhite(page.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

class StillImagesTest : public PlayerWindowsTest {
protected:
    void SetUp() override {
        printers = &pdfPrinters;
        PlayerWindowsTest::SetUp();
    }

    // Loads the first film and shows the frame at two seconds.
    QImage ShowFrame() {
        StartPlayer();
        context->SeekPosition(false, 2);
        EXPECT_TRUE(WaitUntil([&] { return !screen().VideoWindow()->Frame().isNull(); }));
        QImage grabbed;
        EXPECT_GE(screen().GrabPicture(grabbed), 0);
        return grabbed;
    }

    TempDir out{"kanvio-stills"};
    TQtPrinters pdfPrinters{dialogs, true};
};

TEST_F(StillImagesTest, SavedJpegHoldsTheFrameTheEngineShows) {
    const QImage grabbed = ShowFrame();
    ASSERT_EQ(grabbed.size(), QSize(352, 288));
    const auto file = out / "frame.jpg";
    dialogs.saveAnswers.push_back(file.string());
    EXPECT_TRUE(context->SaveImage());

    ASSERT_EQ(dialogs.saveDialogs.size(), 1u);
    EXPECT_EQ(dialogs.saveDialogs[0].ProposedName, "Kanvio.jpg");
    EXPECT_EQ(dialogs.saveDialogs[0].Filter, "_Image (*.jpg)");
    // The delivery may be on a read-only medium: the dialog never starts there.
    EXPECT_EQ(dialogs.saveDialogs[0].InitialFolder.find(projectFolder().string()),
              std::string::npos);
    const QImage saved(QString::fromStdString(file.string()));
    ASSERT_EQ(saved.size(), grabbed.size());
    // Quality 100 leaves only rounding of the colour conversion.
    EXPECT_LT(MeanDifference(saved.convertToFormat(QImage::Format_RGB32), grabbed), 1.5);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StillImagesTest, PastTheEndOfTheFilmNeverAnEmptyFile) {
    ShowFrame();
    screen().SeekTo(60000); // far beyond the end of the 4-second film
    ProcessEventsFor(300);
    const auto file = out / "end.jpg";
    dialogs.saveAnswers.push_back(file.string());
    if (context->SaveImage()) {
        // The last frame stays on the screen, and that is what is kept.
        EXPECT_EQ(QImage(QString::fromStdString(file.string())).size(), QSize(352, 288));
    } else {
        EXPECT_FALSE(std::filesystem::exists(file));
        ASSERT_FALSE(dialogs.messages.empty());
        EXPECT_EQ(dialogs.messages.back().second, "_NoPicture");
    }
}

TEST_F(StillImagesTest, NameWithoutExtensionGetsJpg) {
    ShowFrame();
    dialogs.saveAnswers.push_back((out / "frame").string());
    EXPECT_TRUE(context->SaveImage());
    EXPECT_TRUE(std::filesystem::exists(out / "frame.jpg"));
}

TEST_F(StillImagesTest, CancelledDialogWritesNothing) {
    ShowFrame();
    EXPECT_FALSE(context->SaveImage()); // no answer: cancelled
    EXPECT_EQ(dialogs.saveDialogs.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StillImagesTest, NoPictureGivesTheMessageAndNoFile) {
    StartPlayer(); // windows made, no film loaded yet
    dialogs.saveAnswers.push_back((out / "none.jpg").string());
    EXPECT_FALSE(context->SaveImage());
    EXPECT_FALSE(context->PrintImage());
    EXPECT_TRUE(dialogs.saveDialogs.empty()); // the dialog never opened
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    for (const auto& [kind, text] : dialogs.messages) {
        EXPECT_EQ(kind, TMessageKind::Information);
        EXPECT_EQ(text, "_NoPicture");
    }
}

TEST_F(StillImagesTest, FailedSaveIsShownNotReportedAsDone) {
    ShowFrame();
    std::filesystem::create_directory(out / "taken.jpg");
    const std::string targets[] = {(out / "no such folder" / "frame.jpg").string(),
                                   (out / "taken.jpg").string()};
    for (const std::string& target : targets) {
        dialogs.messages.clear();
        dialogs.saveAnswers.push_back(target);
        EXPECT_FALSE(context->SaveImage()) << target;
        ASSERT_EQ(dialogs.messages.size(), 1u) << target;
        EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Error);
        EXPECT_EQ(dialogs.messages[0].second.rfind("_SaveFailed\n", 0), 0u);
        EXPECT_NE(dialogs.messages[0].second.find(target), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::is_directory(out / "taken.jpg"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1);
}

TEST_F(StillImagesTest, PrintedPictureIs130MillimetresWideInTheMiddleOfTheSheet) {
    const QImage grabbed = ShowFrame();
    const auto pdf = out / "picture.pdf";
    dialogs.saveAnswers.push_back(pdf.string());
    ASSERT_TRUE(context->PrintImage());
    ASSERT_EQ(dialogs.saveDialogs.size(), 1u);
    EXPECT_EQ(dialogs.saveDialogs[0].ProposedName, "Kanvio.pdf");

    constexpr int dpi = 72;
    const QImage page = RenderPdfPage(pdf, dpi);
    ASSERT_FALSE(page.isNull()) << "pdftoppm could not read " << pdf;
    const QRect ink = InkBox(page);
    const double mm = dpi / 25.4;
    EXPECT_NEAR(ink.width(), 130 * mm, 3);
    EXPECT_NEAR(ink.height(), 130 * mm * 288 / 352, 3);
    EXPECT_NEAR(ink.center().x(), page.width() / 2.0, 3);
    EXPECT_NEAR(ink.center().y(), page.height() / 2.0, 3);
    const QImage printed =
        page.copy(ink).scaled(grabbed.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(MeanDifference(printed, grabbed), 12.0);
}

TEST_F(StillImagesTest, CancelledPdfChoicePrintsNothing) {
    ShowFrame();
    EXPECT_FALSE(context->PrintImage());
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StillImagesTest, PdfIntoMissingFolderIsShownNotReportedAsPrinted) {
    ShowFrame();
    const std::string target = (out / "no such folder" / "page.pdf").string();
    dialogs.saveAnswers.push_back(target);
    EXPECT_FALSE(context->PrintImage());
    EXPECT_TRUE(std::filesystem::is_empty(out.path()));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].second.rfind("_PrintFailed\n", 0), 0u);
    EXPECT_NE(dialogs.messages[0].second.find(target), std::string::npos);
}

// A new PDF file gets the mode the umask leaves, a replaced one keeps its own; checked by an
// ordinary user, for whom modes decide.
TEST(PdfFileTest, ANewFileGetsTheUmasksModeAndAReplacedOneKeepsItsOwn) {
    const struct {
        mode_t umask;
        int existingMode; // -1: no file yet
        mode_t expected;
    } cases[] = {{022, -1, 0644}, {027, -1, 0640},   {077, -1, 0600},
                 {002, -1, 0664}, {077, 0664, 0664}, {022, 0600, 0600}};
    TempDir out{"kanvio-pdf-modes"};
    GiveToOrdinaryUser(out.path());
    int run = 0;
    for (const auto& c : cases) {
        const std::string pdf = (out / ("page" + std::to_string(run++) + ".pdf")).string();
        const int result = RunAsOrdinaryUser([&] {
            ::umask(c.umask);
            if (c.existingMode >= 0) {
                WriteFile(pdf, "old");
                ::chmod(pdf.c_str(), static_cast<mode_t>(c.existingMode));
            }
            FakeDialogs dialogs;
            dialogs.saveAnswers.push_back(pdf);
            TQtPrinters printers(dialogs, true);
            try {
                auto job = printers.BeginDocument("page");
                job->Painter().fillRect(QRect(10, 10, 100, 100), Qt::black);
                job->EndDocument();
            } catch (const std::exception&) {
                return 3;
            }
            struct stat info {};
            if (::stat(pdf.c_str(), &info) != 0 || info.st_size < 100) {
                return 2;
            }
            return (info.st_mode & 07777) == c.expected ? 0 : 1;
        });
        EXPECT_EQ(result, 0) << "umask " << std::oct << c.umask << ", file mode " << c.existingMode;
    }
    // Nothing but the PDF files is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}),
              static_cast<long>(std::size(cases)));
}

TEST_F(StillImagesTest, StructurePageHasThePanelOnTopAndTheGraphicBelow) {
    // A red panel and a tall blue graphic with a two-pixel black frame, as the scroll box
    // paints it; the frame must not reach the paper.
    QImage panel(400, 50, QImage::Format_RGB32);
    panel.fill(Qt::red);
    QImage graphic(202, 802, QImage::Format_RGB32);
    graphic.fill(Qt::black);
    QPainter(&graphic).fillRect(2, 2, 200, 800, Qt::blue);
    const auto pdf = out / "structure.pdf";
    dialogs.saveAnswers.push_back(pdf.string());
    ASSERT_TRUE(context->PrintStructure(panel, graphic));

    const QImage page = RenderPdfPage(pdf, 72);
    ASSERT_FALSE(page.isNull());
    const QRect ink = InkBox(page);
    // Across the printable width at the top: red; then the graphic fills the height below.
    const int headerMiddle = ink.top() + ink.width() * 50 / 400 / 2;
    EXPECT_GT(qRed(page.pixel(ink.left() + 2, headerMiddle)), 200);
    EXPECT_GT(qRed(page.pixel(ink.right() - 2, headerMiddle)), 200);
    const QPoint graphicMiddle(page.width() / 2,
                               (ink.top() + ink.width() * 50 / 400 + ink.bottom()) / 2);
    EXPECT_GT(qBlue(page.pixel(graphicMiddle)), 200);
    EXPECT_LT(qRed(page.pixel(graphicMiddle)), 60);
    // A tall graphic is centred across and leaves white at both sides.
    EXPECT_TRUE(IsWhite(page.pixel(ink.left() + 2, graphicMiddle.y())));
    EXPECT_TRUE(IsWhite(page.pixel(ink.right() - 2, graphicMiddle.y())));
    int black = 0;
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x) {
            const QRgb p = page.pixel(x, y);
            black += qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40;
        }
    }
    EXPECT_EQ(black, 0);
}

} // namespace
} // namespace kanvio::test
