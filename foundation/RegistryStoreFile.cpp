#include "foundation/RegistryStoreFile.h"

#include "foundation/AnsiText.h"
#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kanvio {
namespace {

enum class TextRole { GroupName, ValueName, ValueData };

void AppendHexEscape(std::string& out, unsigned char byte) {
    static const char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

// Backslash escapes for what would break a line or its meaning; the rest is stored as
// UTF-8 so that the file stays readable in an editor.
std::string Escape(std::string_view ansi, TextRole role) {
    std::string out;
    out.reserve(ansi.size());
    for (size_t i = 0; i < ansi.size(); ++i) {
        const auto byte = static_cast<unsigned char>(ansi[i]);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendHexEscape(out, byte);
        } else if (role == TextRole::ValueName && (byte == '=' || (i == 0 && byte == '['))) {
            AppendHexEscape(out, byte);
        } else if (byte >= 0x80) {
            out += AnsiToUtf8(ansi.substr(i, 1));
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Unescape(std::string_view stored) {
    std::string utf8;
    utf8.reserve(stored.size());
    // Escaped bytes are Windows-1252 already; collect the UTF-8 runs between them.
    std::string ansi;
    auto flush = [&] {
        ansi += Utf8ToAnsi(utf8);
        utf8.clear();
    };
    for (size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c != '\\' || i + 1 >= stored.size()) {
            utf8 += c;
            continue;
        }
        const char next = stored[i + 1];
        char plain = 0;
        switch (next) {
        case '\\':
            plain = '\\';
            break;
        case 'n':
            plain = '\n';
            break;
        case 'r':
            plain = '\r';
            break;
        case 't':
            plain = '\t';
            break;
        case 'x':
            if (i + 3 < stored.size() && HexValue(stored[i + 2]) >= 0 &&
                HexValue(stored[i + 3]) >= 0) {
                flush();
                ansi += static_cast<char>(HexValue(stored[i + 2]) * 16 + HexValue(stored[i + 3]));
                i += 3;
                continue;
            }
            break;
        default:
            break;
        }
        if (plain == 0) {
            utf8 += c; // not an escape: the backslash is a character of its own
            continue;
        }
        utf8 += plain;
        ++i;
    }
    flush();
    return ansi;
}

bool IsBelow(std::string_view group, std::string_view key) {
    return group.size() > key.size() && group[key.size()] == '/' &&
           SameText(group.substr(0, key.size()), key);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::geteuid());
        entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

// XDG variables count only when they hold an absolute path.
std::string AbsoluteOr(const char* value, std::string fallback) {
    if (value != nullptr && value[0] == '/') {
        return value;
    }
    return fallback;
}

// An advisory lock on the store's folder: two programs updating the store at the same time
// take turns, so neither writes over the other's change.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) {
            ::close(fd_); // releases the lock
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

} // namespace

std::string SerializeRegistryGroups(const TRegistryGroups& groups) {
    std::string text;
    for (const auto& group : groups) {
        text += "[" + Escape(group.Name, TextRole::GroupName) + "]\n";
        for (const auto& value : group.Values) {
            text += Escape(value.Name, TextRole::ValueName) + "=" +
                    Escape(value.Data, TextRole::ValueData) + "\n";
        }
        text += "\n";
    }
    return text;
}

TRegistryGroups ParseRegistryGroups(std::string_view text) {
    TRegistryGroups groups;
    TRegistryGroup* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            const std::string name = Unescape(line.substr(1, line.size() - 2));
            current = FindRegistryGroup(groups, name);
            if (current == nullptr) {
                groups.push_back(TRegistryGroup{name, {}});
                current = &groups.back();
            }
            continue;
        }
        const auto equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) {
            continue; // foreign lines of a hand-edited file carry no value
        }
        const std::string name = Unescape(line.substr(0, equals));
        auto& values = current->Values;
        const bool known = std::any_of(values.begin(), values.end(), [&](const TRegistryValue& v) {
            return SameText(v.Name, name);
        });
        if (!known) {
            values.push_back(TRegistryValue{name, Unescape(line.substr(equals + 1))});
        }
    }
    return groups;
}

TRegistryGroup* FindRegistryGroup(TRegistryGroups& groups, std::string_view name) {
    auto it = std::find_if(groups.begin(), groups.end(),
                           [&](const TRegistryGroup& g) { return SameText(g.Name, name); });
    return it == groups.end() ? nullptr : &*it;
}

