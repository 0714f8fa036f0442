// Another delivery opened from the main window of each layout: through the delivery menu's
// folder dialog, its recent deliveries and a folder dropped on the window. A delivery is
// taken only when its folder holds one; the window then closes for the program to start
// again on it, and the recent list keeps the five newest, each once.

#include "core/RecentDeliveries.h"
#include "tests/ui/MainFormTestFixture.h"
#include "ui/DeliveryCommands.h"
#include "ui/KanvioSingleForm.h"
#include "ui/MainFormMenus.h"
#include "ui/MainMenuCommands.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

namespace fs = std::filesystem;

TEST(RecentDeliveryList, NewestFirstEachOnceAtMostFive) {
    using List = std::vector<std::string>;
    struct Case {
        const char* name;
        List before;
        std::string opened;
        List after;
    };
    const Case cases[] = {
        {"empty list", {}, "/d/a", {"/d/a"}},
        {"new in front", {"/d/a", "/d/b"}, "/d/c", {"/d/c", "/d/a", "/d/b"}},
        {"known moves to front", {"/d/a", "/d/b", "/d/c"}, "/d/c", {"/d/c", "/d/a", "/d/b"}},
        {"trailing slash and dots are one folder",
         {"/d/a/", "/d/b"},
         "/d/x/../a//",
         {"/d/a", "/d/b"}},
        {"sixth falls off", {"/1", "/2", "/3", "/4", "/5"}, "/6", {"/6", "/1", "/2", "/3", "/4"}},
        {"gaps and repeats of a hand-edited list", {"", "/1", "/1/", "", "/2"}, "", {"/1", "/2"}},
        {"case differs: two folders", {"/d/A"}, "/d/a", {"/d/a", "/d/A"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithDeliveryFirst(c.before, c.opened), c.after) << c.name;
}

// Started with no delivery anywhere: folders are asked for until one holds a delivery,
// each refusal said, each new dialog starting where the last choice was; cancelling
// starts nothing.
TEST(StartDelivery, AskedUntilAFolderHoldsOneOrTheUserCancels) {
    IsolatedEnvironment env;
    const fs::path delivery = env.root() / "delivery";
    const fs::path empty = env.root() / "empty";
    fs::create_directories(empty);
    WriteFile(delivery / "Kanvio.ini", "[DATA]\n");
    struct Case {
        const char* name;
        std::vector<std::optional<std::string>> answers;
        std::optional<std::string> chosen;
        size_t messages;
        size_t dialogs;
    };
    const Case cases[] = {
        {"cancelled", {std::nullopt}, std::nullopt, 0, 1},
        {"at once", {delivery.string()}, delivery.string(), 0, 1},
        {"after two refusals",
         {empty.string(), (env.root() / "gone").string(), delivery.string()},
         delivery.string(),
         2,
         3},
        {"refused, then cancelled", {empty.string(), std::nullopt}, std::nullopt, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDialogs dialogs;
        dialogs.folderAnswers.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(AskStartDelivery(dialogs, "Open delivery", "/home"), c.chosen);
        EXPECT_EQ(dialogs.messages.size(), c.messages);
        ASSERT_EQ(dialogs.folderDialogs.size(), c.dialogs);
        EXPECT_EQ(dialogs.folderDialogs[0],
                  std::make_pair(std::string("/home"), std::string("Open delivery")));
        if (c.dialogs > 1) {
            EXPECT_EQ(dialogs.folderDialogs[1].first, empty.string());
        }
    }
}

class OpenDeliveryWindowTest : public MainFormTestFixture {
protected:
    // A second delivery beside the open one, and a folder that holds none.
    void SetUp() override {
        other_ = env.root() / "deliveries" / "Lieferung & 2";
        fs::create_directories(other_.parent_path());
        fs::copy(fs::path(KANVIO_TEST_MEDIA_DIR) / "isybau-project", other_,
                 fs::copy_options::recursive);
        empty_ = env.root() / "deliveries" / "photos";
        fs::create_directories(empty_);
        WriteFile(empty_ / "photo.jpg", "not a delivery");
    }

    // The main window of layout: the three-window layout's or the single window.
    QWidget& Open(int layoutMode) {
        StartContext();
        if (layoutMode == 0) {
            ShowForm();
            return *form_;
        }
        context_->SetPlayerWindows(nullptr);
        context_->LayoutMode = static_cast<uint8_t>(layoutMode);
        single_ =
            std::make_unique<TKanvioSingleForm>(*context_, dialogs, std::vector<std::string>{});
        context_->SetPlayerWindows(single_.get());
        context_->SetMainWindow(single_.get());
        single_->show();
        return *single_;
    }

    void TearDown() override {
        if (single_) {
            single_->close();
            context_->SetPlayerWindows(nullptr);
            context_->SetMainWindow(nullptr);
            single_.reset();
        }
    }

    static TMainFormMenus& MenusOf(QWidget& window) {
        auto* menus = window.findChild<TMainFormMenus*>();
        EXPECT_NE(menus, nullptr);
        return *menus;
    }

    static void Drop(QWidget& window, const QList<QUrl>& urls, bool& enterAccepted,
                     bool& dropAccepted) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        enterAccepted = enter.isAccepted();
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        dropAccepted = drop.isAccepted();
    }

    std::string Other() const { return other_.string(); }

    fs::path other_;
    fs::path empty_;
    std::unique_ptr<TKanvioSingleForm> single_;
};

TEST_F(OpenDeliveryWindowTest, MenuOfEveryLayoutOpensTheChosenDelivery) {
    for (int layout : {0, 1, 2}) {
        SCOPED_TRACE(layout);
        QWidget& window = Open(layout);
        TMainFormMenus& menus = MenusOf(window);
        ASSERT_TRUE(menus.miDelivery->menuAction()->isVisible());
        EXPECT_FALSE(menus.miOpenDelivery->text().isEmpty());

        dialogs.folderAnswers = {Other()};
        menus.miOpenDelivery->trigger();
        ASSERT_EQ(dialogs.folderDialogs.size(), 1u);
        // The dialog starts where the open delivery lies, beside its neighbours.
        EXPECT_EQ(fs::path(dialogs.folderDialogs[0].first), env.root());
        EXPECT_EQ(context_->TakePendingDelivery(), Other());
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(ReadRecentDeliveries().front(), Other());

        TearDown();
        form_.reset();
        context_.reset();
        dialogs.folderDialogs.clear();
    }
}

TEST_F(OpenDeliveryWindowTest, CancelledOrEmptyFolderLeavesThePlayerAsItWas) {
    QWidget& window = Open(0);
    TMainFormMenus& menus = MenusOf(window);
    RememberDelivery(Other());

    dialogs.folderAnswers = {std::nullopt};
    menus.miOpenDelivery->trigger();
    EXPECT_TRUE(dialogs.messages.empty());

    dialogs.folderAnswers = {empty_.string()};
    menus.miOpenDelivery->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].first, TMessageKind::Error);
    for (const char* said : {"photos", "Kanvio.ini", "Kanvio.dat"})
        EXPECT_NE(dialogs.messages[0].second.find(said), std::string::npos)
            << dialogs.messages[0].second;

    EXPECT_EQ(context_->TakePendingDelivery(), std::nullopt);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(ReadRecentDeliveries(), std::vector<std::string>{Other()});
}

