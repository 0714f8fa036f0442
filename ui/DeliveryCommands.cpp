#include "ui/DeliveryCommands.h"

#include "core/KanvioContext.h"
#include "core/RecentDeliveries.h"
#include "foundation/AnsiText.h"
#include "foundation/DeliveryFolder.h"
#include "foundation/Errors.h"
#include "foundation/LangManager.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"
#include "ui/MainFormMenus.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <filesystem>

namespace kanvio {

std::optional<std::string> AskStartDelivery(IUserDialogs& dialogs, const std::string& title,
                                            const std::string& initialFolder) {
    std::string start = initialFolder;
    while (const auto folder = dialogs.AskFolder(start, title)) {
        const std::string problem = CheckDeliveryFolder(*folder);
        if (problem.empty()) {
            return folder;
        }
        dialogs.ShowMessage(TMessageKind::Error, Utf8ToAnsi(problem));
        start = *folder;
    }
    return std::nullopt;
}

TDeliveryCommands::TDeliveryCommands(TKanvioContext& context, IUserDialogs& dialogs,
                                     TMainFormMenus& menus, QWidget& window)
    : context_(context), dialogs_(dialogs), menus_(menus), recent_(ReadRecentDeliveries()) {
    menus_.ShowRecentDeliveries(recent_);
    connect(menus_.miOpenDelivery, &QAction::triggered, this, [this] { AskAndOpen(); });
    connect(&menus_, &TMainFormMenus::RecentDeliveryClick, this,
            [this](int index) { OpenRecent(index); });
    // Children that take no drops of their own hand them up to the window.
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

bool TDeliveryCommands::OpenDelivery(const std::string& folder) {
    const std::string problem = CheckDeliveryFolder(folder);
    if (!problem.empty()) {
        LogLine(problem, LOG_WARNING);
        dialogs_.ShowMessage(TMessageKind::Error, Utf8ToAnsi(problem));
        return false;
    }
    const std::string absolute = std::filesystem::absolute(folder).lexically_normal().string();
    try {
        RememberDelivery(absolute);
    } catch (const EKanvioError& error) {
        // The delivery opens all the same; only the menu will not offer it next time.
        LogLine(error.what(), LOG_ERROR);
    }
    context_.OpenDeliveryAfterClose(absolute);
    return true;
}

void TDeliveryCommands::AskAndOpen() {
    std::string title;
    {
        LangScope lang;
        title = lang.Text("_OpenDelivery");
    }
    // The open delivery's own folder lies among the others the user keeps.
    std::filesystem::path start = std::filesystem::path(GetProjectFolder()).parent_path();
    if (start.has_parent_path()) {
        start = start.parent_path();
    }
    if (const auto folder = dialogs_.AskFolder(start.string(), title)) {
        OpenDelivery(*folder);
    }
}

void TDeliveryCommands::OpenRecent(int index) {
    if (index >= 0 && static_cast<size_t>(index) < recent_.size()) {
        OpenDelivery(recent_[static_cast<size_t>(index)]);
    }
}

std::optional<std::string> TDeliveryCommands::DroppedFolder(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
        return std::nullopt;
    }
    const QUrl url = data->urls().front();
    if (!url.isLocalFile()) {
        return std::nullopt;
    }
    const QString path = url.toLocalFile();
    if (!QFileInfo(path).isDir()) {
        return std::nullopt;
    }
    return QFile::encodeName(path).toStdString();
}

bool TDeliveryCommands::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        if (DroppedFolder(drag->mimeData())) {
            drag->acceptProposedAction();
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (const auto folder = DroppedFolder(drop->mimeData())) {
            drop->acceptProposedAction();
            OpenDelivery(*folder);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kanvio
