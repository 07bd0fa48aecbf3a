#pragma once

#include <span>

#include "framework/ResourceRegistry.h"

// The pictures of an icon resource, one per size, or none for an identifier that names no icon.
std::span<const IconPicture> FindIconResource(int id) noexcept;
