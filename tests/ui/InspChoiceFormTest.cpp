// The choice window on the offscreen platform, with a real context, list model and
// settings store.

#include "ui/InspChoiceForm.h"

#include "core/KanvioContext.h"
#include "core/StructureListModel.h"
#include "foundation/QelFilterForm.h"
#include "foundation/RegistryManager.h"
#include "foundation/WindowPlace.h"
#include "tests/support/IsolatedEnvironment.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

struct TStructure {
    char Type;
    std::string Number, City;
};

class InspChoiceFormTest : public IsolatedTest {
protected:
    void AddStructures(const std::vector<TStructure>& structures) {
        for (const TStructure& values : structures) {
            auto structure = std::make_shared<TReachData>();
            structure->ObjectType = values.Type;
            structure->ID = values.Number;
            structure->city = values.City;
            (values.Type == 'H' ? context.Reaches : context.Connections).push_back(structure);
        }
    }

    TInspChoiceForm& Open() {
        listModel = BuildListModel(context);
        form = new TInspChoiceForm(
            context, *listModel, [this](TReachData& structure) { chosen.push_back(&structure); },
            &owner);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
        return *form;
    }

    // The texts of the column named name, top to bottom.
    std::vector<std::string> Shown(const char* name) const {
        const TQelTableModel& table = form->MainGrid->Table();
        const int column = FindColumn(table.Columns(), name);
        std::vector<std::string> texts;
        for (int row = 0; row < table.rowCount(); ++row) {
            texts.push_back(table.CellText(row, column));
        }
        return texts;
    }

    void ClickHeader(const char* name) const {
        QHeaderView* header = form->MainGrid->horizontalHeader();
        const int column = FindColumn(form->MainGrid->Table().Columns(), name);
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                   header->height() / 2));
    }

    QPoint RowPoint(int row) const {
        return form->MainGrid->visualRect(form->MainGrid->Table().index(row, 0)).center();
    }

    std::vector<std::string> VisualColumnNames() const {
        const QHeaderView* header = form->MainGrid->horizontalHeader();
        std::vector<std::string> names;
        for (int position = 0; position < header->count(); ++position) {
            names.push_back(
                form->MainGrid->Table().Columns()[size_t(header->logicalIndex(position))].Name);
        }
        return names;
    }

    int ColumnWidth(const char* name) const {
        return form->MainGrid->columnWidth(FindColumn(form->MainGrid->Table().Columns(), name));
    }

    TKanvioContext context{TContextServices{}};
    std::unique_ptr<TQelListViewModel> listModel;
    QWidget owner;
    QPointer<TInspChoiceForm> form;
    std::vector<TReachData*> chosen;
};

TEST_F(InspChoiceFormTest, FirstStartPlacesTheWindowAndItsControls) {
    AddStructures({{'H', "1", "Bonn"}});
    TInspChoiceForm& window = Open();
    // The default frame, wholly on the screen.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window.frameGeometry(), ClampFrameToArea(QRect(400, 400, 800, 500), available));
    const int width = window.width();
    const int height = window.height();
    EXPECT_TRUE(window.windowTitle().isEmpty());
    EXPECT_EQ(window.btnFilter->geometry(), QRect(8, 8, 20, 20));
    EXPECT_EQ(window.MainGrid->geometry(), QRect(36, 8, width - 44, height - 25 - 24));
    EXPECT_EQ(window.btnClose->geometry(), QRect(width - 75 - 8, height - 25 - 8, 75, 25));
    EXPECT_EQ(window.btnClose->text(), QString("_Close")); // no language file here
    EXPECT_EQ(window.MainGrid->focusPolicy(), Qt::ClickFocus);

    // Fourteen visible columns; all but the first fitted to the grid's width.
    const QHeaderView* header = window.MainGrid->horizontalHeader();
    ASSERT_EQ(header->count(), 14);
    EXPECT_EQ(header->sectionSize(0), header->defaultSectionSize());
    for (int column = 1; column < 14; ++column) {
        EXPECT_EQ(header->sectionSize(column), (800 - 44) / 14 - 5) << column;
    }

    window.resize(600, 300);
    EXPECT_EQ(window.MainGrid->geometry(), QRect(36, 8, 600 - 44, 300 - 25 - 24));
    EXPECT_EQ(window.btnClose->pos(), QPoint(600 - 75 - 8, 300 - 25 - 8));
}

