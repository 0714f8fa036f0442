#pragma once

// The table of the inspection choice window: every reach, then every house connection,
// one row each. "TypeShort" ("H" or "A") and "Nr" (the index in Reaches or Connections)
// find the structure of a row again.

#include "foundation/QelListViewModel.h"

#include <memory>

namespace kanvio {

class TKanvioContext;

std::unique_ptr<TQelListViewModel> BuildListModel(const TKanvioContext& context);

} // namespace kanvio
