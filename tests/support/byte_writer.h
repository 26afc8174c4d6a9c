#pragma once
// Little-endian writes into byte buffers, for the tests that build picture
// files and records byte by byte.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace test_bytes {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}
inline void Add16(Bytes& b, std::uint32_t v) {
    b.resize(b.size() + 2);
    Put16(b, b.size() - 2, v);
}
inline void Add32(Bytes& b, std::uint32_t v) {
    b.resize(b.size() + 4);
    Put32(b, b.size() - 4, v);
}

}  // namespace test_bytes
