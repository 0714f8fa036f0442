#include "core/StructureStartIndex.h"

#include "core/TimeText.h"

namespace kanvio {

bool FirstObservationTime(const TReachData& structure, int64_t& seconds) {
    return !structure.Details.empty() &&
           TryTimeTextToSeconds(structure.Details.front().VideoTime, seconds);
}

TStructureStartIndex::TStructureStartIndex(const TAReachData& structures) {
    for (size_t order = 0; order < structures.size(); ++order) {
        order_.emplace(structures[order].get(), order);
        Insert(order, structures[order].get());
    }
}

void TStructureStartIndex::Insert(size_t order, TReachData* structure) {
    int64_t first = 0;
    if (FirstObservationTime(*structure, first)) {
        const auto at = byTime_.emplace(first, TEntry{order, structure});
        entries_[structure] = at;
    }
}

TReachData* TStructureStartIndex::FirstWithin(int64_t start, int64_t stop) const {
    const TEntry* best = nullptr;
    for (auto at = byTime_.upper_bound(start); at != byTime_.end() && at->first < stop; ++at) {
        if (best == nullptr || at->second.Order < best->Order) {
            best = &at->second;
        }
    }
    return best != nullptr ? best->Structure : nullptr;
}

void TStructureStartIndex::Update(TReachData* structure) {
    const auto known = order_.find(structure);
    if (known == order_.end()) {
        return;
    }
    const auto entry = entries_.find(structure);
    int64_t first = 0;
    const bool readable = FirstObservationTime(*structure, first);
    if (entry != entries_.end()) {
        if (readable && entry->second->first == first) {
            return;
        }
        byTime_.erase(entry->second);
        entries_.erase(entry);
    }
    Insert(known->second, structure);
}

TStructureIdIndex::TStructureIdIndex(const TAReachData& structures) {
    byId_.reserve(structures.size());
    for (const auto& structure : structures) {
        if (structure) {
            byId_.emplace(structure->ID, structure.get());
        }
    }
}

TReachData* TStructureIdIndex::Find(const std::string& id) const {
    const auto found = byId_.find(id);
    return found != byId_.end() ? found->second : nullptr;
}

} // namespace kanvio
