// The decoder settings dialog alone and as the settings menu runs it on the real video
// window: what Save, Cancel and Clear leave in the settings store, in the player and in
// the engine's next film load.

#include "video/CodecSettingsForm.h"

#include "foundation/RegistryManager.h"
#include "tests/ui/ScreenFormTestSupport.h"
#include "ui/SettingsCommands.h"
#include "ui/SteeringForm.h"
#include "video/CodecSettings.h"
#include "video/DecoderCatalog.h"
#include "video/FilterPriorities.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

using TList = std::vector<std::string>;

TList Shown(const QListWidget* box) {
    TList names;
    for (int row = 0; row < box->count(); ++row) {
        names.push_back(box->item(row)->text().toStdString());
    }
    return names;
}

std::vector<std::string> StoredNames(const char* key) {
    std::vector<std::string> names;
    if (OpenRegKey(key, false)) {
        ReadOpenKeyValueNames(names);
    }
    CloseRegKey();
    return names;
}

TFilterLists SampleLists() {
    TFilterLists lists;
    lists.MPEG1 = {"One={00000000-0000-0000-0000-000000000001}"};
    lists.MPEG2 = {"A={00000000-0000-0000-0000-00000000000A}",
                   "B={00000000-0000-0000-0000-00000000000B}",
                   "C={00000000-0000-0000-0000-00000000000C}"};
    return lists;
}

class CodecSettingsFormTest : public ContextTest {};

TEST_F(CodecSettingsFormTest, ListsShowNamesAndTheButtonsMoveTheSelectedEntry) {
    TCodecSettingsForm form(2, 1, dialogs);
    EXPECT_EQ(form.rgCodecStrategy()->checkedId(), 2);
    EXPECT_EQ(form.rgVideoRendererMode()->checkedId(), 1);
    EXPECT_EQ(form.gbxCodecPriorities()->title().toStdString(), "_CodecPriorities (Admin)");
    EXPECT_EQ(form.windowTitle().toStdString(), "_CodecSettings");
    // The design's size is the least: buttons grow for their texts in the font in use.
    EXPECT_GE(form.width(), 609);
    EXPECT_EQ(form.height(), 369);

    form.SetLists(SampleLists());
    EXPECT_EQ(Shown(form.List(1)), (TList{"A", "B", "C"}));
    form.ListButton(1, 1)->click(); // Down with nothing selected
    EXPECT_EQ(Shown(form.List(1)), (TList{"A", "B", "C"}));
    form.List(1)->setCurrentRow(1);
    form.ListButton(1, 0)->click(); // Up
    EXPECT_EQ(Shown(form.List(1)), (TList{"B", "A", "C"}));
    EXPECT_EQ(form.List(1)->currentRow(), 0);
    form.List(1)->setCurrentRow(2);
    form.ListButton(1, 2)->click(); // Remove
    EXPECT_EQ(Shown(form.List(1)), (TList{"B", "A"}));
    EXPECT_EQ(form.List(1)->currentRow(), 0);
    const TFilterLists edited = form.GetLists();
    EXPECT_EQ(edited.MPEG2, (TList{SampleLists().MPEG2[1], SampleLists().MPEG2[0]}));
    EXPECT_EQ(edited.MPEG1, SampleLists().MPEG1);
    EXPECT_TRUE(edited.MPEG4.empty());

    form.ReloadLists = SampleLists();
    form.SetLists(TFilterLists{}); // nothing saved: the Reload lists are shown
    EXPECT_EQ(Shown(form.List(1)), (TList{"A", "B", "C"}));
}

TEST_F(CodecSettingsFormTest, OnlyTheListOfTheLoadedFormatIsTinted) {
    TCodecSettingsForm form(1, 0, dialogs);
    const QColor tint(240, 240, 144);
    const struct {
        TMovieFormat format;
        int tinted;
    } cases[] = {{TMovieFormat::MPEG1, 0},
                 {TMovieFormat::MPEG2, 1},
                 {TMovieFormat::MPEG4, 2},
                 {TMovieFormat::None, -1},
                 {TMovieFormat::Unknown, -1}};
    for (const auto& c : cases) {
        form.MarkCurrentFormat(c.format);
        for (int list = 0; list < 3; ++list) {
            EXPECT_EQ(form.List(list)->palette().color(QPalette::Base) == tint, list == c.tinted)
                << MovieFormatName(c.format) << " list " << list;
        }
    }
}

TEST_F(CodecSettingsFormTest, SaveCancelAndClearCloseAsTheyShould) {
    {
        TCodecSettingsForm form(1, 0, dialogs);
        form.rgCodecStrategy()->button(0)->click();
        form.rgVideoRendererMode()->button(1)->click();
        form.btnSave()->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_TRUE(form.SettingsTaken());
        EXPECT_EQ(form.FilterStrategy(), 0);
        EXPECT_EQ(form.RendererMode(), 1);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Information);
        EXPECT_EQ(dialogs.messages[0].second, "_ChangesWillBePerformedAfterRestart");
    }
    {
        TCodecSettingsForm form(1, 0, dialogs);
        form.rgCodecStrategy()->button(2)->click();
        form.btnCancel()->click();
        EXPECT_EQ(form.result(), QDialog::Rejected);
        EXPECT_FALSE(form.SettingsTaken());
        EXPECT_EQ(form.FilterStrategy(), 1);
    }
    {
        TCodecSettingsForm form(1, 0, dialogs);
        form.SetLists(SampleLists());
        form.rgCodecStrategy()->button(2)->click();
        form.btnClear()->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_FALSE(form.SettingsTaken()) << "Clear takes over no choice";
        EXPECT_TRUE(AllListsEmpty(form.GetLists()));
    }
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

