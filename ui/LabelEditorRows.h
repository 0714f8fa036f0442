#pragma once

// The rows the label editor offers for the reach and connection captions: the stored
// "LabelH1".."LabelH5" and "LabelA1".."LabelA5" with the editor's own defaults.

#include "ui/StructureLabels.h"

namespace kanvio {

// The label table has rows 0..kLabelRowCount - 1; -1 stands for text the user typed.
inline constexpr int32_t kLabelRowCount = 11;
inline constexpr int32_t kTypedLabelRow = -1;

// City, date, street and the structure's number, then nothing.
TLabelRows EditorDefaultRows(TStructureKind kind);

// The stored rows; a stored value outside -1..10 is left out with a log line and the
// default of its place is offered instead.
TLabelRows ReadEditorRows(TStructureKind kind);

// Stores the five rows of a kind; throws ERegistryError when the store cannot be written.
void WriteEditorRows(TStructureKind kind, const TLabelRows& rows);

} // namespace kanvio
