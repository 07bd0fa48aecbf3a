#include "tools/apsim/FleetValues.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <set>

#include "tools/apsim/FleetFile.h"

namespace apsim::fleet {

bool Fail(const Path& path, const std::string& message, std::string* error) {
    *error = path + ": " + message;
    return false;
}

Path ItemPath(const Path& path, std::size_t index) {
    // Appended piece by piece, as Quoted builds its text.
    Path item = path;
    item.push_back('[');
    item.append(std::to_string(index));
    item.push_back(']');
    return item;
}

std::string Quoted(const QString& text) {
    // Built in place: GCC 12 takes a chain of + on temporaries for overlapping copies at -O3.
    std::string quoted = text.toStdString();
    quoted.insert(quoted.begin(), '"');
    quoted.push_back('"');
    return quoted;
}

bool ReadInteger(const QJsonValue& value, const Path& path, long long min, long long max,
                 long long* out, std::string* error) {
    const double number = value.toDouble();
    if (!value.isDouble() || std::floor(number) != number || number < static_cast<double>(min) ||
        number > static_cast<double>(max)) {
        return Fail(
            path,
            "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max),
            error);
    }
    *out = static_cast<long long>(number);
    return true;
}

bool ReadBool(const QJsonValue& value, const Path& path, bool* out, std::string* error) {
    if (!value.isBool()) {
        return Fail(path, "expected true or false", error);
    }
    *out = value.toBool();
    return true;
}

bool ReadText(const QJsonValue& value, const Path& path, std::string* out, std::string* error) {
    if (!value.isString()) {
        return Fail(path, "expected a text", error);
    }
    const QString text = value.toString();
    std::string bytes;
    for (const QChar character : text) {
        if (character.unicode() > 0xFF) {
            return Fail(path,
                        "character U+" +
                            QString::number(character.unicode(), 16)
                                .toUpper()
                                .rightJustified(4, '0')
                                .toStdString() +
                            " is not a single byte (Latin-1)",
                        error);
        }
        bytes.push_back(static_cast<char>(character.unicode()));
    }
    if (bytes.size() > kMaxElementValue) {
        return Fail(path,
                    "longer than " + std::to_string(kMaxElementValue) +
                        " bytes, the most one element can carry",
                    error);
    }
    *out = std::move(bytes);
    return true;
}

namespace {

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

// Hexadecimal bytes; spaces between them are allowed for readability.

}  // namespace

bool ReadHex(const QJsonValue& value, const Path& path, std::size_t maxBytes,
             std::vector<std::uint8_t>* out, std::string* error) {
    if (!value.isString()) {
        return Fail(path, "expected hexadecimal digits in a text", error);
    }
    std::string digits;
    for (const QChar character : value.toString()) {
        if (character == ' ') {
            continue;
        }
        if (character.unicode() > 0x7F || HexValue(static_cast<char>(character.unicode())) < 0) {
            return Fail(path, "expected hexadecimal digits, got " + Quoted(value.toString()),
                        error);
        }
        digits.push_back(static_cast<char>(character.unicode()));
    }
    if (digits.size() % 2 != 0) {
        return Fail(path, "odd number of hexadecimal digits", error);
    }
    if (digits.size() / 2 > maxBytes) {
        return Fail(path, "more than " + std::to_string(maxBytes) + " bytes", error);
    }
    out->clear();
    for (std::size_t at = 0; at < digits.size(); at += 2) {
        out->push_back(
            static_cast<std::uint8_t>(HexValue(digits[at]) * 16 + HexValue(digits[at + 1])));
    }
    return true;
}

bool ReadMac(const QJsonValue& value, const Path& path, std::array<std::uint8_t, 6>* mac,
             std::string* error) {
    const std::string problem =
        "expected 12 hexadecimal digits, alone or in pairs separated by ':' or '-', got ";
    if (!value.isString()) {
        return Fail(path, problem + "no text", error);
    }
    const std::string text = value.toString().toStdString();
    std::string digits = text;
    if (text.size() == 17) {
        const char separator = text[2];
        digits.clear();
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (at % 3 == 2) {
                if (text[at] != separator || (separator != ':' && separator != '-')) {
                    return Fail(path, problem + Quoted(value.toString()), error);
                }
            } else {
                digits.push_back(text[at]);
            }
        }
    }
    if (digits.size() != 12) {
        return Fail(path, problem + Quoted(value.toString()), error);
    }
    for (std::size_t at = 0; at < 6; ++at) {
        const int high = HexValue(digits[2 * at]);
        const int low = HexValue(digits[2 * at + 1]);
        if (high < 0 || low < 0) {
            return Fail(path, problem + Quoted(value.toString()), error);
        }
        (*mac)[at] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

bool ReadAddressValue(const QJsonValue& value, const Path& path, std::uint32_t* address,
                      std::string* error) {
    if (!value.isString() || !ParseAddress(value.toString().toStdString(), address)) {
        return Fail(path,
                    "expected a dotted IPv4 address such as 10.0.0.5, got " +
                        (value.isString() ? Quoted(value.toString()) : std::string("no text")),
                    error);
    }
    return true;
}

// A single text or an array of texts.
bool ReadTextList(const QJsonValue& value, const Path& path, std::vector<std::string>* out,
                  std::string* error) {
    out->clear();
    if (value.isString()) {
        out->push_back(value.toString().toStdString());
        return true;
    }
    if (!value.isArray() || value.toArray().isEmpty()) {
        return Fail(path, "expected a text or a non-empty array of texts", error);
    }
    const QJsonArray items = value.toArray();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!items[i].isString()) {
            return Fail(ItemPath(path, i), "expected a text", error);
        }
        out->push_back(items[i].toString().toStdString());
    }
    return true;
}

bool ReadExtraElements(const QJsonValue& value, const Path& path, std::vector<sim::RawElement>* out,
                       std::string* error) {
    if (!value.isArray()) {
        return Fail(path, "expected an array of elements", error);
    }
    const QJsonArray items = value.toArray();
    out->clear();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const Path itemPath = ItemPath(path, i);
        if (!items[i].isObject()) {
            return Fail(itemPath, "expected an object with \"type\" and \"hex\" or \"text\"",
                        error);
        }
        const QJsonObject item = items[i].toObject();
        sim::RawElement element;
        for (auto it = item.begin(); it != item.end(); ++it) {
            const Path fieldPath = itemPath + "." + it.key().toStdString();
            bool ok = true;
            if (it.key() == "type") {
                ok = ReadNumber(it.value(), fieldPath, 0, 0xFFFF, &element.type, error);
            } else if (it.key() == "hex") {
                ok = ReadHex(it.value(), fieldPath, kMaxElementValue, &element.value, error);
            } else if (it.key() == "text") {
                std::string text;
                ok = ReadText(it.value(), fieldPath, &text, error);
                element.value.assign(text.begin(), text.end());
            } else if (it.key() == "length") {
                std::uint8_t length = 0;
                ok = ReadNumber(it.value(), fieldPath, 0, 0xFF, &length, error);
                element.declaredLength = length;
            } else {
                return Fail(fieldPath, "unknown field (known: type, hex, text, length)", error);
            }
            if (!ok) {
                return false;
            }
        }
        if (!item.contains("type")) {
            return Fail(itemPath + ".type", "missing", error);
        }
        if (item.contains("hex") && item.contains("text")) {
            return Fail(itemPath, "give \"hex\" or \"text\", not both", error);
        }
        out->push_back(std::move(element));
    }
    return true;
}

}  // namespace apsim::fleet
