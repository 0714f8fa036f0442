// Observation pictures: the exact frame from a pipeline of its own, the picture cache in
// the user's cache folder (hit, stale film, size bound, damaged and unwritable folders)
// and the background fetching of a structure's thumbnails, whose thread starts with the
// first request.

#include "foundation/Errors.h"
#include "tests/video/VideoTestSupport.h"
#include "ui/ObservationPictures.h"
#include "video/FrameGrabber.h"
#include "video/PictureCache.h"

#include <QFile>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace kanvio {
namespace {

namespace fs = std::filesystem;
using test::ExactFilm;
using test::FrameNumberOf;

constexpr int64_t kFrameMs = 40; // 25 fps

class ObservationPictureTest : public test::IsolatedTest {
protected:
    // A copy of a film with frame numbers that the test may change.
    std::string FilmCopy(const std::string& name) {
        const fs::path copy = env.root() / name;
        fs::copy_file(ExactFilm(name), copy, fs::copy_options::overwrite_existing);
        return copy.string();
    }
    size_t CacheFiles() const {
        size_t count = 0;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(TPictureCache::DefaultFolder(), error))
            count += entry.path().extension() == ".png" ? 1 : 0;
        return count;
    }
};

TEST_F(ObservationPictureTest, GrabsTheExactFrameInAnyOrderAndAcrossFilms) {
    struct TStep {
        const char* Film;
        int Frame;
    };
    // Backwards, forwards and across films in one grabber: a kept pipeline must not hand
    // out the frame of the seek before.
    const TStep steps[] = {{"mpeg2-gop250.mpg", 180}, {"mpeg2-gop250.mpg", 17},
                           {"mpeg2-gop250.mpg", 18},  {"h264.mp4", 61},
                           {"mpeg2-gop250.mpg", 0},   {"mpeg1.mpg", 99},
                           {"h264.mp4", 60}};
    TFrameGrabber grabber;
    for (const TStep& step : steps) {
        const QImage frame = grabber.Grab(ExactFilm(step.Film), step.Frame * kFrameMs);
        EXPECT_EQ(FrameNumberOf(frame), step.Frame) << step.Film << " frame " << step.Frame;
    }
    // One load per change of film.
    EXPECT_EQ(grabber.Loads(), 5);
}

TEST_F(ObservationPictureTest, BadFilmsAndTimesAreErrorsNamingTheFilm) {
    const fs::path text = env.root() / "notes.mpg";
    std::ofstream(text) << "no film at all";
    struct TCase {
        std::string Film;
        int64_t Ms;
    };
    const TCase cases[] = {{(env.root() / "missing.mpg").string(), 1000},
                           {text.string(), 1000},
                           {ExactFilm("mpeg1.mpg"), -40}};
    TFrameGrabber grabber;
    for (const TCase& c : cases) {
        try {
            grabber.Grab(c.Film, c.Ms);
            ADD_FAILURE() << c.Film << " gave a picture";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.fileName(), c.Film);
        }
    }
    // A failure leaves the grabber usable.
    EXPECT_EQ(FrameNumberOf(grabber.Grab(ExactFilm("mpeg1.mpg"), 5 * kFrameMs)), 5);
}

TEST_F(ObservationPictureTest, CacheLivesInTheUsersCacheFolder) {
    EXPECT_EQ(fs::path(TPictureCache::DefaultFolder()), env.cache() / "kanvio" / "pictures");
    unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(fs::path(TPictureCache::DefaultFolder()),
              fs::path(getenv("HOME")) / ".cache" / "kanvio" / "pictures");
}

