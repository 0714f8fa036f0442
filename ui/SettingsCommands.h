#pragma once

// The settings menu's dialogs of the main window: decoder settings, defect class colours
// and the label editor. Each runs modally through the dialog runner, which tests replace
// so that no modal loop waits for a user.

#include "ui/ColorPicker.h"

#include <QPointer>
#include <functional>
#include <memory>

class QDialog;
class QWidget;

namespace kanvio {

class IUserDialogs;
class TInspInfoEditorForm;
class TKanvioContext;

// Shows a dialog modally and returns its result (QDialog::Accepted or Rejected).
using TDialogRunner = std::function<int(QDialog&)>;

class TSettingsCommands {
public:
    struct TWindowHooks {
        std::function<void()> RedrawGraphic;
        std::function<void()> RebuildMenus;
    };

    TSettingsCommands(TKanvioContext& context, IUserDialogs& dialogs, QWidget& owner,
                      TWindowHooks hooks);
    ~TSettingsCommands();
    TSettingsCommands(const TSettingsCommands&) = delete;
    TSettingsCommands& operator=(const TSettingsCommands&) = delete;

    // The decoder dialog; on OK the lists are stored and the engine uses them from its next
    // film load on.
    void miCodecSettingsClick();
    // The colours take effect at once; the player stores them when it ends.
    void miDefectClassClick();
    // The editor is made once and kept; on OK the structure menus are rebuilt.
    void miMenuLayoutClick();

    void SetDialogRunner(TDialogRunner runner) { runDialog_ = std::move(runner); }
    void SetColorPicker(IColorPicker& picker) { picker_ = &picker; }
    // The kept label editor, null before its first use.
    TInspInfoEditorForm* LabelEditor() const;

private:
    TKanvioContext& context_;
    IUserDialogs& dialogs_;
    QWidget& owner_;
    TWindowHooks hooks_;
    TDialogRunner runDialog_;
    TQtColorPicker qtPicker_;
    IColorPicker* picker_ = &qtPicker_;
    QPointer<TInspInfoEditorForm> labelEditor_;
};

} // namespace kanvio
