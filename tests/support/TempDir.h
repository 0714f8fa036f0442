#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kanvio::test {

// A folder under the system's temporary folder, removed with everything in it when the
// object goes out of scope.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "kanvio-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as a text ending with "/", the way the program passes folders around.
    std::string folder() const;
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes bytes exactly as given (no newline conversion) and returns the path.
std::filesystem::path WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

} // namespace kanvio::test

namespace kanvio::test {

// Makes folder the working directory for the object's lifetime.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~ScopedCurrentDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

} // namespace kanvio::test
