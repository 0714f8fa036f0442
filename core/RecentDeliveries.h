#pragma once

// The deliveries the user opened last, newest first, kept in the user's settings.

#include <string>
#include <vector>

namespace kanvio {

constexpr size_t kRecentDeliveryCount = 5;

// The list with folder first, each folder once, at most limit entries; folder names
// compare after they are made absolute and lose a trailing "/".
std::vector<std::string> WithDeliveryFirst(std::vector<std::string> list, const std::string& folder,
                                           size_t limit = kRecentDeliveryCount);

std::vector<std::string> ReadRecentDeliveries();
// Puts folder first in the stored list. Throws ERegistryError when it cannot be stored.
void RememberDelivery(const std::string& folder);

} // namespace kanvio
