#include "foundation/AnsiText.h"
#include "foundation/KanvioToolkit.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <vector>

namespace kanvio {
namespace {

// File system magic numbers of statfs.
constexpr unsigned long kIso9660Magic = 0x9660;
constexpr unsigned long kUdfMagic = 0x15013346;
constexpr unsigned long kNfsMagic = 0x6969;
constexpr unsigned long kSmbMagic = 0x517B;
constexpr unsigned long kCifsMagic = 0xFF534D42;
constexpr unsigned long kSmb2Magic = 0xFE534D42;
constexpr unsigned long kFuseMagic = 0x65735546;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool NamesMatch(const std::string& onDisk, const std::string& wanted) {
    if (SameText(onDisk, wanted)) {
        return true;
    }
    // Names from project data are Windows-1252; names on disk are UTF-8.
    return QString::fromUtf8(onDisk.data(), static_cast<qsizetype>(onDisk.size()))
               .compare(AnsiToQString(wanted), Qt::CaseInsensitive) == 0;
}

// The entry of folder whose name matches wanted without regard to case; the first in
// name order when several do, so the answer does not depend on the directory order.
std::string MatchInFolder(const std::string& folder, const std::string& wanted) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    std::vector<std::string> matches;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && NamesMatch(name, wanted)) {
            matches.push_back(name);
        }
    }
    ::closedir(dir);
    if (matches.empty()) {
        return {};
    }
    return *std::min_element(matches.begin(), matches.end());
}

unsigned long FileSystemType(const std::string& path) {
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0) {
        return 0;
    }
    return static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFUL;
}

// The file system type that /proc/self/mountinfo gives the mount holding path, such as
// "fuse.sshfs"; empty when unknown.
std::string MountType(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) {
        return {};
    }
    const std::string target = resolved;
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    std::string bestType;
    size_t bestLength = 0;
    while (std::getline(mounts, line)) {
        // id parent major:minor root mountpoint options [optional...] - type source ...
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        fields >> id >> parent >> device >> root >> mountPoint;
        std::string field;
        while (fields >> field && field != "-") {
        }
        std::string type;
        fields >> type;
        const bool contains = target == mountPoint ||
                              (mountPoint == "/" ? true : target.rfind(mountPoint + "/", 0) == 0);
        if (contains && mountPoint.size() >= bestLength) {
            bestLength = mountPoint.size();
            bestType = type;
        }
    }
    return bestType;
}

} // namespace

std::string ToNativeSeparators(std::string_view path) {
    std::string result(path);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

std::string ExtractFileName(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string ExtractFileDir(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    if (separator == std::string_view::npos) {
        return {};
    }
    if (separator == 0) {
        return std::string(path.substr(0, 1)); // the root keeps its separator
    }
    return std::string(path.substr(0, separator));
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string FindFileIgnoringCase(const std::string& path) {
    const std::string native = ToNativeSeparators(path);
    if (native.empty() || Exists(native)) {
        return native.empty() ? path : native;
    }
    std::string found = native.front() == '/' ? "/" : "";
    size_t pos = native.front() == '/' ? 1 : 0;
    while (pos <= native.size()) {
        auto end = native.find('/', pos);
        if (end == std::string::npos) {
            end = native.size();
        }
        const std::string component = native.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty() || component == ".") {
            continue;
        }
        std::string candidate = found + component;
        if (component != ".." && !Exists(candidate)) {
            const std::string match = MatchInFolder(found, component);
            if (match.empty()) {
                return path;
            }
            candidate = found + match;
        }
        found = candidate;
        if (end < native.size()) {
            found += '/';
        }
    }
    return found;
}

bool IsOnOpticalDisc(const std::string& path) {
    const unsigned long type = FileSystemType(path);
    return type == kIso9660Magic || type == kUdfMagic;
}

bool IsOnNetworkDrive(const std::string& path) {
    const unsigned long type = FileSystemType(path);
    if (type == kNfsMagic || type == kSmbMagic || type == kCifsMagic || type == kSmb2Magic) {
        return true;
    }
    if (type != kFuseMagic) {
        return false;
    }
    // FUSE serves local file systems too (NTFS disks, archives); only the kinds below reach
    // another machine.
    static const char* const networkKinds[] = {"sshfs", "rclone",    "s3fs",     "gcsfuse",
                                               "davfs", "curlftpfs", "smbnetfs", "glusterfs",
                                               "afpfs", "cephfs",    "ftpfs"};
    std::string kind = MountType(path);
    if (kind.rfind("fuse.", 0) == 0) {
        kind.erase(0, 5);
    }
    return std::any_of(std::begin(networkKinds), std::end(networkKinds),
                       [&](const char* network) { return kind == network; });
}

} // namespace kanvio
