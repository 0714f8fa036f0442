#pragma once

// Hands work from GStreamer's streaming threads to the thread that made the poster (the
// UI thread) as queued calls. Post never touches a Qt object other than queueing an
// event, which Qt allows from any thread; calls still queued when the poster is
// destroyed are dropped.

#include <QObject>
#include <functional>

namespace kanvio {

class TUiThreadPoster final : public QObject {
    Q_OBJECT
public:
    TUiThreadPoster() = default;
    void Post(std::function<void()> call);
};

} // namespace kanvio