class CodecSettingsMenuTest : public PlayerWindowsTest {
protected:
    void SetUp() override {
        PlayerWindowsTest::SetUp();
        owner = std::make_unique<QWidget>();
        commands = std::make_unique<TSettingsCommands>(*context, dialogs, *owner,
                                                       TSettingsCommands::TWindowHooks{});
    }
    void TearDown() override {
        commands.reset();
        owner.reset();
        PlayerWindowsTest::TearDown();
    }

    std::string Mpeg2Entry(const std::string& factory) const {
        for (const TDecoderEntry& decoder : DecodersForFormat(TMovieFormat::MPEG2)) {
            if (decoder.Factory == factory) {
                return decoder.FriendlyName + "=" + decoder.Clsid;
            }
        }
        return {};
    }

    std::unique_ptr<QWidget> owner;
    std::unique_ptr<TSettingsCommands> commands;
};

TEST_F(CodecSettingsMenuTest, SavedOrderAndStrategyDecideTheNextFilmLoad) {
    const std::string avdec = Mpeg2Entry("avdec_mpeg2video");
    const std::string mpeg2dec = Mpeg2Entry("mpeg2dec");
    if (avdec.empty() || mpeg2dec.empty()) {
        GTEST_SKIP() << "needs two installed MPEG-2 decoders";
    }
    StartPlayer();
    context->SeekDetail(-1);
    int openings = 0;
    commands->SetDialogRunner([&](QDialog& dialog) {
        auto& form = dynamic_cast<TCodecSettingsForm&>(dialog);
        ++openings;
        EXPECT_EQ(form.List(1)->palette().color(QPalette::Base), QColor(240, 240, 144));
        // Nothing saved yet: every installed decoder, as Reload shows them.
        const TFilterLists shown = form.GetLists();
        EXPECT_EQ(shown, form.ReloadLists);
        QListWidget* mpeg2 = form.List(1);
        for (int row = 0; row < mpeg2->count(); ++row) {
            if (form.GetLists().MPEG2[size_t(row)] == mpeg2dec) {
                mpeg2->setCurrentRow(row);
            }
        }
        while (mpeg2->currentRow() > 0) {
            form.UpClick(1);
        }
        form.rgCodecStrategy()->button(lsPriorities)->click();
        form.btnSaveClick();
        return form.result();
    });
    commands->miCodecSettingsClick();
    ASSERT_EQ(openings, 1);
    EXPECT_EQ(context->FilterStrategy, lsPriorities);
    const std::vector<std::string> stored = StoredNames("FilterPriorities\\MPEG2");
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(stored.front() + "=" + ReadRegString("FilterPriorities\\MPEG2", stored.front(), ""),
              mpeg2dec);
    ASSERT_FALSE(screen().Engine()->PriorityLists().MPEG2.empty());
    EXPECT_EQ(screen().Engine()->PriorityLists().MPEG2.front(), mpeg2dec);

    context->NextFilm();
    EXPECT_EQ(screen().Engine()->LoadedStrategy(), lsPriorities);
    EXPECT_NE(screen().Engine()->ElementNames().find("mpeg2dec"), std::string::npos)
        << screen().Engine()->ElementNames();
}

TEST_F(CodecSettingsMenuTest, CancelChangesNothingAndClearStoresEmptyLists) {
    StartPlayer();
    TFilterLists saved;
    saved.MPEG2 = {EnumerateDecoderLists().MPEG2.at(0)};
    SaveFilterPriorities(saved);
    const TFilterLists engineLists = screen().Engine()->PriorityLists();

    commands->SetDialogRunner([](QDialog& dialog) {
        auto& form = dynamic_cast<TCodecSettingsForm&>(dialog);
        form.List(1)->setCurrentRow(0);
        form.RemoveClick(1);
        form.rgCodecStrategy()->button(0)->click();
        form.btnCancel()->click();
        return form.result();
    });
    commands->miCodecSettingsClick();
    EXPECT_EQ(context->FilterStrategy, 1);
    EXPECT_EQ(StoredNames("FilterPriorities\\MPEG2").size(), 1u);
    EXPECT_EQ(screen().Engine()->PriorityLists(), engineLists);

    commands->SetDialogRunner([](QDialog& dialog) {
        auto& form = dynamic_cast<TCodecSettingsForm&>(dialog);
        EXPECT_EQ(form.GetLists().MPEG2.size(), 1u) << "the saved list, not the Reload one";
        form.btnClear()->click();
        return form.result();
    });
    commands->miCodecSettingsClick();
    for (const char* key :
         {"FilterPriorities\\MPEG1", "FilterPriorities\\MPEG2", "FilterPriorities\\MPEG4"}) {
        EXPECT_TRUE(OpenRegKey(key, false)) << key;
        CloseRegKey();
        EXPECT_TRUE(StoredNames(key).empty()) << key;
    }
    EXPECT_TRUE(AllListsEmpty(screen().Engine()->PriorityLists()));

    bool reloadShown = false;
    commands->SetDialogRunner([&](QDialog& dialog) {
        auto& form = dynamic_cast<TCodecSettingsForm&>(dialog);
        reloadShown = form.GetLists() == form.ReloadLists && !AllListsEmpty(form.ReloadLists);
        return int(QDialog::Rejected);
    });
    commands->miCodecSettingsClick();
    EXPECT_TRUE(reloadShown);
}

} // namespace
} // namespace kanvio::test
