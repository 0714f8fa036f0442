#pragma once

// The decoder lists of the codec settings: the installed decoders ordered by the stored
// priorities, and the editing of one list (move up, move down, remove).

#include "video/VideoTypes.h"

#include <string>
#include <vector>

namespace kanvio {

// Receives edited decoder lists; the video window hands them to its engine.
class IDecoderListTarget {
public:
    virtual ~IDecoderListTarget() = default;
    virtual void SetPriorityLists(const TFilterLists& lists) = 0;
};

// The installed decoders of each format ordered by the stored priorities; with
// includeUnlisted the decoders without a stored place follow.
TFilterLists GetFilterLists(bool includeUnlisted);

bool AllListsEmpty(const TFilterLists& lists);

// The friendly name of an entry "name=CLSID": the text before the first "=".
std::string DecoderEntryName(const std::string& entry);

// Each returns the selected row afterwards (-1 for none). Moving the first entry up, the
// last one down, or with nothing selected, changes nothing. After a removal the first
// entry is selected when there is one.
int MoveEntryUp(std::vector<std::string>& list, int selected);
int MoveEntryDown(std::vector<std::string>& list, int selected);
int RemoveEntry(std::vector<std::string>& list, int selected);

} // namespace kanvio
