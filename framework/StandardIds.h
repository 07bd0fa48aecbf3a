#pragma once

// The command identifiers every dialog understands, whatever application it belongs to.

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
// Controls that no code addresses.
inline constexpr int IDC_STATIC = -1;
