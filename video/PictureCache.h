#pragma once

// Observation pictures kept in the user's cache folder ($XDG_CACHE_HOME/kanvio/pictures,
// ~/.cache when unset), so a structure chosen again shows its pictures at once. A picture
// is found by its film (path, size and modification time, so that a film replaced under
// the same name is never answered from old pictures), its requested size and its time.
// The folder is kept under a size bound by removing the pictures used longest ago.
// Pictures are lossless PNG files, each written whole or not at all; any number of
// caches (threads, processes) may share the folder.

#include <QImage>
#include <QSize>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace kanvio {

struct TPictureKey {
    std::string Film;
    int64_t Ms = 0;
    QSize Size; // empty: the picture as decoded
};

class TPictureCache {
public:
    static constexpr uint64_t kDefaultMaxBytes = uint64_t{256} << 20;

    explicit TPictureCache(std::string folder = DefaultFolder(),
                           uint64_t maxBytes = kDefaultMaxBytes);

    static std::string DefaultFolder();

    // The stored picture; none when it was never stored, the film changed or is gone, or
    // the file cannot be read.
    std::optional<QImage> Find(const TPictureKey& key);
    // Keeps picture; a cache that cannot write (full disk, no rights) just keeps nothing.
    void Store(const TPictureKey& key, const QImage& picture);

    // The file that holds key's picture; empty when the film cannot be examined.
    std::string FileFor(const TPictureKey& key) const;
    const std::string& Folder() const { return folder_; }
    uint64_t MaxBytes() const { return maxBytes_; }
    // Bytes of pictures in the folder as last counted.
    uint64_t CountedBytes();

private:
    void Trim();
    uint64_t Recount();

    std::string folder_;
    uint64_t maxBytes_;
    std::mutex mutex_;
    std::optional<uint64_t> bytes_; // counted once, then kept up by Store
};

} // namespace kanvio
