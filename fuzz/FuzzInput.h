#pragma once

// The readers take the input as bytes, so nothing touches the disk while fuzzing.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kanvio::fuzz {

inline std::string_view Bytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace kanvio::fuzz
