#include "core/RecentDeliveries.h"

#include "foundation/RegistryManager.h"

#include <algorithm>
#include <filesystem>

namespace kanvio {
namespace {

constexpr const char* kSection = "RecentDeliveries";

std::string NormalFolderName(const std::string& folder) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(folder, error);
    if (error) {
        path = folder;
    }
    std::string name = path.lexically_normal().string();
    while (name.size() > 1 && name.back() == '/') {
        name.pop_back();
    }
    return name;
}

} // namespace

std::vector<std::string> WithDeliveryFirst(std::vector<std::string> list, const std::string& folder,
                                           size_t limit) {
    std::vector<std::string> result;
    if (!folder.empty()) {
        result.push_back(NormalFolderName(folder));
    }
    for (const std::string& entry : list) {
        if (entry.empty()) {
            continue;
        }
        const std::string name = NormalFolderName(entry);
        if (std::find(result.begin(), result.end(), name) == result.end()) {
            result.push_back(name);
        }
    }
    if (result.size() > limit) {
        result.resize(limit);
    }
    return result;
}

std::vector<std::string> ReadRecentDeliveries() {
    std::vector<std::string> list;
    for (size_t i = 1; i <= kRecentDeliveryCount; ++i) {
        list.push_back(ReadRegString(kSection, std::to_string(i), ""));
    }
    // Entries edited by hand may repeat or leave gaps; the menu shows each folder once.
    return WithDeliveryFirst(std::move(list), {});
}

void RememberDelivery(const std::string& folder) {
    const std::vector<std::string> list = WithDeliveryFirst(ReadRecentDeliveries(), folder);
    for (size_t i = 0; i < kRecentDeliveryCount; ++i) {
        WriteRegString(kSection, std::to_string(i + 1), i < list.size() ? list[i] : "");
    }
}

} // namespace kanvio
