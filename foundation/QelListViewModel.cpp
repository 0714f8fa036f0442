#include "foundation/QelListViewModel.h"

#include "foundation/AnsiText.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

namespace kanvio {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

const TQelAttrib* AttributeAt(const TQelListViewModel& model, size_t index) {
    return index < model.Attributes.size() ? &model.Attributes[index] : nullptr;
}

} // namespace

bool IsBlankFilterText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), IsBlank);
}

bool StartsWithIgnoringAsciiCase(std::string_view value, std::string_view prefix) {
    if (prefix.size() > value.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiUpper(value[i]) != AsciiUpper(prefix[i])) {
            return false;
        }
    }
    return true;
}

void FilterRows(const TQelListViewModel& source, size_t attributeIndex, std::string_view text,
                TQelListViewModel& filtered) {
    if (&filtered != &source) {
        filtered.Attributes = source.Attributes;
    }
    if (IsBlankFilterText(text)) {
        if (&filtered != &source) {
            filtered.Rows = source.Rows;
        }
        return;
    }
    TAHashMap rows;
    for (size_t index : FilterRowIndexes(source, attributeIndex, text)) {
        rows.push_back(source.Rows[index]);
    }
    filtered.Rows = std::move(rows);
}

std::vector<size_t> FilterRowIndexes(const TQelListViewModel& source, size_t attributeIndex,
                                     std::string_view text) {
    std::vector<size_t> indexes;
    if (IsBlankFilterText(text)) {
        indexes.resize(source.Rows.size());
        std::iota(indexes.begin(), indexes.end(), size_t(0));
        return indexes;
    }
    const TQelAttrib* attribute = AttributeAt(source, attributeIndex);
    if (attribute == nullptr) {
        return indexes;
    }
    const THashKey key(attribute->Name);
    std::string scratch;
    for (size_t index = 0; index < source.Rows.size(); ++index) {
        const THashMapRef& row = source.Rows[index];
        if (row && StartsWithIgnoringAsciiCase(row->GetStringView(key, scratch), text)) {
            indexes.push_back(index);
        }
    }
    return indexes;
}

std::vector<std::string> FilterChoices(const TQelListViewModel& model, size_t attributeIndex) {
    std::vector<std::string> choices{" "};
    std::unordered_set<std::string> seen{FoldCase(" ")};
    const TQelAttrib* attribute = AttributeAt(model, attributeIndex);
    if (attribute == nullptr) {
        return choices;
    }
    const THashKey key(attribute->Name);
    std::string scratch;
    for (const THashMapRef& row : model.Rows) {
        if (!row) {
            continue;
        }
        const std::string_view text = row->GetStringView(key, scratch);
        std::string value = text.empty() ? std::string(1, ' ') : std::string(text);
        if (seen.insert(FoldCase(value)).second) {
            choices.push_back(std::move(value));
        }
    }
    return choices;
}

TQelColumns BuildColumns(const TAQelAttrib& attributes) {
    TQelColumns columns;
    for (const TQelAttrib& attribute : attributes) {
        if (attribute.Visible) {
            columns.emplace_back(attribute);
        }
    }
    return columns;
}

int FindColumn(const TQelColumns& columns, std::string_view name) {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (SameText(columns[i].Name, name)) {
            return int(i);
        }
    }
    return -1;
}

int DefaultColumnWidth(int viewWidth, int columnCount) {
    return columnCount > 0 ? viewWidth / columnCount - 5 : 0;
}

int CompareCellTexts(std::string_view a, std::string_view b) {
    int32_t numberA = 0;
    int32_t numberB = 0;
    if (TryTextToInt32(a, numberA) && TryTextToInt32(b, numberB)) {
        return numberA < numberB ? -1 : (numberA > numberB ? 1 : 0);
    }
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int DefaultRowCompare(const TQelSortRequest& request, const TQelCompareRows& rows) {
    const int order = CompareCellTexts(rows.TextA, rows.TextB);
    return request.Descending ? -order : order;
}

std::vector<size_t> SortRowOrder(const TAHashMap& rows, const TQelSortRequest& request,
                                 const TQelRowCompare& compare) {
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t(0));
    if (request.Columns == nullptr || request.Column < 0 ||
        size_t(request.Column) >= request.Columns->size()) {
        return order;
    }
    // Each row's cell text is read once, not once per comparison.
    const THashKey& key = (*request.Columns)[size_t(request.Column)].Key;
    std::vector<std::string> texts(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i]) {
            texts[i] = rows[i]->GetString(key, "");
        }
    }
    static const THashMap noRow;
    const TQelRowCompare& comparison = compare ? compare : DefaultRowCompare;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const TQelCompareRows pair{rows[a] ? *rows[a] : noRow, rows[b] ? *rows[b] : noRow, texts[a],
                                   texts[b]};
        return comparison(request, pair) < 0;
    });
    return order;
}

} // namespace kanvio
