// The settings menu's defect class colours and label editor on the real main window with
// a generated ISYBAU project: what OK and Cancel leave in the player, the settings store,
// the menus and the structure graphic. Dialogs run through the window's dialog runner.

#include "core/KanvioContext.h"
#include "datasources/DataSourceFactory.h"
#include "foundation/AnsiText.h"
#include "foundation/Logging.h"
#include "foundation/RegistryManager.h"
#include "tests/core/FakePlayerWindows.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/ui/MainFormTestFixture.h"
#include "ui/ColorBox.h"
#include "ui/DefectClassForm.h"
#include "ui/InspInfoEditorForm.h"
#include "ui/KanvioMainForm.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"
#include "ui/ProgramEntry.h"
#include "ui/SettingsCommands.h"
#include "ui/StructureGraphicView.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <deque>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

namespace fs = std::filesystem;
using test::FakeDialogs;

constexpr uint32_t kBlue = 16711680;
// The project generator's [DefaultDefectClass] colours.
constexpr uint32_t kIniColors[6] = {0x808080, 0x00A000, 0x00DCFF, 0x008CFF, 0x0000DC, 0x800080};

class ScriptedPicker final : public IColorPicker {
public:
    std::optional<uint32_t> PickColor(uint32_t initial, QWidget*) override {
        offered.push_back(initial);
        if (answers.empty()) {
            return std::nullopt;
        }
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<std::optional<uint32_t>> answers;
    std::vector<uint32_t> offered;
};

class SettingsDialogsTest : public test::MainFormTestFixture {
protected:
    TKanvioMainForm& ShowForm() {
        MainFormTestFixture::ShowForm();
        form_->Commands().Settings().SetColorPicker(picker);
        return *form_;
    }

    // Runs the next dialog through script, which returns the dialog's result.
    template <typename Dialog> void Script(std::function<int(Dialog&)> script) {
        form_->Commands().Settings().SetDialogRunner(
            [script](QDialog& dialog) { return script(dynamic_cast<Dialog&>(dialog)); });
    }

    QImage Graphic() const { return form_->ScrollBox()->grab().toImage(); }

    ScriptedPicker picker;
};

TEST_F(SettingsDialogsTest, SettingsItemsCanBeChosen) {
    TKanvioMainForm& form = ShowForm();
    EXPECT_TRUE(form.Menus()->miCodecSettings->isEnabled());
    EXPECT_TRUE(form.Menus()->miDefectClass->isEnabled());
    EXPECT_TRUE(form.Menus()->miMenuLayout->isEnabled());
}

TEST_F(SettingsDialogsTest, ClearThenSaveMakesEveryClassBlueAndRedrawsTheGraphic) {
    TKanvioMainForm& form = ShowForm();
    // The ISYBAU files carry no defect classes: one observation is given class 2 here.
    TReachData* current = context_->CurrentStructure;
    ASSERT_NE(current, nullptr);
    ASSERT_FALSE(current->Details.empty());
    current->Details.front().DefectClass = 2;
    form.Commands().DrawStructureGraphic(current);
    const QImage before = Graphic();
    int shown = 0;
    Script<TDefectClassForm>([&](TDefectClassForm& dialog) {
        ++shown;
        for (int n = 0; n < 6; ++n) {
            EXPECT_EQ(dialog.SelectedColor(n), kIniColors[n]) << n;
        }
        EXPECT_EQ(dialog.ColorBox(0)->currentText().toStdString(), "Gray");
        EXPECT_EQ(dialog.ColorBox(1)->currentText().toStdString(), "#00A000");
        dialog.btClear()->click();
        dialog.btSave()->click();
        return dialog.result();
    });
    form.Menus()->miDefectClass->trigger();
    ASSERT_EQ(shown, 1);
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(context_->GetDefectClassColor(n), kBlue) << n;
        EXPECT_EQ(GraphicOptionsOf(*context_).DefectClassColors[size_t(n)], kBlue) << n;
    }
    const QImage after = Graphic();
    EXPECT_NE(after, before) << "the graphic shows the new colours at once";
    EXPECT_EQ(ReadRegInteger("", "DefectClassColor_1", -1), -1) << "stored only at the end";
}

