#pragma once

#include <chrono>

// Pause between an acknowledged configuration request and the reset request, so the access point
// can store its new settings first.
inline constexpr std::chrono::milliseconds kPauseBeforeReset{3000};
