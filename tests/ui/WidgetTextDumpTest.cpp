// The widget text dump on small windows of its own: which texts count as cut, the menu
// entries behind the extension button, item views and their headers, the file format and
// the file written after a window shows.

#include "ui/WidgetTextDump.h"

#include "tests/support/IsolatedEnvironment.h"
#include "tests/ui/ScreenFormTestSupport.h"
#include "ui/SteeringForm.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

const TWidgetText* Find(const std::vector<TWidgetText>& texts, const QString& text) {
    for (const TWidgetText& entry : texts) {
        if (entry.Text == text) {
            return &entry;
        }
    }
    return nullptr;
}

// A plain window whose children are placed by hand, as most of the program's windows are.
class WidgetTextDumpTest : public IsolatedTest {
protected:
    WidgetTextDumpTest() {
        window.setObjectName("Probe");
        window.resize(400, 300);
    }
    template <typename TWidget> TWidget* Place(TWidget* widget, int width) {
        widget->setParent(&window);
        widget->setGeometry(10, 10 + 30 * placed_++, width, 26);
        return widget;
    }
    int TextWidth(const QWidget& widget, const QString& text) const {
        return widget.fontMetrics().horizontalAdvance(text);
    }

    QWidget window;

private:
    int placed_ = 0;
};

TEST_F(WidgetTextDumpTest, TextsCountAsCutExactlyWhenTheirWidgetIsNarrowerThanTheyNeed) {
    const QString text = QStringLiteral("Inspektionsdatum");
    auto* probe = Place(new QLabel(text), 300);
    window.show();
    const int textWidth = TextWidth(*probe, text);
    struct Case {
        const char* kind;
        std::function<QWidget*(const QString&)> make;
        int extra; // room beyond the text that the widget needs at least
    };
    const std::vector<Case> cases = {
        {"label", [](const QString& t) { return new QLabel(t); }, 0},
        {"button", [](const QString& t) { return new QPushButton(t); }, 1},
        {"check box", [](const QString& t) { return new QCheckBox(t); }, 10},
        {"line edit", [](const QString& t) { return new QLineEdit(t); }, 4},
    };
    for (const Case& c : cases) {
        // The same widget once roomy, once a few pixels short of its text.
        QWidget* roomy = Place(c.make(text), textWidth + 80);
        QWidget* tight = Place(c.make(text), textWidth - 3);
        roomy->setObjectName("roomy");
        tight->setObjectName("tight");
        roomy->show();
        tight->show();
        const std::vector<TWidgetText> texts = CollectWidgetTexts(window);
        int seen = 0;
        for (const TWidgetText& entry : texts) {
            if (entry.ObjectName == "roomy") {
                ++seen;
                EXPECT_FALSE(entry.Clipped()) << c.kind << " " << entry.Needed;
                EXPECT_GE(entry.Needed, textWidth + c.extra) << c.kind;
                EXPECT_EQ(entry.Available, textWidth + 80) << c.kind;
            } else if (entry.ObjectName == "tight") {
                ++seen;
                EXPECT_TRUE(entry.Clipped()) << c.kind;
            }
        }
        EXPECT_EQ(seen, 2) << c.kind;
        delete roomy;
        delete tight;
    }
}

TEST_F(WidgetTextDumpTest, HiddenWidgetsEmptyTextsAndPartsOutsideTheParentCount) {
    auto* hidden = Place(new QLabel("hidden"), 200);
    hidden->hide();
    Place(new QLabel(QString()), 200);
    // A label reaching beyond its parent's right edge shows only what lies inside it.
    auto* beyond = new QLabel("beyond", &window);
    beyond->setGeometry(window.width() - 20, 200, 100, 20);
    // Hidden in part as well, but its text lies in the part that shows; and the other way
    // round for a text at the right end.
    auto* leftText = new QLabel("left", &window);
    leftText->setGeometry(window.width() - 60, 230, 200, 20);
    auto* rightText = new QLabel("right", &window);
    rightText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rightText->setGeometry(window.width() - 60, 260, 200, 20);
    window.show();
    const std::vector<TWidgetText> texts = CollectWidgetTexts(window);
    EXPECT_EQ(Find(texts, "hidden"), nullptr);
    EXPECT_EQ(texts.size(), 3u);
    ASSERT_NE(Find(texts, "left"), nullptr);
    ASSERT_NE(Find(texts, "right"), nullptr);
    EXPECT_FALSE(Find(texts, "left")->Clipped());
    EXPECT_EQ(Find(texts, "left")->Available, 60);
    EXPECT_TRUE(Find(texts, "right")->Clipped());
    EXPECT_EQ(Find(texts, "right")->Available, 0);
    const TWidgetText* cut = Find(texts, "beyond");
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->Available, 20);
    EXPECT_EQ(cut->Window, "Probe");
    EXPECT_EQ(cut->Class, "QLabel");
}