TEST_F(InspChoiceFormTest, SavedPositionsBeyondTheScreenComeBackOntoIt) {
    struct Case {
        TFormGeometry saved;
        int screenWidth, screenHeight;
        TFormGeometry expected;
    };
    const Case cases[] = {
        {{5000, 100, 800, 500}, 1280, 1024, {1250, 100, 800, 500}},
        {{100, 5000, 800, 500}, 1280, 1024, {100, 994, 800, 500}},
        {{1280, 1024, 800, 500}, 1280, 1024, {1280, 1024, 800, 500}},
        {{1281, 1025, 800, 500}, 1280, 1024, {1250, 994, 800, 500}},
        {{400, 400, 800, 500}, 1280, 1024, {400, 400, 800, 500}},
        // Saved on a screen left of or above this one.
        {{-3000, -200, 800, 500}, 1280, 1024, {0, 0, 800, 500}},
        {{-700, 10, 800, 500}, 1280, 1024, {-700, 10, 800, 500}},
    };
    for (const auto& c : cases) {
        const TFormGeometry placed =
            TInspChoiceForm::PlaceOnScreen(c.saved, c.screenWidth, c.screenHeight);
        EXPECT_EQ(placed.Left, c.expected.Left) << c.saved.Left << "," << c.saved.Top;
        EXPECT_EQ(placed.Top, c.expected.Top) << c.saved.Left << "," << c.saved.Top;
        EXPECT_EQ(placed.Width, c.expected.Width);
        EXPECT_EQ(placed.Height, c.expected.Height);
    }

    WriteRegInteger("", "ChoiceFrmLeft", 5000);
    WriteRegInteger("", "ChoiceFrmTop", 20);
    WriteRegInteger("", "ChoiceFrmWidth", 640);
    WriteRegInteger("", "ChoiceFrmHeight", 330);
    TInspChoiceForm& window = Open();
    // Then the whole frame onto the screen.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(window.frameGeometry(), QRect(available.right() + 1 - 640, 20, 640, 330));
}

TEST_F(InspChoiceFormTest, SavedColumnsAreMovedAndResizedAndTheOthersKeepTheirOrder) {
    WriteRegInteger("GridCol\\0", "width", 150);
    WriteRegString("GridCol\\0", "name", "Strasse");
    WriteRegInteger("GridCol\\1", "width", 70);
    WriteRegString("GridCol\\1", "name", "NUMBER");
    // No entry for position 2: the entries at 3 and beyond are never read.
    WriteRegInteger("GridCol\\3", "width", 90);
    WriteRegString("GridCol\\3", "name", "PLZ");
    Open();
    EXPECT_EQ(VisualColumnNames(),
              (std::vector<std::string>{"Strasse", "Number", "Type", "Stadt", "Haltungsnr",
                                        "Anschlnr", "Untersuchl", "Fliessr", "VideoB", "Untersa",
                                        "AnfSchacht", "EndSchacht", "PLZ", "Kennz"}));
    EXPECT_EQ(ColumnWidth("Strasse"), 150);
    EXPECT_EQ(ColumnWidth("Number"), 70);
    EXPECT_EQ(ColumnWidth("PLZ"), (800 - 44) / 14 - 5);
}

TEST_F(InspChoiceFormTest, UnknownNamesAreSkippedAndNoColumnIsShrunkToNothing) {
    const std::pair<const char*, int> entries[] = {
        {"NoSuchColumn", 40}, {"Kennz", 0}, {"", 30}, {"Type", 120}};
    for (int position = 0; position < 4; ++position) {
        const std::string section = "GridCol\\" + std::to_string(position);
        WriteRegString(section, "name", entries[position].first);
        WriteRegInteger(section, "width", entries[position].second);
    }
    Open();
    // Kennz goes to position 1, then Type from position 0 to 3, which moves Kennz up one.
    const std::vector<std::string> names = VisualColumnNames();
    ASSERT_EQ(names.size(), 14u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5),
              (std::vector<std::string>{"Kennz", "Number", "Stadt", "Type", "Strasse"}));
    EXPECT_GE(ColumnWidth("Kennz"), form->MainGrid->horizontalHeader()->minimumSectionSize());
    EXPECT_GT(ColumnWidth("Kennz"), 0);
    EXPECT_EQ(ColumnWidth("Type"), 120);
}

