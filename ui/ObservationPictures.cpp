#include "ui/ObservationPictures.h"

#include "core/KanvioContext.h"
#include "core/TimeText.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cmath>

namespace kanvio {

TFramePlace ObservationFramePlace(const TKanvioContext& context, const TReachData& structure,
                                  const TReachDetail& detail) {
    TFramePlace place;
    int64_t seconds = 0;
    if (!TryTimeTextToSeconds(detail.VideoTime, seconds))
        return place;
    // The first film of the structure that holds the time, as seeking from another
    // structure finds it.
    for (const TPlayListItem& film : context.PlayList) {
        if (!context.IsFilmOf(film, structure) || seconds < film.StartTime ||
            seconds > film.StopTime)
            continue;
        std::string startText = film.StartText;
        if (startText.size() > 8)
            startText = startText.substr(1, 8);
        int64_t startSeconds = 0;
        if (!TryTimeTextToSeconds(startText, startSeconds))
            return place;
        const auto offset = static_cast<int64_t>(std::nearbyint(
            (static_cast<double>(seconds) * context.LinearFactor - startSeconds) * 1000.0));
        // Seeking never goes before 400 ms into a film: the picture is the one it shows.
        place.Film = film.FileName;
        place.Ms = std::max<int64_t>(400, offset);
        return place;
    }
    return place;
}

std::vector<TFramePlace> ObservationFramePlaces(const TKanvioContext& context,
                                                const TReachData& structure) {
    std::vector<TFramePlace> places;
    places.reserve(structure.Details.size());
    for (const TReachDetail& detail : structure.Details)
        places.push_back(ObservationFramePlace(context, structure, detail));
    return places;
}

std::string StructureNumberText(const TReachData& structure) {
    if (structure.ObjectType != 'A' || structure.ConnectionNumber.empty())
        return structure.ReachNumber;
    return structure.ReachNumber.empty()
               ? structure.ConnectionNumber
               : structure.ReachNumber + " / " + structure.ConnectionNumber;
}

std::string ObservationCodeText(const TReachDetail& detail) {
    if (!detail.Code.empty() || detail.Text.empty() || detail.Text[0] != '(')
        return detail.Code;
    const size_t close = detail.Text.find(')');
    return close == std::string::npos ? std::string() : detail.Text.substr(1, close - 1);
}

TObservationPictureSource::TObservationPictureSource(std::string cacheFolder, uint64_t cacheBytes)
    : cache_(std::move(cacheFolder), cacheBytes) {}

QImage TObservationPictureSource::Picture(const TFramePlace& place, QSize size) {
    if (!place.Valid())
        throw EInOutError(place.Film, "no film holds the observation's time");
    const TPictureKey key{place.Film, place.Ms, size};
    if (std::optional<QImage> kept = cache_.Find(key)) {
        ++hits_;
        return *kept;
    }
    const QImage picture = FitPicture(grabber_.Grab(place.Film, place.Ms), size);
    ++grabs_;
    cache_.Store(key, picture);
    return picture;
}

TBackgroundPictures::TBackgroundPictures(QObject* parent, std::string cacheFolder)
    : QObject(parent), cacheFolder_(std::move(cacheFolder)) {}

TBackgroundPictures::~TBackgroundPictures() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void TBackgroundPictures::Request(std::vector<TFramePlace> places, QSize size) {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
        jobs_.clear();
        for (size_t i = 0; i < places.size(); ++i)
            jobs_.push_back({generation_, static_cast<int>(i), std::move(places[i]), size});
    }
    // Started with the first pictures asked for, not with the windows: while the decoders
    // load at start-up, a new thread waits for the dynamic loader.
    if (!worker_.joinable())
        worker_ = std::thread([this] { Work(); });
    wake_.notify_all();
}

void TBackgroundPictures::Work() {
    // The grabber's pipeline and the cache belong to this thread.
    TObservationPictureSource source(cacheFolder_);
    while (true) {
        TJob job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        QImage picture;
        if (job.Place.Valid()) {
            try {
                picture = source.Picture(job.Place, job.Size);
            } catch (const std::exception& error) {
                LogLine(std::string("Observation picture: ") + error.what(), LOG_WARNING);
            }
        }
        Deliver(job.Generation, job.Index, picture);
    }
}

void TBackgroundPictures::Deliver(uint64_t generation, int index, const QImage& picture) {
    // Queued to this object's thread; dropped with the object if it is gone by then.
    QMetaObject::invokeMethod(
        this,
        [this, generation, index, picture] {
            if (generation == generation_)
                Q_EMIT PictureReady(generation, index, picture);
        },
        Qt::QueuedConnection);
}

} // namespace kanvio
