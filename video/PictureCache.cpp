#include "video/PictureCache.h"

#include "foundation/AtomicFile.h"
#include "foundation/Errors.h"
#include "foundation/Logging.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace kanvio {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSuffix = ".png";

bool IsPictureFile(const fs::directory_entry& entry) {
    // Hidden files are the safe-write path's temporary files.
    const std::string name = entry.path().filename().string();
    return !name.starts_with(".") && name.ends_with(kSuffix);
}

} // namespace

TPictureCache::TPictureCache(std::string folder, uint64_t maxBytes)
    : folder_(std::move(folder)), maxBytes_(maxBytes) {}

std::string TPictureCache::DefaultFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    fs::path base;
    if (cache != nullptr && cache[0] == '/') {
        base = cache;
    } else {
        const char* home = std::getenv("HOME");
        base = fs::path(home != nullptr ? home : "/tmp") / ".cache";
    }
    return (base / "kanvio" / "pictures").string();
}

std::string TPictureCache::FileFor(const TPictureKey& key) const {
    std::error_code error;
    const fs::path film = fs::canonical(key.Film, error);
    if (error)
        return {};
    const auto size = fs::file_size(film, error);
    if (error)
        return {};
    const auto changed = fs::last_write_time(film, error);
    if (error)
        return {};
    const std::string identity = film.string() + '\n' + std::to_string(size) + '\n' +
                                 std::to_string(changed.time_since_epoch().count()) + '\n' +
                                 std::to_string(key.Size.width()) + 'x' +
                                 std::to_string(key.Size.height()) + '\n' + std::to_string(key.Ms);
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(identity), QCryptographicHash::Sha256)
            .toHex();
    return (fs::path(folder_) / (hash.toStdString() + kSuffix)).string();
}

std::optional<QImage> TPictureCache::Find(const TPictureKey& key) {
    const std::string file = FileFor(key);
    if (file.empty())
        return std::nullopt;
    QImage picture;
    if (!picture.load(QString::fromStdString(file), "PNG"))
        return std::nullopt;
    // Used again: the last to go when the folder is trimmed.
    std::error_code error;
    fs::last_write_time(file, fs::file_time_type::clock::now(), error);
    return picture;
}

void TPictureCache::Store(const TPictureKey& key, const QImage& picture) {
    const std::string file = FileFor(key);
    if (file.empty() || picture.isNull())
        return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return;
    try {
        std::error_code error;
        fs::create_directories(folder_, error);
        WriteFileAtomically(file, std::string_view(bytes.constData(), bytes.size()));
    } catch (const EKanvioError& error) {
        LogLine(std::string("Picture cache: ") + error.what(), LOG_WARNING);
        return;
    }
    std::lock_guard lock(mutex_);
    if (!bytes_)
        bytes_ = Recount();
    else
        *bytes_ += static_cast<uint64_t>(bytes.size());
    if (*bytes_ > maxBytes_)
        Trim();
}

uint64_t TPictureCache::CountedBytes() {
    std::lock_guard lock(mutex_);
    if (!bytes_)
        bytes_ = Recount();
    return *bytes_;
}

uint64_t TPictureCache::Recount() {
    uint64_t total = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        std::error_code sizeError;
        if (IsPictureFile(entry) && entry.is_regular_file(sizeError))
            total += entry.file_size(sizeError);
    }
    return total;
}

void TPictureCache::Trim() {
    struct TEntry {
        fs::path Path;
        fs::file_time_type Used;
        uint64_t Bytes;
    };
    std::vector<TEntry> entries;
    uint64_t total = 0;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        std::error_code entryError;
        if (!IsPictureFile(entry) || !entry.is_regular_file(entryError))
            continue;
        const uint64_t bytes = entry.file_size(entryError);
        const auto used = entry.last_write_time(entryError);
        if (entryError)
            continue; // removed by another cache meanwhile
        entries.push_back({entry.path(), used, bytes});
        total += bytes;
    }
    // Down to three quarters of the bound, so that not every new picture trims again.
    const uint64_t goal = maxBytes_ / 4 * 3;
    std::sort(entries.begin(), entries.end(),
              [](const TEntry& a, const TEntry& b) { return a.Used < b.Used; });
    for (const TEntry& entry : entries) {
        if (total <= goal)
            break;
        std::error_code removeError;
        if (fs::remove(entry.Path, removeError) || !removeError)
            total -= std::min(total, entry.Bytes);
    }
    bytes_ = total;
}

} // namespace kanvio
