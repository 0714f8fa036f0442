#pragma once

// Opening another delivery from a main window: the delivery menu's open item with the
// folder dialog, its recent deliveries, and a delivery folder dropped on the window. The
// player then closes as at its end and starts again on the new delivery.

#include <QObject>
#include <optional>
#include <string>
#include <vector>

class QMimeData;
class QWidget;

namespace kanvio {

class IUserDialogs;
class TKanvioContext;
class TMainFormMenus;

// The delivery to start on when the program was started with none, neither beside it nor
// in the working directory (the installed program started from the desktop's menu): asked
// with the folder dialog until the user picks a delivery or cancels.
std::optional<std::string> AskStartDelivery(IUserDialogs& dialogs, const std::string& title,
                                            const std::string& initialFolder);

class TDeliveryCommands final : public QObject {
    Q_OBJECT
public:
    // Fills the menu's recent deliveries and takes the window's drops.
    TDeliveryCommands(TKanvioContext& context, IUserDialogs& dialogs, TMainFormMenus& menus,
                      QWidget& window);

    // Opens folder once the windows have closed. False, with a message naming the folder
    // and what it lacks, when it holds no delivery; the player then goes on as it was.
    bool OpenDelivery(const std::string& folder);
    // The folder dialog, starting beside the open delivery.
    void AskAndOpen();
    void OpenRecent(int index);

    // The one local folder a drag carries, else nothing.
    static std::optional<std::string> DroppedFolder(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TKanvioContext& context_;
    IUserDialogs& dialogs_;
    TMainFormMenus& menus_;
    std::vector<std::string> recent_;
};

} // namespace kanvio
