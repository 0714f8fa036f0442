#include "ui/SettingsCommands.h"

#include "core/KanvioContext.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"
#include "foundation/UserDialogs.h"
#include "ui/DefectClassForm.h"
#include "ui/InspInfoEditorForm.h"
#include "video/CodecSettings.h"
#include "video/CodecSettingsForm.h"
#include "video/FilterPriorities.h"

#include <QDialog>

namespace kanvio {

TSettingsCommands::TSettingsCommands(TKanvioContext& context, IUserDialogs& dialogs, QWidget& owner,
                                     TWindowHooks hooks)
    : context_(context), dialogs_(dialogs), owner_(owner), hooks_(std::move(hooks)),
      runDialog_([](QDialog& dialog) { return dialog.exec(); }) {}

TSettingsCommands::~TSettingsCommands() = default;

TInspInfoEditorForm* TSettingsCommands::LabelEditor() const {
    return labelEditor_.data();
}

void TSettingsCommands::miCodecSettingsClick() {
    TCodecSettingsForm dialog(context_.FilterStrategy, context_.RendererMode, dialogs_);
    dialog.ReloadLists = GetFilterLists(true);
    dialog.SetLists(GetFilterLists(false));
    dialog.MarkCurrentFormat(static_cast<TMovieFormat>(context_.GetMovieFormat()));
    if (runDialog_(dialog) != QDialog::Accepted) {
        return;
    }
    if (dialog.SettingsTaken()) {
        context_.FilterStrategy = dialog.FilterStrategy();
        context_.RendererMode = dialog.RendererMode();
    }
    const TFilterLists lists = dialog.GetLists();
    try {
        SaveFilterPriorities(lists);
    } catch (const EKanvioError& error) {
        // The engine still takes the lists for this session.
        dialogs_.ShowMessage(TMessageKind::Error, error.what());
    }
    if (auto* target = dynamic_cast<IDecoderListTarget*>(context_.CurrentVideo())) {
        target->SetPriorityLists(lists);
    }
}

void TSettingsCommands::miDefectClassClick() {
    TDefectClassForm dialog(context_, *picker_, &owner_);
    if (runDialog_(dialog) != QDialog::Accepted) {
        return;
    }
    for (int n = 0; n < TDefectClassForm::kClassCount; ++n) {
        context_.SetDefectClassColor(n, dialog.SelectedColor(n));
    }
    if (hooks_.RedrawGraphic) {
        hooks_.RedrawGraphic();
    }
}

void TSettingsCommands::miMenuLayoutClick() {
    if (!labelEditor_) {
        labelEditor_ = new TInspInfoEditorForm(context_.InspectionInfo, dialogs_, &owner_);
    }
    if (runDialog_(*labelEditor_) != QDialog::Accepted) {
        return;
    }
    if (hooks_.RebuildMenus) {
        hooks_.RebuildMenus();
    }
}

} // namespace kanvio
