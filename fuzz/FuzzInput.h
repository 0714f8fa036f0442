#pragma once

// The readers take file names: each input is written to a file of this process's own
// temporary folder first.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace kanvio::fuzz {

inline const std::filesystem::path& InputFolder() {
    static const std::filesystem::path folder = [] {
        auto path =
            std::filesystem::temp_directory_path() / ("kanvio-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

inline std::string WriteInput(const char* name, const uint8_t* data, size_t size) {
    const auto path = InputFolder() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path.string();
}

} // namespace kanvio::fuzz
