// Any bytes as a ZF file: loading logs and swallows what it cannot read; adding an
// offset either gives the new file, finds no film, or raises one of the program's errors.
// A new file keeps every byte of the old one around the entry and loads again.

#include "datasources/IsybauZFParser.h"
#include "foundation/Errors.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>

namespace {

// The bytes the two texts share at their beginning and at their end.
size_t SharedBytes(std::string_view before, std::string_view after) {
    const auto prefix = static_cast<size_t>(
        std::mismatch(before.begin(), before.end(), after.begin(), after.end()).first -
        before.begin());
    const auto suffix = static_cast<size_t>(
        std::mismatch(before.rbegin(), before.rend(), after.rbegin(), after.rend()).first -
        before.rbegin());
    return std::min(before.size(), prefix + suffix);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = kanvio::fuzz::Bytes(data, size);
    kanvio::TISYBAUZFParser parser;
    parser.Load(bytes, "zf.xml");
    try {
        const auto first = parser.WithOffset("f.mpg", 200, 201);
        if (!first)
            return 0;
        // Only an element without children may lose its "/>" (at most four bytes wide).
        if (SharedBytes(bytes, *first) + 4 < bytes.size())
            __builtin_trap();
        kanvio::TISYBAUZFParser again;
        again.Load(*first, "zf.xml");
        if (!again.IsLoaded())
            __builtin_trap();
        const auto second = again.WithOffset("f.mpg", 100, 101);
        if (!second)
            __builtin_trap(); // the film is still there
        kanvio::TISYBAUZFParser third;
        third.Load(*second, "zf.xml");
        if (!third.IsLoaded())
            __builtin_trap();
    } catch (const kanvio::EKanvioError&) {
    }
    return 0;
}
