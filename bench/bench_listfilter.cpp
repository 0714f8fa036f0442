// How fast the choice window's table answers: one filter keystroke on 25,000 rows (until
// the view knows its new row count), next to Qt's own QSortFilterProxyModel with a fixed-
// string filter on the same rows; the same keystrokes while a column is sorted, next to a
// sorted proxy filtering by the same prefix rule; sorting those rows by a clicked column;
// and building the list model of 12,000 structures. Prints its figures; every keystroke's
// rows and order are checked against a fresh filter and sort, and a wrong one is reported
// on standard error and in the exit code.

#include "core/KanvioContext.h"
#include "core/StructureListModel.h"
#include "foundation/AnsiText.h"
#include "foundation/QelListView.h"
#include "ui/InspChoiceForm.h"

#include <QApplication>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace kanvio;
using Clock = std::chrono::steady_clock;

const char* const kCities[] = {"Bonn",    "Berlin", "Bochum",   "Bad Honnef", "Aachen",
                               "K\xF6ln", "Kassel", "Dortmund", "Duisburg",   "Essen"};
const char* const kStreets[] = {"Hauptstra\xDF"
                                "e",
                                "Bahnhofstra\xDF"
                                "e",
                                "Am Markt",
                                "Kirchweg",
                                "Schulstra\xDF"
                                "e",
                                "Gartenweg"};

