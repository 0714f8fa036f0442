#include "video/FilterPriorities.h"

#include "foundation/AnsiText.h"
#include "foundation/Logging.h"
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

namespace {

const std::pair<const char*, TMovieFormat> kFormatKeys[] = {
    {"FilterPriorities\\MPEG1", TMovieFormat::MPEG1},
    {"FilterPriorities\\MPEG2", TMovieFormat::MPEG2},
    {"FilterPriorities\\MPEG4", TMovieFormat::MPEG4}};

// Positions are sorted by their two-digit text: from the 101st on they would mix.
constexpr size_t kOrderablePositions = 100;

// The saved entries that can take part in the order; the others are logged.
std::vector<std::string> UsableSavedEntries(const std::vector<std::string>& saved,
                                            const std::vector<std::string>& installed,
                                            const char* key) {
    for (size_t position = 0; position < saved.size(); ++position) {
        const std::string& entry = saved[position];
        if (position >= kOrderablePositions) {
            LogLine(std::string(key) + ": the entry \"" + entry + "\" at position " +
                        std::to_string(position + 1) + " is out of range and left out",
                    LOG_WARNING);
        } else if (std::none_of(installed.begin(), installed.end(),
                                [&](const std::string& d) { return SameText(d, entry); })) {
            LogLine(std::string(key) + ": the decoder \"" + entry +
                        "\" is not installed and left out",
                    LOG_WARNING);
        }
    }
    return {saved.begin(), saved.begin() + std::min(saved.size(), kOrderablePositions)};
}

} // namespace

TFilterLists LoadFilterPriorities(const TFilterLists& installed, bool includeUnlisted) {
    TFilterLists result;
    for (const auto& [key, format] : kFormatKeys) {
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
        OrderByPriorities(list, UsableSavedEntries(saved, list, key), includeUnlisted);
        *result.ListOf(format) = std::move(list);
    }
    return result;
}

void SaveFilterPriorities(const TFilterLists& lists) {
    for (const auto& [key, format] : kFormatKeys) {
        // Values keep their write order, which is the priority order: the key is written
        // anew so that no earlier entry stays in between. A key not there yet has nothing
        // to delete: its first list is saved too.
        const bool exists = OpenRegKey(key, false);
        CloseRegKey();
        if ((exists && !DeleteRegKey(key)) || !OpenRegKey(key, true)) {
            LogLine(std::string(key) + ": the key cannot be replaced; the stored list is kept",
                    LOG_WARNING);
            continue;
        }
        for (const std::string& entry : *lists.ListOf(format)) {
            const size_t equals = entry.find('=');
            const std::string name = entry.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : entry.substr(equals + 1);
            WriteRegString(key, name, value);
        }
        CloseRegKey();
    }
}

} // namespace kanvio
