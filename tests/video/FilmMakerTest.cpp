// Films made side by side: each whole and each its own, with the right frame in every
// picture; a film that cannot be made fails alone and by name, and a request that cannot
// be a film starts nothing.

#include "tools/mkproject/FilmMaker.h"

#include "tests/support/TempDir.h"
#include "tests/video/VideoTestSupport.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace kanvio::test {
namespace {

namespace fs = std::filesystem;
using generator::TFilmKind;
using generator::TFilmRequest;

TFilmRequest Request(const fs::path& file, TFilmKind kind, double seconds, int width = 352,
                     int height = 288) {
    TFilmRequest request;
    request.FileName = file.string();
    request.Kind = kind;
    request.Seconds = seconds;
    request.Width = width;
    request.Height = height;
    request.Label = file.filename().string();
    request.FrameNumbers = true;
    return request;
}

// Names in folder that are no finished film: what a failed or cut-short film leaves.
std::vector<std::string> LeftOvers(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().front() == '.')
            names.push_back(entry.path().filename().string());
    return names;
}

TEST(FilmMakerTest, FilmsMadeSideBySideHoldTheirOwnFrames) {
    TempDir dir("kanvio-films");
    const fs::path folder = dir.path();
    struct TCase {
        TFilmRequest Request;
        int Frames;
    };
    const std::vector<TCase> cases = {
        {Request(folder / "a.mpg", TFilmKind::Mpeg2Program, 2), 50},
        {Request(folder / "b.mp4", TFilmKind::Mp4H264, 3), 75},
        {Request(folder / "c.ts", TFilmKind::Mpeg2Transport, 1), 25},
        {Request(folder / "d.mpg", TFilmKind::Mpeg1System, 2, 720, 576), 50},
        {Request(folder / "e.mpg", TFilmKind::Mpeg2Program, 1.2, 352, 64), 30},
    };
    std::vector<TFilmRequest> requests;
    for (const TCase& c : cases)
        requests.push_back(c.Request);
    // One film goes to a folder that does not exist: it alone fails, and by name.
    requests.insert(requests.begin() + 2,
                    Request(folder / "missing" / "f.mpg", TFilmKind::Mpeg2Program, 1));
    try {
        generator::MakeFilms(requests);
        ADD_FAILURE() << "a film into a missing folder was reported as made";
    } catch (const std::runtime_error& error) {
        EXPECT_THAT(error.what(), testing::HasSubstr("f.mpg"));
    }
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Request.FileName);
        ASSERT_TRUE(fs::exists(c.Request.FileName));
        for (const int frame : {0, c.Frames / 2 + 1, c.Frames - 1})
            EXPECT_EQ(FrameNumberOf(ReferenceFrame(c.Request.FileName, frame)), frame);
        EXPECT_TRUE(ReferenceFrame(c.Request.FileName, c.Frames).isNull());
    }
    EXPECT_THAT(LeftOvers(folder), testing::IsEmpty());
    EXPECT_FALSE(fs::exists(folder / "missing"));
}

TEST(FilmMakerTest, RequestsThatCannotBeFilmsStartNothing) {
    TempDir dir("kanvio-films");
    const fs::path folder = dir.path();
    const TFilmRequest good = Request(folder / "good.mpg", TFilmKind::Mpeg2Program, 1);
    TFilmRequest noLength = Request(folder / "x.mpg", TFilmKind::Mpeg2Program, 0);
    TFilmRequest noName = good;
    noName.FileName.clear();
    TFilmRequest tooSmall = Request(folder / "y.mpg", TFilmKind::Mpeg2Program, 1, 320, 64);
    TFilmRequest noKeyFrames = Request(folder / "z.mpg", TFilmKind::Mpeg2Program, 1);
    noKeyFrames.KeyFrameInterval = 0;
    for (const auto& [what, bad] : std::vector<std::pair<std::string, std::vector<TFilmRequest>>>{
             {"no length", {good, noLength}},
             {"no name", {good, noName}},
             {"too small for frame numbers", {good, tooSmall}},
             {"no key frames", {good, noKeyFrames}},
             {"the same film twice", {good, good}}}) {
        SCOPED_TRACE(what);
        EXPECT_THROW(generator::MakeFilms(bad), std::invalid_argument);
        EXPECT_THAT(LeftOvers(folder), testing::IsEmpty());
        EXPECT_FALSE(fs::exists(good.FileName));
    }
    generator::MakeFilms({});
    generator::MakeFilms({good});
    EXPECT_EQ(FrameNumberOf(ReferenceFrame(good.FileName, 24)), 24);
}

} // namespace
} // namespace kanvio::test
