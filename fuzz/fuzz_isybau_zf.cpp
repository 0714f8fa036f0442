// Any bytes as a ZF file: loading logs and swallows what it cannot read; adding an
// offset either writes the file, finds no film, or raises one of the program's errors.

#include "datasources/IsybauZFParser.h"
#include "foundation/Errors.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = kanvio::fuzz::WriteInput("zf.xml", data, size);
    kanvio::TISYBAUZFParser parser;
    parser.LoadFile(file);
    try {
        parser.AddOffset("f.mpg", 200, 201);
        parser.AddOffset("f.mpg", 100, 101);
        // What was written must load again.
        kanvio::TISYBAUZFParser again;
        again.LoadFile(file);
        if (parser.IsLoaded() && !again.IsLoaded())
            __builtin_trap();
    } catch (const kanvio::EKanvioError&) {
    }
    return 0;
}
