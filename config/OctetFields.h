#pragma once

#include <array>
#include <string>

// The 16 octet fields of the IP Configuration dialog, in identifier order: IP address octets
// 1 to 4, then subnet mask, gateway and DNS server.
inline constexpr int kOctetFieldCount = 16;
using OctetTexts = std::array<std::string, kOctetFieldCount>;

// The value of a text by the C library's atoi rule: leading white space skipped, an optional
// sign, the digits up to the first other character, 0 when there are none. Saturates instead of
// overflowing.
long AtoiValue(const std::string& text);

struct OctetCheck {
    int failingField = -1;  // index into the 16 fields; -1 when all pass
    int messageId = 0;      // string resource to show for it
};

// Checks the fields in order and stops at the first that is empty or out of 0 to 255.
OctetCheck CheckOctetFields(const OctetTexts& texts);

// The subnet mask's first field, where the focus goes when the mask cannot be.
inline constexpr int kFirstMaskField = 4;

// Whether the subnet mask's four fields, each already checked to hold 0 to 255, make a mask
// whose ones are unbroken from the left (see IsContiguousSubnetMask).
bool MaskFieldsArePossible(const OctetTexts& texts);

// The four dotted address texts, each "%s.%s.%s.%s" from the field texts exactly as typed.
std::array<std::string, 4> BuildAddressTexts(const OctetTexts& texts);
