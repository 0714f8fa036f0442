#pragma once

// The player's keyboard commands are defined on Windows virtual-key codes (the codes the
// key handlers of all windows pass to the player context). This maps Qt's key codes to
// them, so every window translates keys the same way.

#include <QKeyCombination>
#include <cstdint>
#include <optional>

namespace kanvio {

// The virtual-key code of a Qt key; none for keys the player has no code for.
std::optional<uint16_t> WindowsVirtualKey(int qtKey);

// Key and Ctrl state of a key press as the player context takes them.
struct TPlayerKey {
    uint16_t Key = 0;
    bool Ctrl = false;
};
std::optional<TPlayerKey> PlayerKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace kanvio