void FillContext(TKanvioContext& context, size_t reaches, size_t connections) {
    context.Reaches.clear();
    context.Connections.clear();
    for (size_t i = 0; i < reaches + connections; ++i) {
        auto structure = std::make_shared<TReachData>();
        structure->ObjectType = i < reaches ? 'H' : 'A';
        structure->ID = std::to_string(100000 + i * 7 % 90000);
        structure->city = kCities[i % std::size(kCities)];
        structure->street =
            std::string(kStreets[i % std::size(kStreets)]) + " " + std::to_string(i % 300);
        structure->ReachNumber = "R" + std::to_string(i);
        structure->ConnectionNumber = i < reaches ? "" : "A" + std::to_string(i);
        structure->StartManholeNumber = "S" + std::to_string(i);
        structure->EndManholeNumber = "S" + std::to_string(i + 1);
        structure->video = "film" + std::to_string(i / 40) + ".mpg";
        structure->InspLength = 12.5 + double(i % 100);
        structure->InspMode = i % 3 ? "TV" : "BEG";
        structure->ZIP = std::to_string(50000 + i % 1000);
        (i < reaches ? context.Reaches : context.Connections).push_back(structure);
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// CPU time of the process: on a machine busy with other work it tells more than the clock.
double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Median and worst of runs of work, in milliseconds of the clock and of the processor.
struct TFigures {
    double Median, Worst, CpuMedian;
};
TFigures Measure(int runs, const std::function<void(int)>& work) {
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const double cpuStart = CpuMilliseconds();
        work(run);
        cpuTimes.push_back(CpuMilliseconds() - cpuStart);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return {Median(times), *std::max_element(times.begin(), times.end()), Median(cpuTimes)};
}

void Print(const char* what, const TFigures& figures, const char* goal) {
    std::printf("%-48s median %7.2f ms, worst %7.2f ms, processor median %7.2f ms%s\n", what,
                figures.Median, figures.Worst, figures.CpuMedian, goal);
}

// The proxy's side of the sorted comparison: the rows whose city begins with the text, letters
// a to z without regard to case, as the list view filters.
class TPrefixProxy : public QSortFilterProxyModel {
public:
    void SetPrefix(const QString& prefix) {
        prefix_ = prefix;
        invalidateRowsFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& parent) const override {
        const QString text =
            sourceModel()->index(sourceRow, filterKeyColumn(), parent).data().toString();
        return text.startsWith(prefix_, Qt::CaseInsensitive);
    }

private:
    QString prefix_;
};

// The rows a fresh filter and a fresh sort of the kept rows give: what the view must show.
std::vector<const THashMap*> ExpectedRows(const TQelListViewModel& model, size_t attribute,
                                          const char* text, const TQelColumns& columns,
                                          int sortColumn, const TQelRowCompare& compare) {
    TQelListViewModel kept;
    FilterRows(model, attribute, text, kept);
    const TQelSortRequest request{&columns, sortColumn, false};
    std::vector<const THashMap*> rows;
    for (size_t index : SortRowOrder(kept.Rows, request, compare)) {
        rows.push_back(kept.Rows[index].get());
    }
    return rows;
}

std::vector<const THashMap*> ShownRows(const TQelListView& view) {
    std::vector<const THashMap*> rows;
    for (int row = 0; row < view.Table().rowCount(); ++row) {
        rows.push_back(view.Table().RowMap(row));
    }
    return rows;
}

// The keystrokes of someone typing "bo", deleting it and typing "k".
const char* const kKeystrokes[] = {"b", "bo", "b", "", "k", ""};
constexpr int kRuns = 60;
volatile int sink = 0;

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);

    TKanvioContext context{TContextServices{}};
    FillContext(context, 20000, 5000);
    const auto listModel = BuildListModel(context);
    const size_t cityAttribute = 4;
    std::printf("rows: %zu\n", listModel->Rows.size());

    // The grid of the choice window, shown.
    TQelListView view;
    view.resize(822, 393);
    view.SetModel(*listModel);
    view.show();
    QApplication::processEvents();
    const TFigures ours = Measure(kRuns, [&](int run) {
        view.ApplyFilter(cityAttribute, kKeystrokes[run % std::size(kKeystrokes)]);
        sink = view.model()->rowCount();
    });

    // The same rows and texts in Qt's standard model behind a fixed-string proxy filter.
    const TQelColumns columns = BuildColumns(listModel->Attributes);
    QStandardItemModel standard(int(listModel->Rows.size()), int(columns.size()));
    for (int row = 0; row < standard.rowCount(); ++row) {
        for (int column = 0; column < standard.columnCount(); ++column) {
            standard.setItem(
                row, column,
                new QStandardItem(AnsiToQString(
                    listModel->Rows[size_t(row)]->GetString(columns[size_t(column)].Key, ""))));
        }
    }
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&standard);
    proxy.setFilterKeyColumn(FindColumn(columns, "Stadt"));
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    QTableView proxyView;
    proxyView.resize(822, 393);
    proxyView.setModel(&proxy);
    proxyView.verticalHeader()->hide();
    proxyView.show();
    QApplication::processEvents();
    const TFigures qt = Measure(kRuns, [&](int run) {
        proxy.setFilterFixedString(AnsiToQString(kKeystrokes[run % std::size(kKeystrokes)]));
        sink = proxyView.model()->rowCount();
    });

    Print("filter keystroke, 25,000 rows, list view:", ours, " (goal < 30 ms)");
    Print("filter keystroke, 25,000 rows, Qt proxy model:", qt, "");
    std::printf("list view against proxy model: %.2fx the clock time, %.2fx the processor time "
                "(goal <= 1)\n",
                ours.Median / qt.Median, ours.CpuMedian / qt.CpuMedian);

    // Sorting all rows by a clicked column with the choice window's comparison.
    view.ApplyFilter(cityAttribute, "");
    const int numberColumn = FindColumn(columns, "Number");
    const TQelRowCompare compare = [numberColumn](const TQelSortRequest& request,
                                                  const TQelCompareRows& rows) {
        return TInspChoiceForm::MainGridCompare(true, request, rows, numberColumn);
    };
    view.SetCompare(compare);
    const int cityColumn = FindColumn(columns, "Stadt");
    const TFigures sort = Measure(10, [&](int run) {
        view.sortByColumn(cityColumn, run % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
        sink = view.model()->rowCount();
    });
    Print("sort 25,000 rows by city (ties by number):", sort, "");

    // Keystrokes while the grid is sorted by number; each one's rows are checked after it
    // was timed.
    view.sortByColumn(numberColumn, Qt::AscendingOrder);
    bool right = true;
    const TFigures sorted = Measure(kRuns, [&](int run) {
        view.ApplyFilter(cityAttribute, kKeystrokes[run % std::size(kKeystrokes)]);
        sink = view.model()->rowCount();
    });
    for (const char* text : kKeystrokes) {
        view.ApplyFilter(cityAttribute, text);
        if (ShownRows(view) !=
            ExpectedRows(*listModel, cityAttribute, text, columns, numberColumn, compare)) {
            std::fprintf(stderr, "filter \"%s\" on the sorted list: wrong rows or order\n", text);
            right = false;
        }
    }
    // The anchor: a proxy sorted by the same column, filtering by the same prefix rule.
    TPrefixProxy prefixProxy;
    prefixProxy.setSourceModel(&standard);
    prefixProxy.setFilterKeyColumn(cityColumn);
    QTableView prefixView;
    prefixView.resize(822, 393);
    prefixView.setModel(&prefixProxy);
    prefixView.verticalHeader()->hide();
    prefixView.setSortingEnabled(true);
    prefixView.sortByColumn(numberColumn, Qt::AscendingOrder);
    prefixView.show();
    QApplication::processEvents();
    const TFigures prefixQt = Measure(kRuns, [&](int run) {
        prefixProxy.SetPrefix(AnsiToQString(kKeystrokes[run % std::size(kKeystrokes)]));
        sink = prefixView.model()->rowCount();
    });
    for (const char* text : kKeystrokes) {
        view.ApplyFilter(cityAttribute, text);
        prefixProxy.SetPrefix(AnsiToQString(text));
        if (prefixProxy.rowCount() != view.Table().rowCount()) {
            std::fprintf(stderr, "filter \"%s\": the proxy keeps %d rows, the list view %d\n", text,
                         prefixProxy.rowCount(), view.Table().rowCount());
            right = false;
        }
    }
    Print("filter keystroke, sorted by number, list view:", sorted, " (goal < 30 ms)");
    Print("filter keystroke, sorted by number, Qt proxy:", prefixQt, "");
    std::printf("sorted list view against sorted prefix proxy: %.2fx the clock time, %.2fx the "
                "processor time\n",
                sorted.Median / prefixQt.Median, sorted.CpuMedian / prefixQt.CpuMedian);
    std::printf("rows and order of every sorted keystroke: %s\n", right ? "right" : "WRONG");

    FillContext(context, 9000, 3000);
    const TFigures build = Measure(30, [&](int) {
        const auto model = BuildListModel(context);
        sink = int(model->Rows.size());
    });
    Print("build list model, 12,000 structures:", build, " (goal < 50 ms)");
    return right ? 0 : 1;
}
