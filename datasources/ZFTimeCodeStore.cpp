#include "datasources/ZFTimeCodeStore.h"

#include "datasources/IsybauZFParser.h"
#include "foundation/Errors.h"

namespace kanvio {

bool TZFTimeCodeStore::AddOffset(const std::string& fileName, const std::string& filmName,
                                 int32_t timeCodeFrame, int32_t filmFrame) {
    TISYBAUZFParser parser;
    parser.LoadFile(fileName);
    // The parser only logs a file it cannot read; the user who just confirmed a
    // correction must hear that it did not reach the file.
    if (!parser.IsLoaded())
        throw EInOutError(fileName, "the file cannot be read as XML");
    return parser.AddOffset(filmName, timeCodeFrame, filmFrame);
}

} // namespace kanvio
