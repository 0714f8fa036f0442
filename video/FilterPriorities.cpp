#include "video/FilterPriorities.h"

#include "foundation/AnsiText.h"
#include "foundation/RegistryManager.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace kanvio {

void OrderByPriorities(std::vector<std::string>& installed, const std::vector<std::string>& saved,
                       bool includeUnlisted) {
    std::vector<std::pair<std::string, size_t>> keys;
    for (size_t i = 0; i < installed.size(); ++i) {
        const auto found = std::find_if(saved.begin(), saved.end(), [&](const std::string& entry) {
            return SameText(entry, installed[i]);
        });
        if (found != saved.end()) {
            char position[24];
            std::snprintf(position, sizeof position, "%.2d",
                          static_cast<int>(found - saved.begin()));
            keys.emplace_back(std::string(position) + "=" + std::to_string(i), i);
        } else if (includeUnlisted) {
            keys.emplace_back("999=" + std::to_string(i), i);
        }
    }
    // Keys sort as text, as the stored lists always have: "999=10" comes before "999=2".
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return CompareText(a.first, b.first) < 0;
    });
    std::vector<std::string> ordered;
    ordered.reserve(keys.size());
    for (const auto& key : keys) {
        ordered.push_back(installed[key.second]);
    }
    installed = std::move(ordered);
}

TFilterLists LoadFilterPriorities(const TFilterLists& installed, bool includeUnlisted) {
    TFilterLists result;
    const std::pair<const char*, TMovieFormat> formats[] = {
        {"FilterPriorities\\MPEG1", TMovieFormat::MPEG1},
        {"FilterPriorities\\MPEG2", TMovieFormat::MPEG2},
        {"FilterPriorities\\MPEG4", TMovieFormat::MPEG4}};
    for (const auto& [key, format] : formats) {
        if (!OpenRegKey(key, true)) {
            continue;
        }
        std::vector<std::string> names;
        ReadOpenKeyValueNames(names);
        std::vector<std::string> saved;
        for (const std::string& name : names) {
            saved.push_back(name + "=" + ReadOpenKeyString(name));
        }
        CloseRegKey();
        std::vector<std::string> list = *installed.ListOf(format);
        OrderByPriorities(list, saved, includeUnlisted);
        *result.ListOf(format) = std::move(list);
    }
    return result;
}

} // namespace kanvio
