#pragma once

#include <string>

#include <nlohmann/json.hpp>

// Every JSON apctl writes is built as a value of the JSON library and written here, in the form
// scripts have always read: one line per object, ", " and ": " between the parts, control
// characters as \u00XX. The library's own dump() writes neither this spacing nor these escapes.
namespace apctl {

using Json = nlohmann::ordered_json;

// A value on one line. A fraction is written to one decimal: every fraction apctl writes is a
// number of seconds to a tenth. A binary value holds JSON text made elsewhere and is written as
// it is.
std::string JsonText(const Json& value);

// An array with one element per line: "[\n  A,\n  B\n]\n", or "[]\n" when empty.
std::string JsonArrayLines(const Json& array);

// A text from the network, single bytes, as its Latin-1 characters.
Json JsonFromLatin1(const std::string& bytes);

}  // namespace apctl