TEST_F(ObservationPictureTest, SecondAskIsACacheHitWithTheSamePicture) {
    const std::string film = FilmCopy("mpeg2-gop12.mpg");
    const TFramePlace place{film, 33 * kFrameMs};
    QImage first;
    {
        TObservationPictureSource source;
        first = source.Picture(place, QSize());
        EXPECT_EQ(FrameNumberOf(first), 33);
        EXPECT_EQ(source.Picture(place, QSize()), first);
        EXPECT_EQ(source.Grabs(), 1);
        EXPECT_EQ(source.CacheHits(), 1);
    }
    // Another source (the next start of the program) finds it as well; another size or
    // time is another picture.
    TObservationPictureSource again;
    EXPECT_EQ(again.Picture(place, QSize()), first);
    const QImage small = again.Picture(place, QSize(88, 72));
    EXPECT_LE(small.width(), 88);
    EXPECT_LE(small.height(), 72);
    EXPECT_EQ(FrameNumberOf(again.Picture({film, 34 * kFrameMs}, QSize())), 34);
    EXPECT_EQ(again.CacheHits(), 1);
    EXPECT_EQ(again.Grabs(), 2);
    EXPECT_EQ(CacheFiles(), 3u);
}

TEST_F(ObservationPictureTest, ChangedFilmIsNeverAnsweredFromOldPictures) {
    const std::string film = FilmCopy("mpeg2-gop12.mpg");
    TObservationPictureSource source;
    EXPECT_EQ(FrameNumberOf(source.Picture({film, 20 * kFrameMs}, QSize())), 20);
    // The same name now holds another film: its frame 20 looks different.
    fs::copy_file(ExactFilm("mpeg1.mpg"), film, fs::copy_options::overwrite_existing);
    const auto later = fs::last_write_time(film) + std::chrono::seconds(2);
    fs::last_write_time(film, later);
    TObservationPictureSource fresh;
    const QImage picture = fresh.Picture({film, 20 * kFrameMs}, QSize());
    EXPECT_EQ(fresh.CacheHits(), 0);
    EXPECT_EQ(fresh.Grabs(), 1);
    EXPECT_EQ(picture.size(), test::ReferenceFrame(ExactFilm("mpeg1.mpg"), 20).size());
    EXPECT_LT(test::MeanDifference(picture, test::ReferenceFrame(ExactFilm("mpeg1.mpg"), 20)), 4);
    // A film that is gone has no pictures, kept or new.
    fs::remove(film);
    EXPECT_FALSE(TPictureCache().Find({film, 20 * kFrameMs, QSize()}));
}

TEST_F(ObservationPictureTest, FolderStaysUnderItsBoundDroppingTheLeastUsed) {
    const std::string film = ExactFilm("mpeg2-gop12.mpg");
    TFrameGrabber grabber;
    const QImage picture = grabber.Grab(film, 0);
    const fs::path folder = env.root() / "bounded";
    TPictureCache probe(folder.string());
    probe.Store({film, 0, QSize()}, picture);
    const uint64_t one = probe.CountedBytes();
    ASSERT_GT(one, 0u);

    // Room for six pictures of that size; a full folder is trimmed to three quarters.
    TPictureCache cache(folder.string(), one * 6);
    for (int64_t ms = 40; ms <= 160; ms += 40)
        cache.Store({film, ms, QSize()}, picture);
    // The first picture is used again: the one of 40 ms is now the least used.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(cache.Find({film, 0, QSize()}));
    for (int64_t ms : {200, 240}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        cache.Store({film, ms, QSize()}, picture);
    }
    EXPECT_LE(cache.CountedBytes(), cache.MaxBytes());
    EXPECT_TRUE(cache.Find({film, 240, QSize()})) << "the newest picture was dropped";
    EXPECT_TRUE(cache.Find({film, 0, QSize()})) << "a picture used again was dropped";
    EXPECT_FALSE(cache.Find({film, 40, QSize()})) << "the least used picture was kept";

    // However many come, the folder stays within its bound.
    for (int64_t ms = 280; ms <= 1200; ms += 40) {
        cache.Store({film, ms, QSize()}, picture);
        EXPECT_LE(cache.CountedBytes(), cache.MaxBytes()) << ms;
    }
    uint64_t onDisk = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        onDisk += entry.file_size();
    EXPECT_LE(onDisk, cache.MaxBytes());
    EXPECT_TRUE(cache.Find({film, 1200, QSize()}));
}

