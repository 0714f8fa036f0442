// Where the printed picture and the structure page go, the JPEG encoder's refusals, and
// the Ctrl keys that reach the still-image commands.

#include "core/StillImages.h"
#include "foundation/Errors.h"
#include "foundation/JpegEncoder.h"
#include "tests/core/ContextTestSupport.h"
#include "tests/core/FakePlayerWindows.h"

#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

TEST(PicturePrintRectTest, HundredThirtyMillimetresCentredOnTheSheet) {
    struct Case {
        const char* name;
        TPrintPage page;
        QSize picture;
        QRect expected;
    };
    // A4 at 600 dpi: 4961 x 7016 device pixels, printable area 100 pixels in from the
    // top-left edges.
    const TPrintPage a4{600, {4761, 6816}, {4961, 7016}, {100, 100}};
    const Case cases[] = {
        {"PAL frame",
         a4,
         {720, 576},
         QRect((4961 - 3070) / 2 - 100, (7016 - 2456) / 2 - 100, 3070, 2456)},
        {"CIF frame", a4, {352, 288}, QRect(845, (7016 - 2511) / 2 - 100, 3070, 2511)},
        {"sheet size unknown",
         {600, {4761, 6816}, {}, {100, 100}},
         {720, 576},
         QRect((4761 - 3070) / 2, (6816 - 2456) / 2, 3070, 2456)},
        {"no picture", a4, {0, 0}, QRect()},
        {"no resolution", {0, {100, 100}, {100, 100}, {}}, {720, 576}, QRect()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PicturePrintRect(c.page, c.picture), c.expected) << c.name;
    }
}

TEST(StructurePrintLayoutTest, HeaderAcrossTheWidthGraphicFittedBelow) {
    struct Case {
        const char* name;
        QSize page, header, graphic;
        QRect headerRect, graphicRect;
    };
    const Case cases[] = {
        // The header is scaled to the page width (100 -> 1000, so 30 -> 300); the rest of
        // the page is 1000 x 1100.
        {"wide graphic: fits the width",
         {1000, 1400},
         {100, 30},
         {502, 102},
         QRect(0, 0, 1000, 300),
         QRect(0, 300, 1000, 203)},
        {"tall graphic: fits the height, centred",
         {1000, 1400},
         {100, 30},
         {202, 502},
         QRect(0, 0, 1000, 300),
         QRect(278, 300, 443, 1100)},
        {"header fraction rounds up",
         {1000, 1400},
         {300, 31},
         {102, 102},
         QRect(0, 0, 1000, 104),
         QRect(0, 104, 1000, 1000)},
        {"header fills the page",
         {1000, 300},
         {100, 30},
         {202, 502},
         QRect(0, 0, 1000, 300),
         QRect()},
        {"no graphic", {1000, 1400}, {100, 30}, {2, 2}, QRect(0, 0, 1000, 300), QRect()},
    };
    for (const Case& c : cases) {
        const TStructurePrintLayout layout = StructurePrintLayout(c.page, c.header, c.graphic);
        EXPECT_EQ(layout.Header, c.headerRect) << c.name;
        EXPECT_EQ(layout.Graphic, c.graphicRect) << c.name;
        if (!c.graphicRect.isEmpty()) {
            EXPECT_EQ(layout.GraphicSource,
                      QRect(2, 2, c.graphic.width() - 2, c.graphic.height() - 2))
                << c.name;
        }
    }
}

TEST(JpegEncoderTest, EmptyImageIsRefusedAndAPictureEncodes) {
    EXPECT_THROW(EncodeJpeg(QImage()), EKanvioError);
    QImage picture(16, 8, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 40));
    const std::string bytes = EncodeJpeg(picture);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
    const QImage decoded = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                            static_cast<int>(bytes.size()), "JPG");
    ASSERT_EQ(decoded.size(), picture.size());
    const QRgb pixel = decoded.pixel(5, 5);
    EXPECT_NEAR(qRed(pixel), 200, 2);
    EXPECT_NEAR(qGreen(pixel), 30, 2);
    EXPECT_NEAR(qBlue(pixel), 40, 2);
}

class StillImageKeysTest : public ContextTest {};

TEST_F(StillImageKeysTest, CtrlKeysSaveAndPrintTheGrabbedPicture) {
    WriteSettings("[FILME]\nCount=0\n");
    auto context = CreateContext();
    FakeLayout layout;
    context->SetPlayerWindows(&layout);
    layout.video.grabResult = -1;  // nothing to grab
    context->HandleKey(83, true);  // Ctrl+S
    context->HandleKey(80, true);  // Ctrl+P
    context->HandleKey(83, false); // plain S does nothing
    EXPECT_EQ(std::count(layout.video.calls.begin(), layout.video.calls.end(), "grab"), 2);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].second, "_NoPicture");
    EXPECT_TRUE(dialogs.saveDialogs.empty());

    layout.video.grabResult = 0;
    layout.video.picture = QImage(4, 4, QImage::Format_RGB32);
    layout.video.picture.fill(Qt::gray);
    context->HandleKey(83, true); // cancelled
    ASSERT_EQ(dialogs.saveDialogs.size(), 1u);
    EXPECT_EQ(dialogs.saveDialogs[0].ProposedName, "Kanvio.jpg");
    EXPECT_EQ(dialogs.saveDialogs[0].InitialFolder.back(), '/');
}

} // namespace
} // namespace kanvio::test