TEST_F(OpenDeliveryWindowTest, RecentDeliveriesAreOfferedNewestFirst) {
    std::vector<std::string> folders;
    for (int i = 1; i <= 6; ++i) {
        folders.push_back((env.root() / ("old-" + std::to_string(i))).string());
        RememberDelivery(folders.back());
    }
    RememberDelivery(Other());
    QWidget& window = Open(1);
    TMainFormMenus& menus = MenusOf(window);
    const auto& items = menus.RecentDeliveryItems();
    ASSERT_EQ(items.size(), kRecentDeliveryCount);
    // An "&" of a folder name is shown, not taken as the item's key.
    EXPECT_EQ(items[0]->text(), "&1 " + QString::fromStdString(Other()).replace("&", "&&"));
    EXPECT_EQ(items[1]->text(), "&2 " + QString::fromStdString(folders[5]));
    EXPECT_EQ(items[4]->text(), "&5 " + QString::fromStdString(folders[2]));

    // A recent folder that no longer holds a delivery is refused like any other.
    items[1]->trigger();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(context_->TakePendingDelivery(), std::nullopt);

    items[0]->trigger();
    EXPECT_EQ(context_->TakePendingDelivery(), Other());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(OpenDeliveryWindowTest, DroppedFolderOpensOnlyWhenItIsOneDelivery) {
    struct Case {
        const char* name;
        QList<QUrl> urls;
        bool taken;
        size_t messages;
    };
    const QUrl delivery = QUrl::fromLocalFile(QString::fromStdString(Other()));
    const Case cases[] = {
        {"a file",
         {QUrl::fromLocalFile(QString::fromStdString((empty_ / "photo.jpg").string()))},
         false,
         0},
        {"two folders", {delivery, delivery}, false, 0},
        {"a web address", {QUrl("https://example.invalid/delivery")}, false, 0},
        {"a folder without delivery",
         {QUrl::fromLocalFile(QString::fromStdString(empty_.string()))},
         true,
         1},
        {"the delivery", {delivery}, true, 1},
    };
    QWidget& window = Open(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool entered = false;
        bool dropped = false;
        Drop(window, c.urls, entered, dropped);
        EXPECT_EQ(entered, c.taken);
        EXPECT_EQ(dropped, c.taken);
        EXPECT_EQ(dialogs.messages.size(), c.messages);
    }
    EXPECT_EQ(context_->TakePendingDelivery(), Other());
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace kanvio::test
