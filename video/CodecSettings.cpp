#include "video/CodecSettings.h"

#include "video/DecoderCatalog.h"
#include "video/FilterPriorities.h"

#include <utility>

namespace kanvio {

namespace {

bool IsRow(const std::vector<std::string>& list, int row) {
    return row >= 0 && static_cast<size_t>(row) < list.size();
}

} // namespace

TFilterLists GetFilterLists(bool includeUnlisted) {
    return LoadFilterPriorities(EnumerateDecoderLists(), includeUnlisted);
}

bool AllListsEmpty(const TFilterLists& lists) {
    return lists.MPEG1.empty() && lists.MPEG2.empty() && lists.MPEG4.empty();
}

std::string DecoderEntryName(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

int MoveEntryUp(std::vector<std::string>& list, int selected) {
    if (!IsRow(list, selected)) {
        return -1;
    }
    if (selected == 0) {
        return selected;
    }
    std::swap(list[size_t(selected)], list[size_t(selected - 1)]);
    return selected - 1;
}

int MoveEntryDown(std::vector<std::string>& list, int selected) {
    if (!IsRow(list, selected)) {
        return -1;
    }
    if (static_cast<size_t>(selected) + 1 == list.size()) {
        return selected;
    }
    std::swap(list[size_t(selected)], list[size_t(selected + 1)]);
    return selected + 1;
}

int RemoveEntry(std::vector<std::string>& list, int selected) {
    if (!IsRow(list, selected)) {
        return -1;
    }
    list.erase(list.begin() + selected);
    return list.empty() ? -1 : 0;
}

} // namespace kanvio
