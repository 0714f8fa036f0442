#pragma once

// TCodecSettingsForm: the dialog that chooses how films are decoded: the decoder loading
// strategy, the renderer mode and, per film format, the order of the installed decoders
// that the priority strategy tries. The opener gives it the lists and stores what it
// returns; the strategy and renderer choices are taken only by Save.

#include "video/VideoTypes.h"

#include <QDialog>
#include <array>
#include <string>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace kanvio {

class IUserDialogs;

class TCodecSettingsForm final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 609;
    static constexpr int kClientHeight = 369;

    TCodecSettingsForm(int32_t filterStrategy, int32_t rendererMode, IUserDialogs& dialogs,
                       QWidget* parent = nullptr);

    // Every installed decoder, the stored ones first: what Reload shows.
    TFilterLists ReloadLists;

    // Shows the lists; when all three are empty, the Reload lists instead.
    void SetLists(const TFilterLists& lists);
    TFilterLists GetLists() const;
    // Tints the list of the given format; None and Unknown tint none.
    void MarkCurrentFormat(TMovieFormat format);

    // What Save took over; unchanged values after Cancel or Clear.
    bool SettingsTaken() const { return settingsTaken_; }
    int32_t FilterStrategy() const { return filterStrategy_; }
    int32_t RendererMode() const { return rendererMode_; }

    void btnSaveClick();
    void btnClearClick();
    void btnReloadClick();
    // The list buttons of a format (0 MPEG1, 1 MPEG2, 2 MPEG4).
    void UpClick(int list);
    void DownClick(int list);
    void RemoveClick(int list);

    QListWidget* List(int list) const { return lists_[size_t(list)]; }
    QGroupBox* gbxCodecPriorities() const { return gbxCodecPriorities_; }
    QButtonGroup* rgCodecStrategy() const { return strategyGroup_; }
    QButtonGroup* rgVideoRendererMode() const { return rendererGroup_; }
    QPushButton* btnSave() const { return btnSave_; }
    QPushButton* btnCancel() const { return btnCancel_; }
    QPushButton* btnReload() const { return btnReload_; }
    QPushButton* btnClear() const { return btnClear_; }
    QPushButton* ListButton(int list, int button) const {
        return listButtons_[size_t(list)][size_t(button)];
    }
    const std::string& RestartNote() const { return restartNote_; }

private:
    void CreateControls();
    void AlignAfterFit();
    void ApplyTexts();
    void ShowList(int list, const std::vector<std::string>& entries, int selected);
    std::vector<std::string> Entries(int list) const;

    IUserDialogs& dialogs_;
    QGroupBox* gbxCodecPriorities_ = nullptr;
    std::array<QLabel*, 3> labels_{};
    std::array<QListWidget*, 3> lists_{};
    std::array<std::array<QPushButton*, 3>, 3> listButtons_{};
    QGroupBox* strategyBox_ = nullptr;
    QGroupBox* rendererBox_ = nullptr;
    QButtonGroup* strategyGroup_ = nullptr;
    QButtonGroup* rendererGroup_ = nullptr;
    std::array<QRadioButton*, 3> strategyItems_{};
    std::array<QRadioButton*, 2> rendererItems_{};
    QPushButton* btnSave_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QPushButton* btnReload_ = nullptr;
    QPushButton* btnClear_ = nullptr;
    std::string restartNote_;
    bool settingsTaken_ = false;
    int32_t filterStrategy_;
    int32_t rendererMode_;
};

} // namespace kanvio
