#include "ui/PlayerKeys.h"

#include "core/KanvioContext.h"
#include "video/VirtualKeyMap.h"

#include <QKeyEvent>

namespace kanvio {

bool PassKeyToPlayer(TKanvioContext& context, QKeyEvent& event) {
    const auto key = PlayerKeyOf(event.key(), event.modifiers());
    if (!key) {
        return false;
    }
    context.HandleKey(key->Key, key->Ctrl);
    event.accept();
    return true;
}

} // namespace kanvio
