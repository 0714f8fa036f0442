// The heap in large pages: allocations keep working and keep their bytes, and where the
// call says it worked the system really marked the heap for large pages.

#include "foundation/HeapPages.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace kanvio {
namespace {

// Whether a mapping of /proc/self/smaps named name carries the large-page advice ("hg").
bool MappingAdvisedForLargePages(const std::string& name) {
    std::ifstream maps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(maps, line)) {
        const bool header =
            !line.empty() && line.find(':') != std::string::npos && line.find('-') < line.find(' ');
        if (header && line.find_first_of("0123456789abcdef") == 0) {
            inside = line.size() >= name.size() &&
                     line.compare(line.size() - name.size(), name.size(), name) == 0;
        } else if (inside && line.rfind("VmFlags:", 0) == 0 &&
                   line.find(" hg") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Large pages on request: the system offers them unless switched off, and the allocator is
// the C library's unless a sanitizer brought its own.
bool LargePagesOffered() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(setting, modes);
    return !modes.empty() && modes.find("[never]") == std::string::npos;
#endif
}

TEST(HeapPagesTest, AllocationsKeepTheirBytesAndTheHeapIsMarkedWhenItWorked) {
    const bool arranged = UseLargePagesForHeap(size_t(64) << 20);
    EXPECT_EQ(arranged, LargePagesOffered());
    if (arranged) {
        EXPECT_TRUE(MappingAdvisedForLargePages("[heap]"));
    }
    // A second call changes nothing that matters.
    UseLargePagesForHeap(size_t(64) << 20);

    // Small, large and larger than the heap's limit, each filled and checked.
    std::vector<std::unique_ptr<char[]>> blocks;
    const std::vector<size_t> sizes = {
        1, 24, 4096, size_t(1) << 20, size_t(31) << 20, size_t(40) << 20};
    for (size_t i = 0; i < sizes.size(); ++i) {
        blocks.emplace_back(new char[sizes[i]]);
        std::memset(blocks.back().get(), static_cast<int>('a' + i), sizes[i]);
    }
    for (size_t i = 0; i < sizes.size(); ++i) {
        const char* block = blocks[i].get();
        EXPECT_EQ(block[0], static_cast<char>('a' + i));
        EXPECT_EQ(block[sizes[i] - 1], static_cast<char>('a' + i));
    }
    std::vector<std::string> many(100000, std::string(40, 'x'));
    EXPECT_EQ(many.back(), std::string(40, 'x'));
}

} // namespace
} // namespace kanvio
