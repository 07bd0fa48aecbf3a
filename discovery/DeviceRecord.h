#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

// An unsigned 16-bit field stored least significant byte first, readable and writable as a
// number. Byte-aligned, so records pack to their wire widths with no misaligned access.
class LittleEndian16 {
public:
    LittleEndian16() noexcept = default;
    constexpr LittleEndian16(std::uint16_t value) noexcept  // NOLINT(google-explicit-constructor)
        : bytes_{static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)} {}
    constexpr operator std::uint16_t() const noexcept {  // NOLINT(google-explicit-constructor)
        return static_cast<std::uint16_t>(bytes_[0] | (bytes_[1] << 8));
    }

private:
    std::uint8_t bytes_[2];
};
static_assert(sizeof(LittleEndian16) == 2 && alignof(LittleEndian16) == 1);
static_assert(std::is_trivial_v<LittleEndian16>, "records are copied and cleared as bytes");

// One access point as discovery found it. Every field has a fixed width; texts are single-byte
// and zero-terminated inside their field, exactly as the access point sent them. Records are
// plain bytes and always move between tables as whole-record copies.
struct DeviceRecord {
    char name[16];
    char macText[13];
    char ipAddress[20];
    char localAddress[20];
    char description[65];
    char ssidBg[33];
    LittleEndian16 channelBg;
    char ssidA[33];
    LittleEndian16 channelA;
    LittleEndian16 wirelessMode;
    char firmwareVersion[5];
};
static_assert(sizeof(DeviceRecord) == 211, "a device record is 211 bytes");
static_assert(alignof(DeviceRecord) == 1);
static_assert(std::is_trivial_v<DeviceRecord>, "records are copied and cleared as bytes");

inline constexpr int kDeviceTableCapacity = 384;

struct DeviceTable {
    DeviceRecord records[kDeviceTableCapacity];
};
static_assert(sizeof(DeviceTable) == 81024, "a device table is 384 records");

// The wireless-mode bit of the 802.11a band (1 is 802.11b, 2 is 802.11g), and on its own the
// mode of an access point with that band alone.
inline constexpr std::uint16_t kMode80211a = 4;

struct DeviceTableDeleter {
    void operator()(DeviceTable* table) const noexcept;
};
using DeviceTablePtr = std::unique_ptr<DeviceTable, DeviceTableDeleter>;

// A zero-filled table in one block, or null when the memory cannot be had.
DeviceTablePtr AllocateDeviceTable() noexcept;

// Lets a test make the next allocations fail. The hook returns a zero-filled block of the given
// size or null; passing null restores the default allocator.
using DeviceTableAllocator = void* (*)(std::size_t bytes);
void SetDeviceTableAllocator(DeviceTableAllocator allocator) noexcept;

// Lets a test see every release of a table. The hook must free the block as the default does
// (std::free); passing null restores the default.
using DeviceTableReleaser = void (*)(void* block);
void SetDeviceTableReleaser(DeviceTableReleaser releaser) noexcept;

// The text in a fixed-width field: up to its first zero byte, never past the field's width.
template <std::size_t N>
std::size_t FieldTextLength(const char (&field)[N]) noexcept {
    std::size_t length = 0;
    while (length < N && field[length] != '\0') {
        ++length;
    }
    return length;
}

// The main list's and the detail view's name for a wireless-mode code; empty above 7.
const char* WirelessModeText(std::uint16_t wirelessMode) noexcept;

// True when the 802.11a fields of a record with this mode carry meaning: every mode from
// 802.11a alone upwards.
inline bool HasBandA(std::uint16_t wirelessMode) noexcept {
    return wirelessMode >= kMode80211a;
}
// True when the 802.11b/g fields of a record with this mode carry meaning: all but 802.11a alone.
inline bool HasBandBg(std::uint16_t wirelessMode) noexcept {
    return wirelessMode != kMode80211a;
}

// Two MAC texts name the same access point when their bytes agree up to and including the first
// zero byte, comparing at most the field's 13 bytes. Two empty texts are the same.
bool SameMacText(const DeviceRecord& a, const DeviceRecord& b) noexcept;
