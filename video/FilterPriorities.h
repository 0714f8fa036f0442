#pragma once

// The stored decoder priorities: for each film format the registry key
// "FilterPriorities\MPEG1" (MPEG2, MPEG4) holds one value per decoder, name = friendly
// name, data = CLSID, in priority order. Loading orders the installed decoders by them.

#include "video/VideoTypes.h"

#include <string>
#include <vector>

namespace kanvio {

// Reorders installed in place: the entries found among saved (letter case ignored) in the
// saved order, then, when includeUnlisted, the others by their "999=index" sort key.
// Saved entries that are not installed are dropped.
void OrderByPriorities(std::vector<std::string>& installed, const std::vector<std::string>& saved,
                       bool includeUnlisted);

// The installed lists ordered by the three registry keys; a key that cannot be opened
// gives an empty list for its format.
// Saved entries that name no installed decoder (one removed from the system) and those
// beyond the 100th, which the two-digit order cannot place, are left out with a log line.
TFilterLists LoadFilterPriorities(const TFilterLists& installed, bool includeUnlisted);

// Writes the three keys anew, one value per entry in list order (name = the text before
// the first "=", data = the text after it). A format whose key cannot be deleted keeps
// its stored list.
void SaveFilterPriorities(const TFilterLists& lists);

} // namespace kanvio