TEST_F(ObservationPictureTest, DamagedOrUnwritableCacheOnlyCostsAGrab) {
    const std::string film = ExactFilm("mpeg1.mpg");
    const TPictureKey key{film, 8 * kFrameMs, QSize()};
    {
        TPictureCache cache;
        const std::string file = cache.FileFor(key);
        fs::create_directories(fs::path(file).parent_path());
        std::ofstream(file) << "not a picture";
        EXPECT_FALSE(cache.Find(key));
        TObservationPictureSource source;
        EXPECT_EQ(FrameNumberOf(source.Picture({film, key.Ms}, QSize())), 8);
        EXPECT_EQ(source.Grabs(), 1);
    }
    // A cache folder that cannot be made: pictures still come, nothing is kept.
    const fs::path blocked = env.root() / "blocked";
    std::ofstream(blocked) << "a file where the folder should be";
    TObservationPictureSource source((blocked / "pictures").string());
    EXPECT_EQ(FrameNumberOf(source.Picture({film, key.Ms}, QSize())), 8);
    EXPECT_EQ(FrameNumberOf(source.Picture({film, key.Ms}, QSize())), 8);
    EXPECT_EQ(source.Grabs(), 2);
}

TEST_F(ObservationPictureTest, BackgroundPicturesArriveForTheLatestRequestOnly) {
    const std::string film = ExactFilm("mpeg2-gop250.mpg");
    TBackgroundPictures pictures;
    std::map<int, QImage> arrived;
    std::vector<quint64> generations;
    QObject::connect(&pictures, &TBackgroundPictures::PictureReady,
                     [&](quint64 generation, int index, const QImage& picture) {
                         generations.push_back(generation);
                         arrived[index] = picture;
                     });
    std::vector<TFramePlace> first;
    for (int i = 0; i < 20; ++i)
        first.push_back({film, (200 - i) * kFrameMs});
    pictures.Request(first, QSize(160, 120));
    // Replaced at once: what the first request still had to do is dropped.
    pictures.Request({{film, 70 * kFrameMs}, {}, {film, 12 * kFrameMs}}, QSize());
    const quint64 latest = pictures.Generation();
    ASSERT_TRUE(test::RunEventsUntil([&] { return arrived.size() == 3; }, 60000));
    test::RunEventsFor(200);
    for (quint64 generation : generations)
        EXPECT_EQ(generation, latest);
    EXPECT_EQ(FrameNumberOf(arrived[0]), 70);
    EXPECT_TRUE(arrived[1].isNull()) << "a place without film has no picture";
    EXPECT_EQ(FrameNumberOf(arrived[2]), 12);
}

size_t ThreadsOfThisProcess() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

TEST_F(ObservationPictureTest, BackgroundPicturesStartTheirThreadWhenFirstAsked) {
    const std::string film = ExactFilm("mpeg2-gop12.mpg");
    {
        // Made with the windows, while the decoders may still be loading: a thread's start
        // would wait for them.
        const size_t before = ThreadsOfThisProcess();
        TBackgroundPictures unused;
        EXPECT_EQ(ThreadsOfThisProcess(), before);
    } // and gone again without ever having been asked
    TBackgroundPictures pictures;
    QImage arrived;
    QObject::connect(&pictures, &TBackgroundPictures::PictureReady,
                     [&](quint64, int, const QImage& picture) { arrived = picture; });
    pictures.Request({{film, 30 * kFrameMs}}, QSize());
    ASSERT_TRUE(test::RunEventsUntil([&] { return !arrived.isNull(); }, 60000));
    EXPECT_EQ(FrameNumberOf(arrived), 30);
}

} // namespace
} // namespace kanvio
