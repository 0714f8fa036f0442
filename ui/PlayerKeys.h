#pragma once

// The player's keyboard, the same in every window that has the focus.

class QKeyEvent;

namespace kanvio {

class TKanvioContext;

// Hands a player key to the context and accepts the event; false for other keys, which
// the window handles itself.
bool PassKeyToPlayer(TKanvioContext& context, QKeyEvent& event);

} // namespace kanvio
