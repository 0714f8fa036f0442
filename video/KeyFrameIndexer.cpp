#include "video/KeyFrameIndexer.h"

#include "foundation/Logging.h"
#include "video/HttpByteSource.h"
#include "video/KeyFrameSearch.h"

#include <algorithm>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kanvio {

namespace {

std::mutex sessionLock;
std::map<std::string, std::shared_ptr<const TKeyFrameIndex>>& SessionIndexes() {
    static std::map<std::string, std::shared_ptr<const TKeyFrameIndex>> indexes;
    return indexes;
}

// A changed file is a different film: its key carries its size and modification time.
std::string SessionKeyOf(const std::string& fileName) {
    struct stat info {};
    if (stat(fileName.c_str(), &info) != 0)
        return {};
    return fileName + '\n' + std::to_string(info.st_size) + '\n' +
           std::to_string(info.st_mtim.tv_sec) + '.' + std::to_string(info.st_mtim.tv_nsec);
}

// This thread's reads wait for every other reader of the disc, and its computing for
// every other thread.
void LowerThisThreadsPriority() {
    constexpr int kIoPrioClassIdle = 3;
    constexpr int kIoPrioClassShift = 13;
    constexpr int kIoPrioWhoProcess = 1;
    const long thread = syscall(SYS_gettid);
    syscall(SYS_ioprio_set, kIoPrioWhoProcess, static_cast<int>(thread),
            kIoPrioClassIdle << kIoPrioClassShift);
    setpriority(PRIO_PROCESS, static_cast<id_t>(thread), 19);
}

TFilmBounds BoundsOf(const TKeyFrameIndex& index) {
    return {index.FirstFrameNs, index.LastFrameNs, index.FrameDurationNs};
}

// A film on a web server is read piece by piece where a seek needs it, never as a whole.
std::unique_ptr<IByteSource> OpenFilm(const std::string& fileName) {
    if (IsWebFilm(fileName))
        return std::make_unique<THttpByteSource>(fileName);
    return std::make_unique<TFileByteSource>(fileName);
}

} // namespace

TFilmBounds ReadStreamBounds(IByteSource& source) {
    constexpr int64_t kEdge = 1 << 20;
    const TContainer container = SniffContainer(source);
    if (container != TContainer::ProgramStream && container != TContainer::TransportStream)
        return {};
    TKeyFrameIndex head, tail;
    ScanStreamRange(source, container, 0, kEdge, head);
    ScanStreamRange(source, container, std::max<int64_t>(0, source.Size() - kEdge), source.Size(),
                    tail);
    // Time stamps wrap within a film only once in 26 hours: the tail's latest time lies
    // after the head's earliest unless the film wrapped, which the bounds leave unknown.
    if (head.FirstFrameNs < 0 || tail.LastFrameNs < head.FirstFrameNs)
        return {};
    return {head.FirstFrameNs, tail.LastFrameNs, head.FrameDurationNs};
}

TKeyFrameIndexer::TKeyFrameIndexer(std::string fileName, bool wholeIndex)
    : fileName_(std::move(fileName)), sessionKey_(SessionKeyOf(fileName_)) {
    {
        std::lock_guard guard(sessionLock);
        auto& indexes = SessionIndexes();
        auto found = indexes.find(sessionKey_);
        if (found != indexes.end()) {
            index_ = found->second;
            bounds_ = BoundsOf(*index_);
            finished_ = true;
            return;
        }
    }
    try {
        bounds_ = ReadStreamBounds(*OpenFilm(fileName_));
    } catch (const std::exception& error) {
        LogLine("MMEngine->Index: " + std::string(error.what()), LOG_WARNING);
    }
    if (wholeIndex && !IsWebFilm(fileName_))
        worker_ = std::thread([this] { Build(); });
    else
        finished_ = true;
}

TKeyFrameIndexer::~TKeyFrameIndexer() {
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
}

void TKeyFrameIndexer::Build() {
    LowerThisThreadsPriority();
    std::shared_ptr<const TKeyFrameIndex> built;
    std::string error;
    try {
        TFileByteSource source(fileName_);
        std::optional<TKeyFrameIndex> index = BuildKeyFrameIndex(source, &stop_);
        if (index)
            built = std::make_shared<const TKeyFrameIndex>(std::move(*index));
    } catch (const std::exception& failure) {
        error = failure.what();
    }
    {
        std::lock_guard guard(lock_);
        index_ = built;
        error_ = error;
        if (built && built->FirstFrameNs >= 0)
            bounds_ = BoundsOf(*built);
    }
    if (built && !sessionKey_.empty()) {
        std::lock_guard guard(sessionLock);
        SessionIndexes()[sessionKey_] = built;
    }
    finished_ = true;
}

std::shared_ptr<const TKeyFrameIndex> TKeyFrameIndexer::Index() const {
    std::lock_guard guard(lock_);
    return index_;
}

TFilmBounds TKeyFrameIndexer::Bounds() const {
    std::lock_guard guard(lock_);
    return bounds_;
}

std::string TKeyFrameIndexer::Error() const {
    std::lock_guard guard(lock_);
    return error_;
}

std::shared_ptr<const TKeyFrameIndex> TKeyFrameIndexer::NearbyIndex(int64_t filmTimeNs) const {
    const TFilmBounds bounds = Bounds();
    if (!bounds.Known() || bounds.LastFrameNs == bounds.FirstFrameNs)
        return nullptr;
    try {
        if (IsWebFilm(fileName_)) {
            std::lock_guard guard(webLock_);
            if (!web_)
                web_ = std::make_unique<TWebKeyFrameFinder>(fileName_);
            return web_->Around(bounds, filmTimeNs, &stop_);
        }
        TFileByteSource source(fileName_);
        const TContainer container = SniffContainer(source);
        if (container != TContainer::ProgramStream && container != TContainer::TransportStream)
            return nullptr;
        const double share = std::clamp(double(filmTimeNs - bounds.FirstFrameNs) /
                                            double(bounds.LastFrameNs - bounds.FirstFrameNs),
                                        0.0, 1.0);
        const int64_t estimate = static_cast<int64_t>(share * double(source.Size()));
        const int64_t to = std::min(source.Size(), estimate + (int64_t{1} << 20));
        for (int64_t back = int64_t{1} << 20;; back *= 2) {
            const int64_t from = std::max<int64_t>(0, estimate - back);
            auto index = std::make_shared<TKeyFrameIndex>();
            ScanStreamRange(source, container, from, to, *index, &stop_);
            if (stop_)
                return nullptr;
            if (!index->KeyFrames.empty() && index->KeyFrames.front().TimeNs <= filmTimeNs) {
                index->FirstFrameNs = bounds.FirstFrameNs;
                if (index->FrameDurationNs == 0)
                    index->FrameDurationNs = bounds.FrameDurationNs;
                return index;
            }
            if (from == 0)
                return nullptr;
        }
    } catch (const std::exception& error) {
        LogLine("MMEngine->Index: " + std::string(error.what()), LOG_WARNING);
    }
    return nullptr;
}

void TKeyFrameIndexer::Wait() {
    if (worker_.joinable())
        worker_.join();
}

void TKeyFrameIndexer::ForgetSession() {
    std::lock_guard guard(sessionLock);
    SessionIndexes().clear();
}

} // namespace kanvio
