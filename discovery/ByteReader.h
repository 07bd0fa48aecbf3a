#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Reads bytes from the wire without ever going past the end it was given. Every fetch checks
// what remains and reports failure instead of reading further.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t length) noexcept
        : data_(data), length_(length) {}

    std::size_t position() const noexcept { return position_; }
    std::size_t remaining() const noexcept { return length_ - position_; }

    bool ReadU8(std::uint8_t* value) noexcept {
        if (remaining() < 1) {
            return false;
        }
        *value = data_[position_++];
        return true;
    }

    bool ReadU16Le(std::uint16_t* value) noexcept {
        if (remaining() < 2) {
            return false;
        }
        *value = static_cast<std::uint16_t>(data_[position_] | (data_[position_ + 1] << 8));
        position_ += 2;
        return true;
    }

    // Hands out a view of the next `count` bytes and moves past them.
    bool ReadSpan(std::size_t count, const std::uint8_t** span) noexcept {
        if (remaining() < count) {
            return false;
        }
        *span = data_ + position_;
        position_ += count;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t length_;
    std::size_t position_ = 0;
};
