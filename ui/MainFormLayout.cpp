#include "ui/MainFormLayout.h"

#include "foundation/RegistryManager.h"
#include "foundation/WindowPlace.h"

#include <algorithm>

namespace kanvio {

TFormGeometry ReadMainFormGeometry(double fontScale) {
    const QRect defaults = ThreeWindowDefaults(fontScale).Main;
    TFormGeometry geometry;
    geometry.Left = ReadRegInteger("", "MainLeft", defaults.x());
    geometry.Top = ReadRegInteger("", "MainTop", defaults.y());
    geometry.Width = ReadRegInteger("", "MainWidth", defaults.width());
    geometry.Height = ReadRegInteger("", "MainHeight", defaults.height());
    return geometry;
}

TFormGeometry PlaceMainFormOnScreen(TFormGeometry stored, int screenWidth, int screenHeight) {
    if (screenWidth < stored.Left) {
        stored.Left = screenWidth - 30;
    }
    if (screenHeight < stored.Top) {
        stored.Top = screenHeight - 30;
    }
    return stored;
}

void WriteMainFormGeometry(const TFormGeometry& geometry) {
    WriteRegInteger("", "MainLeft", geometry.Left);
    WriteRegInteger("", "MainTop", geometry.Top);
    WriteRegInteger("", "MainWidth", geometry.Width);
    WriteRegInteger("", "MainHeight", geometry.Height);
}

TMainFormLayout ComputeMainFormLayout(int clientWidth, int clientHeight, int infoPanelHeight,
                                      const std::array<int, 3>& columnLabelWidths) {
    TMainFormLayout layout;
    layout.InfoPanel = {8, 8, std::max(0, clientWidth - 16), infoPanelHeight};
    layout.ScrollBox = {8, infoPanelHeight + 16, std::max(0, clientWidth - 16),
                        std::max(0, clientHeight - infoPanelHeight - 24)};

    const auto [w1, w2, w3] = columnLabelWidths;
    // C++ division truncates toward zero, as the column rule wants.
    layout.EditWidth = std::max(0, (layout.InfoPanel.Width - w1 - w2 - w3 - 56) / 3);
    const int e = layout.EditWidth;

    layout.Columns[0] = {8, w1 + 16};
    int x = w1 + e + 24;
    layout.Columns[1].LabelLeft = x;
    x += w2 + 8;
    layout.Columns[1].EditLeft = x;
    x += e + 8;
    layout.Columns[2].LabelLeft = x;
    x += w3 + 8;
    layout.Columns[2].EditLeft = x;
    return layout;
}

TStartChoice ParseStartChoice(const std::vector<std::string>& arguments) {
    TStartChoice choice;
    if (arguments.empty()) {
        return choice;
    }
    const std::string& key = arguments[0];
    const std::string second = arguments.size() > 1 ? arguments[1] : std::string();
    if (key == "/H" || key == "/A") {
        // Without a number there is nothing to look for: start on the first structure.
        if (!second.empty()) {
            choice.Kind =
                key == "/H" ? TStartChoice::TKind::Reach : TStartChoice::TKind::Connection;
            choice.Name = second;
        }
        return choice;
    }
    choice.Kind = TStartChoice::TKind::Film;
    choice.Name = key;
    choice.Time = second;
    return choice;
}

} // namespace kanvio
