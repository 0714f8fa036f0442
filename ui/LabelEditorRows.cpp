#include "ui/LabelEditorRows.h"

#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"

#include <string>

namespace kanvio {

namespace {

std::string ValueName(TStructureKind kind, size_t place) {
    return LabelRowValueName(kind, static_cast<int32_t>(place) + 1);
}

} // namespace

TLabelRows EditorDefaultRows(TStructureKind kind) {
    if (kind == TStructureKind::Reach) {
        return {1, 2, 3, 4, 0};
    }
    return {1, 2, 3, 5, 0};
}

TLabelRows ReadEditorRows(TStructureKind kind) {
    const TLabelRows defaults = EditorDefaultRows(kind);
    TLabelRows rows = defaults;
    for (size_t place = 0; place < rows.size(); ++place) {
        const std::string name = ValueName(kind, place);
        const int32_t stored = ReadRegInteger("", name, defaults[place]);
        if (stored < kTypedLabelRow || stored >= kLabelRowCount) {
            LogLine("Registry value \"" + name + "\" = " + std::to_string(stored) +
                        " names no row of the label table; the label editor offers row " +
                        std::to_string(defaults[place]) + " instead",
                    LOG_WARNING);
            continue;
        }
        rows[place] = stored;
    }
    return rows;
}

void WriteEditorRows(TStructureKind kind, const TLabelRows& rows) {
    for (size_t place = 0; place < rows.size(); ++place) {
        WriteRegInteger("", ValueName(kind, place), rows[place]);
    }
}

} // namespace kanvio
