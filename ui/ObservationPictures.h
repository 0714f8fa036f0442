#pragma once

// Where each observation's picture lies (film and time, as a click on the observation
// seeks there) and fetching those pictures: through the picture cache, grabbing what it
// lacks on a pipeline of its own, on the calling thread or in the background.

#include "core/KanvioDataModel.h"
#include "video/FrameGrabber.h"
#include "video/PictureCache.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kanvio {

class TKanvioContext;

// The film and the time in it that seeking to an observation shows; Ms is -1 when no film
// of the structure holds the observation's time (or the time is no time).
struct TFramePlace {
    std::string Film;
    int64_t Ms = -1;
    bool Valid() const { return Ms >= 0 && !Film.empty(); }
};

TFramePlace ObservationFramePlace(const TKanvioContext& context, const TReachData& structure,
                                  const TReachDetail& detail);
std::vector<TFramePlace> ObservationFramePlaces(const TKanvioContext& context,
                                                const TReachData& structure);

// "H0123-456" for a reach, "H0123-456 / A0123-456.01" for a connection of it.
std::string StructureNumberText(const TReachData& structure);
// The code, also where it stands only in front of the text: "(BCDA) ...".
std::string ObservationCodeText(const TReachDetail& detail);

// Pictures through the cache, grabbed when missing. One thread.
class TObservationPictureSource {
public:
    explicit TObservationPictureSource(std::string cacheFolder = TPictureCache::DefaultFolder(),
                                       uint64_t cacheBytes = TPictureCache::kDefaultMaxBytes);
    // The picture fitted into size (empty: as decoded). Throws EInOutError naming the film.
    QImage Picture(const TFramePlace& place, QSize size);
    int Grabs() const { return grabs_; }
    int CacheHits() const { return hits_; }

private:
    TPictureCache cache_;
    TFrameGrabber grabber_;
    int grabs_ = 0;
    int hits_ = 0;
};

// The thumbnails of one structure at a time, fetched on a thread of their own; each is
// announced on the thread that made the object as soon as it is there. A new request
// drops what is left of the one before.
class TBackgroundPictures final : public QObject {
    Q_OBJECT
public:
    explicit TBackgroundPictures(QObject* parent = nullptr,
                                 std::string cacheFolder = TPictureCache::DefaultFolder());
    ~TBackgroundPictures() override;

    void Request(std::vector<TFramePlace> places, QSize size);
    // The request the next announcements belong to.
    uint64_t Generation() const { return generation_; }

Q_SIGNALS:
    // picture is null when the place has no picture or it could not be grabbed.
    void PictureReady(quint64 generation, int index, const QImage& picture);

private:
    struct TJob {
        uint64_t Generation = 0;
        int Index = 0;
        TFramePlace Place;
        QSize Size;
    };
    void Work();
    void Deliver(uint64_t generation, int index, const QImage& picture);

    std::string cacheFolder_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TJob> jobs_;
    bool stopping_ = false;
    uint64_t generation_ = 0;
    std::thread worker_;
};

} // namespace kanvio
