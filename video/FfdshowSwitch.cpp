#include "video/FfdshowSwitch.h"

#include "foundation/Errors.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"

#include <charconv>
#include <string>
#include <vector>

namespace kanvio {

namespace {
const char* const kKey = "\\Software\\GNU\\ffdshow";
const char* const kParentKey = "\\Software\\GNU";

// "\Software\GNU" goes with the decoder's key when nothing else is left in it: neither a
// sub-key nor a value of its own (values of other programs are never thrown away).
void RemoveEmptyParentKey() {
    if (RegKeyHasSubKeys(kParentKey) || !OpenRegKey(kParentKey, false))
        return;
    std::vector<std::string> values;
    ReadOpenKeyValueNames(values);
    CloseRegKey();
    if (values.empty())
        DeleteRegKey(kParentKey);
}
} // namespace

TFfdshowSwitch::TFfdshowSwitch() {
    if (OpenRegKey(kKey, false)) {
        const std::string text = ReadOpenKeyString("divx");
        CloseRegKey();
        int value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size())
            throw EConvertError("\"" + std::string(kKey) + "\\divx\": '" + text +
                                "' is not a valid integer value");
        remembered_ = value;
    }
    WriteRegInteger(kKey, "divx", 1);
}

TFfdshowSwitch::~TFfdshowSwitch() {
    try {
        if (remembered_ < 0) {
            DeleteRegKey(kKey);
            RemoveEmptyParentKey();
        } else
            WriteRegInteger(kKey, "divx", remembered_);
    } catch (const std::exception& error) {
        LogLine(std::string("MMEngine->LoadDecoder [PRE]: ") + error.what(), LOG_ERROR);
    }
}

} // namespace kanvio