TEST_F(InspChoiceFormTest, DestroyingTheWindowStoresItsLayoutForTheNextOne) {
    AddStructures({{'H', "1", "Bonn"}});
    TInspChoiceForm& window = Open();
    QHeaderView* header = window.MainGrid->horizontalHeader();
    const int city = FindColumn(window.MainGrid->Table().Columns(), "Stadt");
    header->moveSection(header->visualIndex(city), 0);
    header->resizeSection(city, 133);
    window.move(20, 130);
    window.resize(700, 410);
    const QRect frame = window.frameGeometry();
    const std::vector<std::string> layout = VisualColumnNames();
    delete form;

    // The frame's bounds.
    EXPECT_EQ(ReadRegInteger("", "ChoiceFrmLeft", -1), 20);
    EXPECT_EQ(ReadRegInteger("", "ChoiceFrmTop", -1), 130);
    EXPECT_EQ(ReadRegInteger("", "ChoiceFrmWidth", -1), frame.width());
    EXPECT_EQ(ReadRegInteger("", "ChoiceFrmHeight", -1), frame.height());
    EXPECT_EQ(ReadRegString("GridCol\\0", "name", ""), "Stadt");
    EXPECT_EQ(ReadRegInteger("GridCol\\0", "width", -1), 133);
    EXPECT_EQ(ReadRegString("GridCol\\13", "name", ""), layout[13]);
    EXPECT_EQ(ReadRegInteger("GridCol\\14", "width", -1), -1);

    TInspChoiceForm& again = Open();
    EXPECT_EQ(VisualColumnNames(), layout);
    EXPECT_EQ(ColumnWidth("Stadt"), 133);
    EXPECT_EQ(again.frameGeometry(), frame);
    EXPECT_EQ(again.size(), QSize(700, 410));
}

TEST_F(InspChoiceFormTest, NumbersSortByValueTextsByCharacterCode) {
    AddStructures(
        {{'H', "2", "b"}, {'H', "10", "B"}, {'H', "1", "Z"}, {'A', "a2", "a"}, {'A', "a10", "b"}});
    Open();
    ClickHeader("Number");
    EXPECT_EQ(Shown("Number"), (std::vector<std::string>{"1", "2", "10", "a10", "a2"}));
    ClickHeader("Stadt");
    EXPECT_EQ(Shown("Stadt"), (std::vector<std::string>{"B", "Z", "a", "b", "b"}));
    // Equal cities in ascending order of their numbers.
    EXPECT_EQ(Shown("Number"), (std::vector<std::string>{"10", "1", "a2", "2", "a10"}));
}

TEST_F(InspChoiceFormTest, EqualValuesKeepAscendingNumbersWhateverTheDirection) {
    AddStructures(
        {{'H', "7", "Bonn"}, {'H', "3", "Bonn"}, {'H', "12", "Aachen"}, {'H', "5", "Bonn"}});
    Open();
    ClickHeader("Stadt");
    EXPECT_EQ(Shown("Number"), (std::vector<std::string>{"12", "3", "5", "7"}));
    ClickHeader("Stadt");
    EXPECT_EQ(form->MainGrid->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Shown("Number"), (std::vector<std::string>{"3", "5", "7", "12"}));
}

TEST_F(InspChoiceFormTest, MainGridCompareFollowsTheTieBreakOnlyForTheGrid) {
    const TAQelAttrib attributes = {{"Stadt", "", true, TQelAlignment::Left, false},
                                    {"Number", "", true, TQelAlignment::Right, false}};
    const TQelColumns columns = BuildColumns(attributes);
    THashMap a;
    a.PutValue("Number", "3");
    THashMap b;
    b.PutValue("Number", "12");
    struct Case {
        bool fromGrid, descending;
        std::string_view textA, textB;
        int expected;
    };
    const Case cases[] = {
        {true, false, "Bonn", "Bonn", -1},  {true, true, "Bonn", "Bonn", -1},
        {false, false, "Bonn", "Bonn", 0},  {false, true, "Bonn", "Bonn", 0},
        {true, false, "Bonn", "Aachen", 1}, {true, true, "Bonn", "Aachen", -1},
        {true, false, "9", "10", -1},       {true, true, "9", "10", 1},
    };
    for (const auto& c : cases) {
        const TQelSortRequest request{&columns, 0, c.descending};
        EXPECT_EQ(TInspChoiceForm::MainGridCompare(c.fromGrid, request, {a, b, c.textA, c.textB}),
                  c.expected)
            << c.fromGrid << c.descending << " " << c.textA << "/" << c.textB;
    }
}

TEST_F(InspChoiceFormTest, DoubleClickOnARowChoosesItsStructure) {
    AddStructures({{'H', "1", "Bonn"}, {'H', "2", "Bonn"}, {'A', "3", "Bonn"}});
    TInspChoiceForm& window = Open();
    QWidget* viewport = window.MainGrid->viewport();

    QTest::mouseDClick(viewport, Qt::LeftButton, {}, RowPoint(2));
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0], context.Connections[0].get());
    EXPECT_EQ(context.CurrentStructure, context.Connections[0].get());
    EXPECT_FALSE(window.isVisible());

    window.show();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, RowPoint(1));
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[1], context.Reaches[1].get());
    EXPECT_EQ(context.CurrentStructure, context.Reaches[1].get());

    // The keyboard picks the focused row.
    window.show();
    window.MainGrid->setFocus();
    window.MainGrid->FocusRow(0);
    QTest::keyClick(window.MainGrid, Qt::Key_Return);
    ASSERT_EQ(chosen.size(), 3u);
    EXPECT_EQ(chosen[2], context.Reaches[0].get());
}

