#pragma once

// The image of an icon resource as XPM lines (a header line, the colours, then one line per
// row), or null for an identifier that names no icon.
const char* const* FindIconResource(int id) noexcept;
