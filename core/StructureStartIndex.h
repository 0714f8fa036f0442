#pragma once

// The structures of one list (reaches or connections) by the film time of their first
// observation, for the film list entries that name no structure: such a film belongs to
// the first structure of the list whose first observation lies strictly inside the
// film's part. A large delivery has as many film parts as structures; looking each part
// up here instead of walking the whole list keeps the start linear in practice.

#include "core/KanvioDataModel.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

namespace kanvio {

class TStructureStartIndex {
public:
    explicit TStructureStartIndex(const TAReachData& structures);

    // The first structure in list order whose first observation time t has
    // start < t < stop; nullptr when there is none.
    TReachData* FirstWithin(int64_t start, int64_t stop) const;

    // Takes a structure's first observation time anew after its times were changed;
    // structures of other lists are left alone.
    void Update(TReachData* structure);

private:
    struct TEntry {
        size_t Order;
        TReachData* Structure;
    };
    using TByTime = std::multimap<int64_t, TEntry>;

    void Insert(size_t order, TReachData* structure);

    TByTime byTime_;
    // Where each structure with a readable first time stands in byTime_.
    std::unordered_map<const TReachData*, TByTime::iterator> entries_;
    // The list order of every structure.
    std::unordered_map<const TReachData*, size_t> order_;
};

// The structures of one list by ID, for the film list entries that name their structure by
// type word and ID: the first structure in list order with the ID, as a walk of the list
// finds it.
class TStructureIdIndex {
public:
    explicit TStructureIdIndex(const TAReachData& structures);

    // nullptr when no structure of the list has the ID.
    TReachData* Find(const std::string& id) const;

private:
    std::unordered_map<std::string, TReachData*> byId_;
};

// The film time of a structure's first observation; false when it has none or its time
// is no hh:mm:ss text.
bool FirstObservationTime(const TReachData& structure, int64_t& seconds);

} // namespace kanvio