TEST_F(WidgetTextDumpTest, MenuEntriesBehindTheExtensionButtonHaveNoRoom) {
    auto* layout = new QVBoxLayout(&window);
    auto* bar = new QMenuBar;
    layout->setMenuBar(bar);
    const QStringList titles = {"&Haltungen", "&Anschlüsse", "&Drucken", "&Einstellungen",
                                "&Hilfe"};
    for (const QString& title : titles) {
        bar->addMenu(title)->addAction("x");
    }
    window.resize(140, 200);
    window.show();
    const std::vector<TWidgetText> texts = CollectWidgetTexts(window);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_FALSE(texts.front().Clipped()) << texts.front().Needed;
    EXPECT_EQ(texts.back().Text, "&Hilfe");
    EXPECT_EQ(texts.back().Available, 0);
    EXPECT_GT(texts.back().Needed, 0);

    window.resize(900, 200);
    const std::vector<TWidgetText> wide = CollectWidgetTexts(window);
    for (const TWidgetText& entry : wide) {
        EXPECT_FALSE(entry.Clipped()) << entry.Text.toStdString();
    }
}

TEST_F(WidgetTextDumpTest, ItemViewsCountEveryColumnOfEveryExpandedRowAndEverySection) {
    auto* tree = new QTreeWidget(&window);
    tree->setGeometry(0, 0, 400, 300);
    tree->setHeaderLabels({"Inspektionsdatum", "Nr"});
    auto* top = new QTreeWidgetItem(tree, {"Haltung 4711", "1"});
    new QTreeWidgetItem(top, {"folded away", "2"});
    auto* open = new QTreeWidgetItem(tree, {"Anschluss", "3"});
    new QTreeWidgetItem(open, {"shown", "4"});
    open->setExpanded(true);
    tree->setColumnWidth(0, 40);
    window.show();
    const std::vector<TWidgetText> texts = CollectWidgetTexts(window);
    EXPECT_EQ(Find(texts, "folded away"), nullptr);
    ASSERT_NE(Find(texts, "shown"), nullptr);
    for (const char* cut : {"Inspektionsdatum", "Haltung 4711", "Anschluss"}) {
        const TWidgetText* entry = Find(texts, cut);
        ASSERT_NE(entry, nullptr) << cut;
        EXPECT_TRUE(entry->Clipped()) << cut;
    }
    EXPECT_EQ(Find(texts, "Inspektionsdatum")->Class, "QHeaderView");
    EXPECT_FALSE(Find(texts, "4")->Clipped());
}

TEST_F(WidgetTextDumpTest, FormatIsOneTabSeparatedLineAWidgetWithEscapesAndEndsWithEnd) {
    const std::vector<TWidgetText> texts = {
        {"Main", "QLabel", "lbCity", 50, 40, "Ort"},
        {"Main", "QLabel", "", 7, 9, "a\tb\nc\\d"},
    };
    EXPECT_EQ(FormatWidgetTexts(texts).toStdString(), "Main\tQLabel\tlbCity\t50\t40\tOrt\n"
                                                      "Main\tQLabel\t\t7\t9\ta\\tb\\nc\\\\d\n"
                                                      "END\n");
    EXPECT_EQ(FormatWidgetTexts({}).toStdString(), "END\n");
}

TEST_F(WidgetTextDumpTest, FileIsWrittenOnceAWindowShowsAndAFailedWriteIsReported) {
    const QString path = QString::fromStdString((env.root() / "dump.txt").string());
    TWidgetTextDump dump(path);
    Place(new QLabel("Strasse"), 200);
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(path); }));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.endsWith("\nEND\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("Probe\tQLabel\t\t")) << text.toStdString();

    TWidgetTextDump nowhere(QString::fromStdString((env.root() / "no/such/dir/d.txt").string()));
    EXPECT_FALSE(nowhere.WriteNow());
    EXPECT_FALSE(QFile::exists(nowhere.Path()));
}

TEST_F(WidgetTextDumpTest, EnvironmentNamesTheFileOrNothing) {
    unsetenv(TWidgetTextDump::kEnvironmentVariable);
    EXPECT_EQ(TWidgetTextDump::FromEnvironment(), nullptr);
    setenv(TWidgetTextDump::kEnvironmentVariable, "/tmp/x.txt", 1);
    const auto dump = TWidgetTextDump::FromEnvironment();
    unsetenv(TWidgetTextDump::kEnvironmentVariable);
    ASSERT_NE(dump, nullptr);
    EXPECT_EQ(dump->Path(), "/tmp/x.txt");
}

} // namespace
} // namespace kanvio::test
