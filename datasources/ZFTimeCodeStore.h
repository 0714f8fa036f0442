#pragma once

#include "core/ContextInterfaces.h"

namespace kanvio {

// The ISYBAU ZF file as the store of the user's time corrections.
class TZFTimeCodeStore final : public ITimeCodeStore {
public:
    bool AddOffset(const std::string& fileName, const std::string& filmName, int32_t timeCodeFrame,
                   int32_t filmFrame) override;
};

} // namespace kanvio
