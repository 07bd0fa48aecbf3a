#include "tools/apctl/Json.h"

#include <cstdio>

#include "fleet/Text.h"

namespace apctl {

namespace {

void AppendString(std::string* out, std::string_view bytes) {
    const bool utf8 = fleet::IsUtf8(std::string(bytes));
    out->push_back('"');
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out->push_back('\\');
            out->push_back(c);
        } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !utf8)) {
            char escaped[7];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            *out += escaped;
        } else {
            out->push_back(c);
        }
    }
    out->push_back('"');
}

void Append(std::string* out, const Json& value) {
    switch (value.type()) {
        case Json::value_t::object: {
            out->push_back('{');
            const char* separator = "";
            for (const auto& [key, member] : value.items()) {
                *out += separator;
                AppendString(out, key);
                *out += ": ";
                Append(out, member);
                separator = ", ";
            }
            out->push_back('}');
            return;
        }
        case Json::value_t::array: {
            out->push_back('[');
            const char* separator = "";
            for (const Json& element : value) {
                *out += separator;
                Append(out, element);
                separator = ", ";
            }
            out->push_back(']');
            return;
        }
        case Json::value_t::string:
            AppendString(out, value.get_ref<const std::string&>());
            return;
        case Json::value_t::number_float:
            *out += fleet::SecondsText(value.get<double>());
            return;
        default:
            // null, booleans and integers: the library writes them as everyone does.
            *out += value.dump();
            return;
    }
}

}  // namespace

std::string JsonText(const Json& value) {
    std::string out;
    Append(&out, value);
    return out;
}

std::string JsonArrayLines(const Json& array) {
    if (array.empty()) {
        return "[]\n";
    }
    std::string out = "[";
    const char* separator = "\n  ";
    for (const Json& element : array) {
        out += separator;
        Append(&out, element);
        separator = ",\n  ";
    }
    return out + "\n]\n";
}

std::string JsonString(std::string_view bytes) {
    std::string out;
    AppendString(&out, bytes);
    return out;
}

Json JsonFromLatin1(const std::string& bytes) {
    return fleet::Utf8FromLatin1(bytes);
}

}  // namespace apctl
