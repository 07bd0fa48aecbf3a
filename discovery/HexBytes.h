#pragma once

#include <cstdint>

// Writes `count` bytes as 2 × count upper-case hexadecimal digits and a terminating zero byte.
// `text` must hold 2 × count + 1 bytes; with a count of 0 or less it becomes empty text.
void FormatHexBytes(const std::uint8_t* bytes, int count, char* text);

// The reverse of FormatHexBytes: reads exactly 2 × count characters of `text` (it does not stop
// at a terminator, so the text must hold that many) and writes `count` bytes. A character that
// is not a hexadecimal digit counts as 255, modulo 256.
void ParseHexBytes(const char* text, std::uint8_t* bytes, int count);

// 0 to 15 for a hexadecimal digit of either case, 255 for anything else.
std::uint8_t HexDigitValue(char character);
