#include "foundation/DeliveryFolder.h"

#include "foundation/KanvioToolkit.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>

namespace kanvio {
namespace {

std::mutex projectFolderLock;
std::string chosenProjectFolder;

std::string WithTrailingSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

std::string GetProjectFolder() {
    {
        std::lock_guard guard(projectFolderLock);
        if (!chosenProjectFolder.empty()) {
            return chosenProjectFolder;
        }
    }
    return GetProgramFolder();
}

bool HasChosenProjectFolder() {
    std::lock_guard guard(projectFolderLock);
    return !chosenProjectFolder.empty();
}

void SetProjectFolder(std::string folder) {
    if (!folder.empty()) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(folder, error);
        if (!error) {
            folder = absolute.lexically_normal().string();
        }
        folder = WithTrailingSlash(std::move(folder));
    }
    std::lock_guard guard(projectFolderLock);
    chosenProjectFolder = std::move(folder);
}

std::string ProjectSettingsFolder() {
    return HasChosenProjectFolder() ? GetProjectFolder() : "./";
}

std::string InProjectFolder(const std::string& path) {
    if (path.empty() || path.front() == '/' || !HasChosenProjectFolder()) {
        return path;
    }
    return GetProjectFolder() + path;
}

const std::vector<std::string>& DeliveryMarkerFiles() {
    static const std::vector<std::string> names = {"Kanvio.ini", "Quorvi.ini", "Kanvio.dat"};
    return names;
}

std::string CheckDeliveryFolder(const std::string& folder) {
    if (folder.empty()) {
        return "no delivery folder given";
    }
    if (!IsFolder(folder)) {
        return folder + ": no such folder";
    }
    const std::string base = WithTrailingSlash(folder);
    std::string wanted;
    for (const std::string& name : DeliveryMarkerFiles()) {
        if (FileExists(FindFileIgnoringCase(base + name))) {
            return {};
        }
        wanted += (wanted.empty() ? "" : ", ") + name;
    }
    return folder + ": no delivery in this folder (looked for " + wanted + ")";
}

std::string LanguageOfLocale(const std::string& localeName) {
    // "de", "de_DE", "de_CH.UTF-8", "de@euro": the language is what comes before the rest.
    const std::string language = localeName.substr(0, localeName.find_first_of("_.@"));
    return language == "de" ? "de" : "en";
}

std::string UserLanguage() {
    // The first one set decides, as for the C library's messages.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string value = Environment(name);
        if (!value.empty()) {
            return LanguageOfLocale(value);
        }
    }
    return "en";
}

std::string DefaultLanguage() {
    return HasChosenProjectFolder() ? UserLanguage() : "de";
}

TProjectOption TakeProjectOption(std::vector<std::string>& arguments) {
    TProjectOption result;
    const std::string option = "--project";
    for (size_t i = 0; i < arguments.size();) {
        std::optional<std::string> folder;
        size_t taken = 0;
        if (arguments[i] == option) {
            taken = i + 1 < arguments.size() ? 2 : 1;
            if (taken == 2) {
                folder = arguments[i + 1];
            }
        } else if (arguments[i].rfind(option + "=", 0) == 0) {
            taken = 1;
            folder = arguments[i].substr(option.size() + 1);
        }
        if (taken == 0) {
            ++i;
            continue;
        }
        arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                        arguments.begin() + static_cast<std::ptrdiff_t>(i + taken));
        if (!folder || folder->empty()) {
            result.Error = "--project needs a folder";
        } else if (result.Folder) {
            result.Error = "--project given more than once";
        } else {
            result.Folder = std::move(folder);
        }
    }
    return result;
}

} // namespace kanvio
