#pragma once

// The generic model behind the filterable list views: column descriptions plus rows, each
// row a map from column name to value, and the rules the views apply to them (filtering,
// the values a filter offers, sorting). No widgets here, so all of it runs without a
// display.

#include "foundation/HashMap.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kanvio {

enum class TQelAlignment { Left, Right, Center };

// One column description.
struct TQelAttrib {
    std::string Name;    // key of the column's value in every row; also the grid column's name
    std::string Caption; // header and label in the filter window
    bool Visible = true;
    TQelAlignment Alignment = TQelAlignment::Left;
    bool Filterable = false;
};
using TAQelAttrib = std::vector<TQelAttrib>;

using THashMapRef = std::shared_ptr<THashMap>;
using TAHashMap = std::vector<THashMapRef>;

// Columns and rows. A view's filtered model shares the row maps of its source.
class TQelListViewModel {
public:
    TAQelAttrib Attributes;
    TAHashMap Rows;
};

// A filter text that holds nothing but blanks (or control characters) filters nothing.
bool IsBlankFilterText(std::string_view text);
// value begins with prefix when the letters a to z are compared without regard to case.
// Every other byte (umlauts, wildcard or pattern characters) must match exactly.
bool StartsWithIgnoringAsciiCase(std::string_view value, std::string_view prefix);

// Makes filtered hold the source rows whose value of the attribute at attributeIndex begins
// with text (see StartsWithIgnoringAsciiCase), in source order; all rows when text is
// blank. A missing value counts as empty text, as does an attribute index beyond the
// attributes. filtered gets the source's attributes.
void FilterRows(const TQelListViewModel& source, size_t attributeIndex, std::string_view text,
                TQelListViewModel& filtered);
// The indexes of the source rows FilterRows keeps, ascending.
std::vector<size_t> FilterRowIndexes(const TQelListViewModel& source, size_t attributeIndex,
                                     std::string_view text);

// What the filter window's drop-down of an attribute offers: " " first, then every value in
// row order (an empty value counting as " ") unless an earlier one differs from it only in
// letter case.
std::vector<std::string> FilterChoices(const TQelListViewModel& model, size_t attributeIndex);

// One grid column, made from a visible attribute.
struct TQelColumn {
    TQelColumn(const TQelAttrib& attribute)
        : Name(attribute.Name), Caption(attribute.Caption), Alignment(attribute.Alignment),
          Key(attribute.Name) {}
    std::string Name;
    std::string Caption;
    TQelAlignment Alignment;
    THashKey Key; // Name as the row maps look it up
};
using TQelColumns = std::vector<TQelColumn>;

// A column for every visible attribute, in attribute order.
TQelColumns BuildColumns(const TAQelAttrib& attributes);
// Index of the column named name (without regard to case), or -1.
int FindColumn(const TQelColumns& columns, std::string_view name);
// The width a new view gives every column but the first.
int DefaultColumnWidth(int viewWidth, int columnCount);

// Both texts whole 32-bit numbers: by numeric order; otherwise byte by byte (case counts).
// Negative, zero or positive.
int CompareCellTexts(std::string_view a, std::string_view b);

// The sorting a grid asks for.
struct TQelSortRequest {
    const TQelColumns* Columns = nullptr;
    int Column = -1;
    bool Descending = false;
};
// Two rows to order, with their texts in the sorted column.
struct TQelCompareRows {
    const THashMap& RowA;
    const THashMap& RowB;
    std::string_view TextA;
    std::string_view TextB;
};
// A sorting comparison a window gives its grid: negative when row A comes first. It sees
// the direction and is expected to apply it.
using TQelRowCompare = std::function<int(const TQelSortRequest&, const TQelCompareRows&)>;

// The comparison of a grid without one of its own: CompareCellTexts, reversed descending.
int DefaultRowCompare(const TQelSortRequest& request, const TQelCompareRows& rows);

// The order (indexes into rows) that sorts rows by the requested column. Rows that compare
// equal keep their order. A request without a column keeps the order as it is.
std::vector<size_t> SortRowOrder(const TAHashMap& rows, const TQelSortRequest& request,
                                 const TQelRowCompare& compare);

} // namespace kanvio