TEST_F(SettingsDialogsTest, CancelKeepsTheColoursAndDefaultRestoresTheSettingsFile) {
    TKanvioMainForm& form = ShowForm();
    Script<TDefectClassForm>([](TDefectClassForm& dialog) {
        dialog.btClearClick();
        dialog.btCancel()->click();
        return dialog.result();
    });
    form.Menus()->miDefectClass->trigger();
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(context_->GetDefectClassColor(n), kIniColors[n]) << n;
    }

    context_->SetDefectClassColor(3, 0x0000FF);
    Script<TDefectClassForm>([](TDefectClassForm& dialog) {
        EXPECT_EQ(dialog.ColorBox(3)->currentText().toStdString(), "Red");
        dialog.btDefaultClick();
        dialog.btSaveClick();
        return dialog.result();
    });
    form.Menus()->miDefectClass->trigger();
    EXPECT_EQ(context_->GetDefectClassColor(3), kIniColors[3]);
}

TEST_F(SettingsDialogsTest, CustomColourComesFromThePickerAndACancelledPickKeepsTheBox) {
    TKanvioMainForm& form = ShowForm();
    picker.answers = {std::nullopt, 0x123456u};
    Script<TDefectClassForm>([](TDefectClassForm& dialog) {
        TColorBox* box = dialog.ColorBox(5);
        box->ChooseCustom(); // cancelled
        EXPECT_EQ(box->Selected(), kIniColors[5]);
        box->ChooseCustom();
        EXPECT_EQ(box->Selected(), 0x123456u);
        EXPECT_EQ(box->currentText().toStdString(), "#563412"); // shown as red, green, blue
        box->Select(0xFFFF00);                                  // a standard colour again
        EXPECT_EQ(box->currentText().toStdString(), "Aqua");
        box->Select(0x123456);
        dialog.btSaveClick();
        return dialog.result();
    });
    form.Menus()->miDefectClass->trigger();
    EXPECT_EQ(picker.offered, (std::vector<uint32_t>{kIniColors[5], kIniColors[5]}));
    EXPECT_EQ(context_->GetDefectClassColor(5), 0x123456u);
}

std::vector<int> BoxRows(TInspInfoEditorForm& editor, TStructureKind kind) {
    std::vector<int> rows;
    for (int place = 0; place < 5; ++place) {
        rows.push_back(editor.Box(kind, place)->currentIndex());
    }
    return rows;
}

TEST_F(SettingsDialogsTest, LabelEditorOffersItsDefaultsAndOkRebuildsTheMenus) {
    TKanvioMainForm& form = ShowForm();
    Script<TInspInfoEditorForm>([&](TInspInfoEditorForm& editor) {
        EXPECT_EQ(BoxRows(editor, TStructureKind::Reach), (std::vector<int>{1, 2, 3, 4, 0}));
        EXPECT_EQ(BoxRows(editor, TStructureKind::Connection), (std::vector<int>{1, 2, 3, 5, 0}));
        QComboBox* box = editor.Box(TStructureKind::Reach, 0);
        EXPECT_EQ(box->count(), 11);
        EXPECT_EQ(box->itemText(1).toStdString(), context_->InspectionInfo[1].Caption);
        EXPECT_EQ(box->itemText(0).toStdString(), "");
        // The design's width is the least: boxes grow for their captions in the font in use.
        EXPECT_GE(editor.width(), 448 + 100 + 8);
        EXPECT_GE(box->width(), 100);
        editor.Box(TStructureKind::Reach, 1)->setCurrentIndex(0);
        editor.Box(TStructureKind::Connection, 2)->lineEdit()->setText("typed");
        editor.btnOK()->click();
        return editor.result();
    });
    form.Menus()->miMenuLayout->trigger();
    EXPECT_EQ(ReadRegInteger("", "LabelH1", 99), 1);
    EXPECT_EQ(ReadRegInteger("", "LabelH2", 99), 0);
    EXPECT_EQ(ReadRegInteger("", "LabelH5", 99), 0);
    EXPECT_EQ(ReadRegInteger("", "LabelA3", 99), -1);
    EXPECT_EQ(ReadRegInteger("", "LabelA4", 99), 5);
    ASSERT_FALSE(form.Menus()->ReachItems().empty());
    for (size_t i = 0; i < form.Menus()->ReachItems().size(); ++i) {
        EXPECT_EQ(form.Menus()->ReachItems()[i]->text(),
                  AnsiToQString(context_->Reaches[i]->city + "   ").replace("&", "&&"));
    }
    const TReachData& connection = *context_->Connections.front();
    EXPECT_EQ(form.Menus()->ConnectionItems().front()->text(),
              AnsiToQString(connection.city + "   " + connection.date + "   ").replace("&", "&&"));
}

