#pragma once

// The libav plugin brings some 150 codec libraries with it; loading them costs a one-shot
// command (one picture of one film) more than decoding the picture does. MPEG-1 and MPEG-2
// video, the films most inspection cameras write, have a decoder of their own whose plugin
// loads in milliseconds and decodes the same frames. Automatic plugging with lean decoding
// on passes over the libav decoder wherever that decoder is installed.

#include "video/VideoTypes.h"

#include <gst/gst.h>

namespace kanvio {

// The lean decoder's factory for a stream of caps, nullptr when there is none for it.
const char* LeanDecoderFor(const GstCaps* caps);

// Whether films of this class are MPEG-1 or MPEG-2 video and the lean decoder for them is
// installed. A transport stream (MPEG-2 class) may still carry H.264, which then gets the
// libav decoder all the same.
bool LeanDecoderCovers(TMovieFormat format);

// For decodebin's "autoplug-select": skips the libav decoder where a lean one can take
// the caps, tries everything else.
int SelectLeanDecoder(GstElement* bin, GstPad* pad, GstCaps* caps, GstElementFactory* factory,
                      gpointer unused);

} // namespace kanvio
