#pragma once

// Single frames of films on a pipeline of their own: the player's film and position stay
// as they are. The film stays loaded between grabs, so that the pictures of one film in
// time order cost one seek each. A grabber belongs to the thread that made it.

#include <QImage>
#include <QSize>
#include <memory>
#include <string>

namespace kanvio {

class TMMEngine;
class TFixedEngineSettings;

class TFrameGrabber {
public:
    TFrameGrabber();
    ~TFrameGrabber();
    TFrameGrabber(const TFrameGrabber&) = delete;
    TFrameGrabber& operator=(const TFrameGrabber&) = delete;

    // The exact frame at ms from the film's first frame (the frame the player shows after
    // seeking there), as decoded. Throws EInOutError naming the film and the reason.
    QImage Grab(const std::string& film, int64_t ms);

    // Films loaded since the grabber was made.
    int Loads() const { return loads_; }

private:
    std::unique_ptr<TFixedEngineSettings> settings_;
    std::unique_ptr<TMMEngine> engine_;
    std::string loaded_;
    int loads_ = 0;
};

// picture scaled to fit into size, its aspect kept; an empty size keeps it as it is.
QImage FitPicture(const QImage& picture, QSize size);

} // namespace kanvio
