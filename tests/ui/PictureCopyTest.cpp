// The picture the film shows, copied to the clipboard and saved with its observation's
// caption burnt in: the picture stays whole above the band, the caption names what the
// user chose, and failures say so without leaving a file.

#include "ui/PictureCopy.h"

#include "tests/core/FakePlayerWindows.h"
#include "tests/ui/ReportTestSupport.h"
#include "video/FrameGrabber.h"

#include <QClipboard>
#include <QGuiApplication>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

namespace fs = std::filesystem;
using test::InspectionReportTest;

class PictureCopyTest : public InspectionReportTest {
protected:
    void SetUp() override {
        InspectionReportTest::SetUp();
        // The video window is a fake; its picture is a real frame of the film.
        layout.video.picture = TFrameGrabber().Grab((projectFolder() / "a.mpg").string(), 10000);
        ASSERT_EQ(test::FrameNumberOf(layout.video.picture), 250);
        context->SetPlayerWindows(&layout);
        TReachData& r1 = *context->Reaches[0];
        r1.Details[1].Distance = 12.634;
        r1.Details[1].Text = "(BCDA) Rohranfang";
        context->CurrentStructure = &r1;
    }
    void TearDown() override { context->SetPlayerWindows(nullptr); }
    void ChooseObservation(size_t structure, size_t detail) {
        TReachData& chosen = const_cast<TReachData&>(Structure(structure));
        context->CurrentDetail = chosen.Details[detail];
        context->CurrentDetailStructure = &chosen;
    }

    test::FakeLayout layout;
};

TEST_F(PictureCopyTest, CaptionNamesStructureDistanceCodeAndTime) {
    ChooseObservation(0, 1);
    EXPECT_EQ(PictureCaption(*context), "_Reach R1 | 12.63 m | BCDA | 00:00:10");
    ChooseObservation(2, 0);
    context->CurrentDetail.Code = "BAB";
    EXPECT_EQ(PictureCaption(*context), "_Connection R10 / C1 | 0.00 m | BAB | 00:03:00");
}

TEST_F(PictureCopyTest, CopyPutsTheFrameOnTheClipboard) {
    QClipboard& clipboard = *QGuiApplication::clipboard();
    clipboard.clear();
    ASSERT_TRUE(TPictureCopy(*context, dialogs).CopyToClipboard(clipboard));
    EXPECT_EQ(test::FrameNumberOf(clipboard.image()), 250);

    // No picture: said so, the clipboard keeps what it had.
    layout.video.grabResult = -1;
    EXPECT_FALSE(TPictureCopy(*context, dialogs).CopyToClipboard(clipboard));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].second, context->Texts().NoPicture);
    EXPECT_EQ(test::FrameNumberOf(clipboard.image()), 250);
}

TEST_F(PictureCopyTest, SavedPictureKeepsTheFrameAboveItsCaption) {
    ChooseObservation(0, 1);
    const QImage& frame = layout.video.picture;
    struct TCase {
        const char* Answer;
        const char* Written;
    };
    for (const TCase& c :
         {TCase{"lossless.png", "lossless.png"}, TCase{"picture", "picture.jpg"}}) {
        dialogs.saveAnswers.push_back((env.root() / c.Answer).string());
        ASSERT_TRUE(TPictureCopy(*context, dialogs).SaveWithCaption()) << c.Answer;
        const QImage saved(QString::fromStdString((env.root() / c.Written).string()));
        ASSERT_FALSE(saved.isNull()) << c.Written;
        EXPECT_EQ(saved.width(), frame.width());
        EXPECT_GT(saved.height(), frame.height());
        const QImage top = saved.copy(0, 0, frame.width(), frame.height());
        EXPECT_EQ(test::FrameNumberOf(top), 250) << c.Written;
        if (std::string(c.Written).ends_with(".png")) {
            EXPECT_EQ(top.convertToFormat(QImage::Format_RGB32),
                      frame.convertToFormat(QImage::Format_RGB32));
        }
        // The caption is drawn into the band.
        const QImage band =
            saved.copy(0, frame.height(), saved.width(), saved.height() - frame.height());
        EXPECT_GT(test::MeanDifference(band, QImage(band.size(), QImage::Format_RGB32)), 0.5);
    }
    EXPECT_TRUE(dialogs.messages.empty());

    // A place that cannot be written: said so, nothing left.
    const fs::path nowhere = env.root() / "gone" / "p.png";
    dialogs.saveAnswers.push_back(nowhere.string());
    EXPECT_FALSE(TPictureCopy(*context, dialogs).SaveWithCaption());
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages[0].second.find(nowhere.string()), std::string::npos);
    EXPECT_FALSE(fs::exists(nowhere));
    // The dialog cancelled: nothing at all.
    EXPECT_FALSE(TPictureCopy(*context, dialogs).SaveWithCaption());
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

} // namespace
} // namespace kanvio
