#pragma once

// The inspection data of a started player as a JSON document, for other tools:
// {"reaches": [...], "connections": [...], "films": [...]}. Texts are converted once from
// Windows-1252 to UTF-8; numbers read back to the same double.

#include <ostream>
#include <string>

namespace kanvio {

class TKanvioContext;

void WriteProjectJson(const TKanvioContext& context, std::ostream& out);
std::string ProjectJson(const TKanvioContext& context);

} // namespace kanvio
