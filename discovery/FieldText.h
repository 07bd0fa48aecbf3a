#pragma once

#include <cstddef>
#include <string>

#include "discovery/DeviceRecord.h"

// The text of a record's fixed-width field as a string of its own: up to the field's first zero
// byte, never past its width.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, FieldTextLength(field));
}
