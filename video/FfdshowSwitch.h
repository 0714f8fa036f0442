#pragma once

// The MPEG-4 decoder's "divx" switch under "\Software\GNU\ffdshow", on for the time of a
// Predefined MPEG-4 build: the constructor remembers the value (or that the key was
// missing) and writes 1; the destructor writes the remembered value back or removes the
// key it made. A value that is not an integer throws EConvertError before anything is
// written.

namespace kanvio {

class TFfdshowSwitch {
public:
    TFfdshowSwitch();
    ~TFfdshowSwitch();
    TFfdshowSwitch(const TFfdshowSwitch&) = delete;
    TFfdshowSwitch& operator=(const TFfdshowSwitch&) = delete;

private:
    int remembered_ = -1;
};

} // namespace kanvio
