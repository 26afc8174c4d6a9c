#pragma once
// Bounds-checked reading of little- and big-endian integers from file bytes
// that may be hostile: every read names its offset, and a read past the end
// yields nothing (Get*) or the fallback 0 (U*) instead of touching memory
// outside the buffer. Offsets are 64-bit so that offset + length never wraps.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace orvane {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

    // True when `length` bytes from `offset` lie inside the buffer.
    bool Has(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    // The bytes from `offset` on, `length` of them; an empty reader when
    // they are not all inside.
    ByteReader Sub(std::uint64_t offset, std::uint64_t length) const {
        if (!Has(offset, length)) return {};
        return ByteReader(data_ + offset, static_cast<std::size_t>(length));
    }

    std::optional<std::uint8_t> Get8(std::uint64_t at) const {
        if (!Has(at, 1)) return std::nullopt;
        return data_[at];
    }
    std::optional<std::uint16_t> Get16LE(std::uint64_t at) const {
        if (!Has(at, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(data_[at] | (data_[at + 1] << 8));
    }
    std::optional<std::uint32_t> Get32LE(std::uint64_t at) const {
        if (!Has(at, 4)) return std::nullopt;
        return static_cast<std::uint32_t>(data_[at]) | (static_cast<std::uint32_t>(data_[at + 1]) << 8) |
               (static_cast<std::uint32_t>(data_[at + 2]) << 16) | (static_cast<std::uint32_t>(data_[at + 3]) << 24);
    }
    std::optional<std::uint16_t> Get16BE(std::uint64_t at) const {
        if (!Has(at, 2)) return std::nullopt;
        return static_cast<std::uint16_t>((data_[at] << 8) | data_[at + 1]);
    }
    std::optional<std::uint32_t> Get32BE(std::uint64_t at) const {
        if (!Has(at, 4)) return std::nullopt;
        return (static_cast<std::uint32_t>(data_[at]) << 24) | (static_cast<std::uint32_t>(data_[at + 1]) << 16) |
               (static_cast<std::uint32_t>(data_[at + 2]) << 8) | static_cast<std::uint32_t>(data_[at + 3]);
    }

    // The same reads with 0 for bytes that are not there, for record checks
    // that test the size first and read several fields after.
    std::uint8_t U8(std::uint64_t at) const { return Get8(at).value_or(0); }
    std::uint16_t U16(std::uint64_t at) const { return Get16LE(at).value_or(0); }
    std::uint32_t U32(std::uint64_t at) const { return Get32LE(at).value_or(0); }
    std::int16_t S16(std::uint64_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::int32_t S32(std::uint64_t at) const { return static_cast<std::int32_t>(U32(at)); }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace orvane
