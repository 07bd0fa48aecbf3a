#pragma once

#include <QJsonValue>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/AccessPointModel.h"

// How the fleet reader reads one JSON value, and how it reports what is wrong with one: every
// message names the value by its path in the document (`accessPoints[2].mac: ...`).
namespace apsim::fleet {

// The length byte of an element counts its 3 header bytes.
inline constexpr std::size_t kMaxElementValue = 252;

using Path = std::string;

// Sets `error` to the message for the value at `path`; returns false for the caller to return.
bool Fail(const Path& path, const std::string& message, std::string* error);
// The path of item `index` of the array at `path`: `accessPoints[2]`.
Path ItemPath(const Path& path, std::size_t index);
// A text from the document as a message shows it, in double quotes.
std::string Quoted(const QString& text);

bool ReadInteger(const QJsonValue& value, const Path& path, long long min, long long max,
                 long long* out, std::string* error);

template <typename T>
bool ReadNumber(const QJsonValue& value, const Path& path, long long min, long long max, T* out,
                std::string* error) {
    long long number = 0;
    if (!ReadInteger(value, path, min, max, &number, error)) {
        return false;
    }
    *out = static_cast<T>(number);
    return true;
}

bool ReadBool(const QJsonValue& value, const Path& path, bool* out, std::string* error);
// Texts travel as single bytes, so each character must be a Latin-1 code point; that also lets a
// fleet put any byte value into a name.
bool ReadText(const QJsonValue& value, const Path& path, std::string* out, std::string* error);
bool ReadHex(const QJsonValue& value, const Path& path, std::size_t maxBytes,
             std::vector<std::uint8_t>* out, std::string* error);
bool ReadMac(const QJsonValue& value, const Path& path, std::array<std::uint8_t, 6>* mac,
             std::string* error);
bool ReadAddressValue(const QJsonValue& value, const Path& path, std::uint32_t* address,
                      std::string* error);
bool ReadTextList(const QJsonValue& value, const Path& path, std::vector<std::string>* out,
                  std::string* error);
bool ReadExtraElements(const QJsonValue& value, const Path& path, std::vector<sim::RawElement>* out,
                       std::string* error);

}  // namespace apsim::fleet