const TRegistryGroup* FindRegistryGroup(const TRegistryGroups& groups, std::string_view name) {
    return FindRegistryGroup(const_cast<TRegistryGroups&>(groups), name);
}

bool RegistryKeyExists(const TRegistryGroups& groups, std::string_view name) {
    return std::any_of(groups.begin(), groups.end(), [&](const TRegistryGroup& g) {
        return SameText(g.Name, name) || IsBelow(g.Name, name);
    });
}

bool RemoveRegistryKey(TRegistryGroups& groups, std::string_view name) {
    const auto removed = std::erase_if(groups, [&](const TRegistryGroup& g) {
        return SameText(g.Name, name) || IsBelow(g.Name, name);
    });
    return removed > 0;
}

bool SetRegistryValue(TRegistryGroups& groups, std::string_view group, std::string_view name,
                      std::string_view data) {
    TRegistryGroup* target = FindRegistryGroup(groups, group);
    if (target == nullptr) {
        groups.push_back(TRegistryGroup{std::string(group), {}});
        target = &groups.back();
    }
    for (auto& value : target->Values) {
        if (SameText(value.Name, name)) {
            if (value.Data == data) {
                return false;
            }
            value.Data = std::string(data);
            return true;
        }
    }
    target->Values.push_back(TRegistryValue{std::string(name), std::string(data)});
    return true;
}

TRegistryStoreFile::Stamp TRegistryStoreFile::CurrentStamp() const {
    Stamp stamp;
    struct stat info {};
    if (::stat(fileName_.c_str(), &info) == 0) {
        stamp.exists = true;
        stamp.device = info.st_dev;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modifiedNs =
            static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }
    return stamp;
}

const TRegistryGroups& TRegistryStoreFile::Current() {
    const Stamp stamp = CurrentStamp();
    if (!cacheStamp_ || !(*cacheStamp_ == stamp)) {
        try {
            cache_ = ReadFresh();
        } catch (const EInOutError&) {
            cache_.clear(); // a store that cannot be read answers with defaults
        }
        cacheStamp_ = stamp;
    }
    return cache_;
}

std::optional<std::string> TRegistryStoreFile::ReadValue(std::string_view group,
                                                         std::string_view name) {
    const TRegistryGroup* found = FindRegistryGroup(Current(), group);
    if (found == nullptr) {
        return std::nullopt;
    }
    for (const auto& value : found->Values) {
        if (SameText(value.Name, name)) {
            return value.Data;
        }
    }
    return std::nullopt;
}

bool TRegistryStoreFile::Update(const std::function<bool(TRegistryGroups&)>& change) {
    const std::string folder = std::filesystem::path(fileName_).parent_path().string();
    FolderLock lock(folder); // a folder that does not exist yet has no rival writer
    TRegistryGroups groups = ReadFresh();
    if (!change(groups)) {
        return false;
    }
    WriteGroups(groups);
    return true;
}

TRegistryGroups TRegistryStoreFile::ReadFresh() {
    std::string bytes;
    if (!ReadWholeFile(fileName_, bytes)) {
        return {};
    }
    return ParseRegistryGroups(bytes);
}

void TRegistryStoreFile::WriteGroups(TRegistryGroups& groups) {
    const std::filesystem::path folder = std::filesystem::path(fileName_).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw EInOutError(fileName_,
                          "cannot create the folder " + folder.string() + ": " + error.message());
    }
    WriteFileAtomically(fileName_, SerializeRegistryGroups(groups));
    cache_ = std::move(groups);
    cacheStamp_ = CurrentStamp();
}

std::string UserRegistryStoreFile() {
    return AbsoluteOr(std::getenv("XDG_CONFIG_HOME"), HomeFolder() + "/.config") +
           "/Orbelin/Kanvio.conf";
}

std::string MachineRegistryStoreFile() {
    std::string first;
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS")) {
        std::string_view list(dirs);
        while (!list.empty()) {
            const auto colon = list.find(':');
            std::string_view entry = list.substr(0, colon);
            if (!entry.empty() && entry.front() == '/') {
                first = std::string(entry);
                break;
            }
            if (colon == std::string_view::npos) {
                break;
            }
            list.remove_prefix(colon + 1);
        }
    }
    if (first.empty()) {
        first = "/etc/xdg";
    }
    while (first.size() > 1 && first.back() == '/') {
        first.pop_back();
    }
    return first + "/Orbelin/Kanvio.conf";
}

} // namespace kanvio
