#pragma once

#include <cstdint>
#include <string>

// The texts the operations give back. An access point's texts are single bytes, decoded as
// Latin-1; this is the one place that turns them into UTF-8.
namespace fleet {

// Latin-1 byte to UTF-8, appended.
void AppendLatin1(std::string* out, unsigned char byte);
std::string Utf8FromLatin1(const std::string& bytes);
// The inverse: false when the text is no UTF-8 or has a character beyond U+00FF, which no
// single byte stands for.
bool Latin1FromUtf8(const std::string& utf8, std::string* bytes);
// For the terminal: C0 and C1 control characters, DEL and the backslash become \xNN, so that a
// hostile name cannot drive the terminal.
std::string Printable(const std::string& bytes);

// Whether the bytes are well-formed UTF-8.
bool IsUtf8(const std::string& bytes);
// An interface name is the kernel's bytes, not a text from the network: for the terminal as they
// are, control characters, the backslash and bytes that are no UTF-8 as \xNN.
std::string InterfaceNameText(const std::string& bytes);

// Dotted-decimal text of an address in network byte order.
std::string AddressText(std::uint32_t address);
// A wireless mode by its standard's name ("802.11b/g"), or "mode 9" for one without a name.
std::string ModeText(std::uint16_t mode);
// Seconds to one decimal: "9.4".
std::string SecondsText(double seconds);

// 12 hexadecimal digits in either case, or six pairs joined by ':' or by '-'; the result is the
// 12 digits in upper case.
bool NormalizeMac(const std::string& text, std::string* macText);

}  // namespace fleet
