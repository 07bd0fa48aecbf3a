#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "discovery/DeviceRecord.h"

// The text of a record's fixed-width field as a string of its own: up to the field's first zero
// byte, never past its width.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, FieldTextLength(field));
}

// An access point's text as the user interface shows it, in UTF-8: each byte stands for the
// character of its number (Latin-1), so any byte shows as one character.
std::string Utf8FromBytes(std::string_view bytes);

template <std::size_t N>
std::string FieldTextUtf8(const char (&field)[N]) {
    return Utf8FromBytes(std::string_view(field, FieldTextLength(field)));
}
