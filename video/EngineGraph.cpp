// TMMEngine: choosing the elements of a film by strategy and building its pipeline.

#include "foundation/AnsiText.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"
#include "video/DecoderCatalog.h"
#include "video/FfdshowSwitch.h"
#include "video/FilterFiles.h"
#include "video/HttpByteSource.h"
#include "video/MultimediaEngine.h"
#include "video/PlaybackPipeline.h"
#include "video/UiThreadPoster.h"

namespace kanvio {

HResult TMMEngine::LoadReader(const std::string& fileName, int32_t strategy) {
    source_.clear();
    if (strategy == lsSystem || strategy == lsPriorities) {
        LogLine("MMEngine->LoadReader: [SYS, PRI] GraphBuilder", LOG_DEBUG);
        source_ = "filesrc";
        LogLine("MMEngine->LoadReader: [SYS, PRI] AddSource, Movie", LOG_DEBUG);
        return S_OK;
    }
    if (strategy != lsPredefined)
        return S_OK;
    const TPredefinedFilters filters = PredefinedFiltersFor(movieFormat_);
    GstPlugin* plugin = nullptr;
    if (movieFormat_ == TMovieFormat::MPEG1 || movieFormat_ == TMovieFormat::MPEG2) {
        if (Failed(LoadFilterFromFile(filters.SourceLibrary, filters.SourceElement, plugin)))
            return E_FAIL;
        filterLibrary_ = plugin;
        source_ = filters.SourceElement;
        LogLine("MMEngine->LoadReader: [PRE] Source", LOG_DEBUG);
        splitter_.clear();
        if (Failed(LoadFilterFromFile(filters.SplitterLibrary, filters.SplitterElement, plugin)))
            return E_FAIL;
        filterLibrary_ = plugin;
        splitter_ = filters.SplitterElement;
        LogLine("MMEngine->LoadReader: [PRE] Splitter", LOG_DEBUG);
    } else {
        if (Failed(LoadFilterFromFile(filters.SourceLibrary, filters.SourceElement, plugin)))
            return E_FAIL;
        filterLibrary_ = plugin;
        source_ = filters.SourceElement;
        splitter_.clear(); // the MPEG-4 source splits the file itself
        LogLine("MMEngine->LoadReader: [PRE] Source, Splitter", LOG_DEBUG);
    }
    (void)fileName; // the pipeline opens the file when it is built
    LogLine("MMEngine->LoadReader: [PRE] Movie", LOG_DEBUG);
    return S_OK;
}

HResult TMMEngine::LoadDecoder(int32_t strategy) {
    LogLine("MMEngine->LoadDecoder: Entry", LOG_DEBUG);
    decoder_.clear();
    switch (strategy) {
    case lsSystem: {
        const HResult status = BuildGraph(lsSystem);
        if (Failed(status))
            LogLine("MMEngine->LoadDecoder [SYS]: BuildGraph FAILED", LOG_DEBUG);
        std::string filters = "MMEngine->Filters ";
        if (pipeline_)
            for (const std::string& name : pipeline_->ElementNameList())
                filters += "[" + name + "] ";
        LogLine(filters, LOG_DEBUG);
        return status;
    }
    case lsPredefined:
        return LoadDecoderPredefined();
    case lsPriorities:
        return LoadDecoderPriorities();
    default:
        return E_FAIL;
    }
}

HResult TMMEngine::LoadDecoderPredefined() {
    const TPredefinedFilters filters = PredefinedFiltersFor(movieFormat_);
    // The MPEG-4 decoder is switched on for the build and switched back afterwards.
    std::unique_ptr<TFfdshowSwitch> divx;
    if (movieFormat_ == TMovieFormat::MPEG4)
        divx = std::make_unique<TFfdshowSwitch>();
    LogLine("MMEngine->LoadDecoder [PRE]: Using decoder from library [" + filters.DecoderLibrary +
                "] - " + filters.DecoderName,
            LOG_DEBUG);
    GstPlugin* plugin = nullptr;
    HResult status = LoadFilterFromFile(filters.DecoderLibrary, filters.DecoderElement, plugin);
    LogLine("MMEngine->LoadDecoder [PRE]: LoadFilterFromFile - " + std::to_string(status),
            LOG_DEBUG);
    if (Succeeded(status)) {
        filterLibrary_ = plugin;
        decoder_ = filters.DecoderElement;
        status = BuildGraph(lsPredefined);
        if (Failed(status))
            LogLine("MMEngine->LoadDecoder [PRE]: BuildGraph FAILED", LOG_DEBUG);
    }
    return status;
}

HResult TMMEngine::LoadDecoderPriorities() {
    const std::vector<std::string>* list = priorityLists_.ListOf(movieFormat_);
    if (!list || list->empty()) {
        LogLine("MMEngine->LoadDecoder [PRI]: Empty priority list", LOG_DEBUG);
        return E_FAIL;
    }
    const std::vector<TDecoderEntry> installed = InstalledVideoDecoders();
    const size_t count = list->size();
    LogLine("==> PriorityList.Count = " + std::to_string(count) + " <==", LOG_DEBUG);
    HResult status = E_FAIL;
    size_t i = 0;
    do {
        LogLine("==> Loop entry.Index = " + std::to_string(i) + " <==", LOG_DEBUG);
        const std::string& entry = (*list)[i];
        const size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : entry.substr(equals + 1);
        const std::optional<TGuid> clsid = ParseGuid(value);
        if (!clsid)
            throw EConvertError("'" + value + "' is not a valid GUID value (decoder \"" + name +
                                "\" of the " + MovieFormatName(movieFormat_) + " list)");
        decoder_.clear();
        if (IsNullGuid(*clsid)) {
            for (const TDecoderEntry& decoder : installed)
                if (SameText(decoder.FriendlyName, name))
                    decoder_ = decoder.Factory; // the last one of that name
        } else {
            const std::string wanted = FormatGuid(*clsid);
            for (const TDecoderEntry& decoder : installed) {
                if (decoder.Clsid == wanted) {
                    decoder_ = decoder.Factory;
                    break;
                }
            }
        }
        LogLine("MMEngine->LoadDecoder [PRI]: Using decoder [" + name + "]", LOG_DEBUG);
        if (!decoder_.empty()) {
            status = BuildGraph(lsPriorities);
            if (Failed(status)) {
                LogLine("MMEngine->LoadDecoder [PRI]: BuildGraph FAILED", LOG_DEBUG);
                if (dialogs_)
                    dialogs_->ShowMessage(TMessageKind::Error, DecoderErrorPrefix + " [" + name +
                                                                   "]. " + DecoderErrorText + " " +
                                                                   MovieFormatName(movieFormat_));
                LogLine("==> After messaage <==", LOG_DEBUG);
            }
        } else {
            LogLine("MMEngine->LoadDecoder [PRI]: No decoder", LOG_DEBUG);
            status = E_FAIL;
        }
        ++i;
        LogLine("==> Loop condition (Idx=" + std::to_string(i) + "; Result=" + HexStatus(status) +
                    ") <==",
                LOG_DEBUG);
    } while (!Succeeded(status) && i < count);
    LogLine("==> Loop ended [" + std::to_string(count) + "] <==", LOG_DEBUG);
    return status;
}

HResult TMMEngine::BuildGraph(int32_t strategy) {
    LogLine("MMEngine->BuildGraph: Entry", LOG_DEBUG);
    TearDown();
    LogLine("MMEngine->BuildGraph [" + std::to_string(strategy) + "]: Cleared", LOG_DEBUG);
    TPipelineRecipe recipe;
    recipe.FileName = fileName_;
    recipe.Strategy = static_cast<TLoadStrategy>(strategy);
    recipe.LeanDecoding = leanDecoding_;
    if (strategy == lsPredefined) {
        recipe.SourceFactory = source_;
        recipe.SplitterFactory = splitter_;
    }
    if (strategy != lsSystem)
        recipe.DecoderFactory = decoder_;
    if (rendererMode_ == rmNormal) {
        recipe.NativeSinkFactory = nativeSink_;
        recipe.WindowHandle = display_ ? display_->NativeWindowHandle() : 0;
    }
    LogLine("MMEngine->BuildGraph Adding Source", LOG_DEBUG);
    LogLine("MMEngine->BuildGraph Adding Splitter", LOG_DEBUG);
    if (strategy != lsSystem) {
        // The decoder is what strategies 1 and 2 choose: when it cannot be made, say so
        // here rather than fail later on an element missing from the pipeline.
        const HResult added = TryMakeElement(decoder_);
        LogLine("MMEngine->BuildGraph: AddDecoder - " + std::to_string(added), LOG_DEBUG);
        if (Failed(added))
            return E_FAIL;
    }
    const uint64_t generation = generation_;
    TPipelineEvents events;
    events.EndOfStream = [this, generation] {
        poster_->Post([this, generation] { DeliverEndOfStream(generation); });
    };
    if (display_)
        events.FrameArrived = [this, generation] {
            poster_->Post([this, generation] {
                if (generation == generation_)
                    ShowNewestFrame();
            });
        };
    pipeline_ = std::make_unique<TPlaybackPipeline>(recipe, frames_, std::move(events));
    buildStrategy_ = strategy;

    // Prerolling connects the streams: only then is it known whether the film decodes.
    // A web film's first picture takes a few requests (the start, the end for the length):
    // from a distant server that is seconds, bounded by the requests' own timeout.
    constexpr int kPollMs = 10;
    const int polls = IsWebFilm(recipe.FileName) ? kFilmRequestTimeoutMs / kPollMs : 200;
    HResult status = pipeline_->ChangeState(GST_STATE_PAUSED, polls);
    if (Succeeded(status) && !pipeline_->VideoLinked())
        status = E_FAIL;
    if (strategy == lsSystem) {
        LogLine("MMEngine->BuildGraph: RenderEx - " + std::to_string(status), LOG_DEBUG);
    } else {
        LogLine("MMEngine->BuildGraph: Render SOURCE -> DECODER - " + std::to_string(status),
                LOG_DEBUG);
        if (rendererMode_ == rmVMR)
            LogLine("MMEngine->BuildGraph: Render DECODER -> SAMPLEGRABBER -> RENDERER - " +
                        std::to_string(status),
                    LOG_DEBUG);
        else
            LogLine("MMEngine->BuildGraph: Render DECODER -> RENDERER - " + std::to_string(status),
                    LOG_DEBUG);
    }
    if (Failed(status)) {
        const std::string reason = pipeline_->LastError();
        if (!reason.empty())
            LogLine("MMEngine->BuildGraph: " + reason, LOG_DEBUG);
        TearDown();
        return E_FAIL;
    }
    if (rendererMode_ == rmVMR)
        picture_ = std::make_unique<TBalanceElementBackend>(pipeline_->PictureElement());
    else
        picture_ = std::make_unique<TColorBalanceBackend>(pipeline_->VideoSink());
    ApplyPictureValues();
    if (display_)
        display_->SetSourceRect(QRect());
    sourceRect_ = QRect();
    return S_OK;
}

} // namespace kanvio