TEST_F(InspChoiceFormTest, DoubleClickOnTheHeaderOrBelowTheRowsDoesNothing) {
    AddStructures({{'H', "1", "Bonn"}, {'A', "3", "Bonn"}});
    TInspChoiceForm& window = Open();
    QHeaderView* header = window.MainGrid->horizontalHeader();
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(10, header->height() / 2));
    QTest::mouseDClick(window.MainGrid->viewport(), Qt::LeftButton, {},
                       QPoint(10, window.MainGrid->viewport()->height() - 3));
    window.MainGridDblClick(QPoint(-5, -5));
    EXPECT_TRUE(chosen.empty());
    EXPECT_EQ(context.CurrentStructure, nullptr);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(InspChoiceFormTest, ARowNamingNoStructureChoosesNothing) {
    AddStructures({{'H', "1", "Bonn"}, {'A', "2", "Bonn"}});
    TInspChoiceForm& window = Open();
    struct Case {
        const char* type;
        TVariant nr;
    };
    const Case cases[] = {{"H", int64_t(1)},
                          {"A", int64_t(1)},
                          {"H", int64_t(-1)},
                          {"A", "-2147483648"},
                          {"H", "2147483647"}};
    for (const auto& c : cases) {
        THashMap row;
        row.PutValue("TypeShort", c.type);
        row.PutValue("Nr", c.nr);
        EXPECT_FALSE(window.ChooseRow(row)) << c.type << c.nr.ToText();
    }
    EXPECT_TRUE(chosen.empty());
    EXPECT_TRUE(window.isVisible());

    // An unreadable number means 0; any type but "H" means a connection.
    THashMap row;
    row.PutValue("TypeShort", "h");
    row.PutValue("Nr", "x");
    EXPECT_TRUE(window.ChooseRow(row));
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0], context.Connections[0].get());
}

TEST_F(InspChoiceFormTest, CloseHidesAndFilterOpensAFilterWindowEachTime) {
    AddStructures({{'H', "1", "Bonn"}, {'H', "2", "K\xF6ln"}});
    TInspChoiceForm& window = Open();
    QTest::mouseClick(window.btnFilter, Qt::LeftButton);
    QTest::mouseClick(window.btnFilter, Qt::LeftButton);
    const auto filters = window.MainGrid->findChildren<TQelFilterForm*>();
    ASSERT_EQ(filters.size(), 2);
    // Type, city, street, flow direction, video, inspection type.
    EXPECT_EQ(filters[0]->Boxes().size(), 6u);

    filters[0]->Boxes()[1]->setEditText("k");
    EXPECT_EQ(Shown("Number"), (std::vector<std::string>{"2"}));

    QTest::mouseClick(window.btnClose, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(chosen.empty());
    // Shown again it still holds the rows of the last filter.
    window.show();
    EXPECT_EQ(Shown("Number"), (std::vector<std::string>{"2"}));
}

TEST_F(InspChoiceFormTest, WorksWithoutRowsWithOneRowAndWithManyRows) {
    for (size_t count : {size_t(0), size_t(1), size_t(25000)}) {
        context.Reaches.clear();
        chosen.clear();
        std::vector<TStructure> structures;
        for (size_t i = 0; i < count; ++i) {
            structures.push_back({'H', std::to_string(count - i), i % 2 ? "Bonn" : "Aachen"});
        }
        AddStructures(structures);
        TInspChoiceForm& window = Open();
        ASSERT_EQ(window.MainGrid->Table().rowCount(), int(count));
        window.MainGrid->setFocus();
        QTest::keyClick(window.MainGrid, Qt::Key_End);
        ClickHeader("Number");
        window.MainGrid->ApplyFilter(4, "bo");
        EXPECT_EQ(window.MainGrid->Table().rowCount(), int(count / 2)) << count;
        window.MainGrid->ApplyFilter(4, " ");
        QTest::keyClick(window.MainGrid, Qt::Key_End);
        if (count > 0) {
            EXPECT_EQ(window.MainGrid->currentIndex().row(), int(count) - 1);
            QTest::keyClick(window.MainGrid, Qt::Key_Return);
            ASSERT_EQ(chosen.size(), 1u);
            // Sorted by number, the last row holds the highest one: the first reach.
            EXPECT_EQ(chosen[0], context.Reaches[0].get()) << count;
        } else {
            EXPECT_FALSE(window.MainGrid->currentIndex().isValid());
            QTest::keyClick(window.MainGrid, Qt::Key_Return);
            EXPECT_TRUE(chosen.empty());
        }
        delete form;
    }
}

} // namespace
} // namespace kanvio::test