TEST_F(SettingsDialogsTest, LabelEditorIsKeptAndCancelStoresNothing) {
    TKanvioMainForm& form = ShowForm();
    TInspInfoEditorForm* first = nullptr;
    Script<TInspInfoEditorForm>([&](TInspInfoEditorForm& editor) {
        first = &editor;
        editor.Box(TStructureKind::Reach, 4)->setCurrentIndex(7);
        editor.btnCancel()->click();
        return editor.result();
    });
    const QString caption = form.Menus()->ReachItems().front()->text();
    form.Menus()->miMenuLayout->trigger();
    EXPECT_EQ(ReadRegInteger("", "LabelH5", 99), 99);
    EXPECT_EQ(form.Menus()->ReachItems().front()->text(), caption);

    Script<TInspInfoEditorForm>([&](TInspInfoEditorForm& editor) {
        EXPECT_EQ(&editor, first);
        EXPECT_EQ(editor.Box(TStructureKind::Reach, 4)->currentIndex(), 7) << "as it was left";
        return int(QDialog::Rejected);
    });
    form.Menus()->miMenuLayout->trigger();
}

TEST_F(SettingsDialogsTest, StoredValuesOutOfRangeGiveWayToDefaultsWithALogLine) {
    WriteRegInteger("", "LabelH3", 42);
    WriteRegInteger("", "LabelA1", -7);
    WriteRegInteger("", "LabelA2", -1);
    WriteRegInteger("", "FilterStrategy", 7);
    WriteRegInteger("", "RendererMode", -1);
    WriteRegInteger("", "DefectClassColor_2", -5);
    WriteRegInteger("", "DefectClassColor_4", 0x0000FF);
    TKanvioMainForm& form = ShowForm();
    EXPECT_EQ(context_->FilterStrategy, 1);
    EXPECT_EQ(context_->RendererMode, 0);
    EXPECT_EQ(context_->GetDefectClassColor(2), kIniColors[2]);
    EXPECT_EQ(context_->GetDefectClassColor(4), 0x0000FFu) << "a valid stored colour stays";
    const std::string log = Log();
    EXPECT_NE(log.find("Registry value \"FilterStrategy\" = 7 is out of range 0..2; 1 is used"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Registry value \"RendererMode\" = -1 is out of range 0..1; 0 is used"),
              std::string::npos);
    EXPECT_NE(log.find("Registry value \"DefectClassColor_2\" = -5 is no colour"),
              std::string::npos);

    Script<TInspInfoEditorForm>([](TInspInfoEditorForm& editor) {
        EXPECT_EQ(BoxRows(editor, TStructureKind::Reach), (std::vector<int>{1, 2, 3, 4, 0}));
        EXPECT_EQ(BoxRows(editor, TStructureKind::Connection), (std::vector<int>{1, -1, 3, 5, 0}));
        return int(QDialog::Rejected);
    });
    form.Menus()->miMenuLayout->trigger();
    EXPECT_NE(Log().find("Registry value \"LabelH3\" = 42 names no row of the label table"),
              std::string::npos);
    EXPECT_NE(Log().find("Registry value \"LabelA1\" = -7 names no row"), std::string::npos);
}

} // namespace
} // namespace kanvio
