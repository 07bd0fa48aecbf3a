#pragma once

#include <string>
#include <string_view>

#include "fleet/SavedDiscovery.h"

// Every JSON apctl writes is built as a value of the JSON library and written here, in the form
// scripts have always read: one line per object, ", " and ": " between the parts, control
// characters as \u00XX. The library's own dump() writes neither this spacing nor these escapes.
namespace apctl {

using Json = fleet::Json;

// A value on one line. A fraction is written to one decimal: every fraction apctl writes is a
// number of seconds to a tenth. A string need not be UTF-8: it is written as JsonString writes it.
std::string JsonText(const Json& value);

// An array with one element per line: "[\n  A,\n  B\n]\n", or "[]\n" when empty.
std::string JsonArrayLines(const Json& array);

// Bytes as a JSON string, quotes included: the quote and the backslash escaped, control
// characters and DEL as \u00XX. Bytes that are UTF-8 stay as they are; in bytes that are not
// (an interface name is whatever the kernel was given), each byte above 0x7F is escaped as the
// code point of its Latin-1 reading, since JSON text must be UTF-8.
std::string JsonString(std::string_view bytes);

// A text from the network, single bytes, as its Latin-1 characters.
Json JsonFromLatin1(const std::string& bytes);

}  // namespace apctl
