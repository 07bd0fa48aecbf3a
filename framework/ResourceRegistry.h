#pragma once

#include <cstddef>
#include <span>

#include "framework/DialogTemplate.h"

// Where the framework finds the application's resources: its dialog templates, its string table
// and its icons. The application registers them once at start-up, before its first window; the
// framework itself knows none of them. Not for use from several threads at once.

// Adds templates to those CDialog(int) finds by identifier; a later one with the same identifier
// stands behind the earlier.
void AfxRegisterDialogTemplates(std::span<const DialogTemplate* const> templates);
// The registered template with this identifier, or null.
const DialogTemplate* FindDialogTemplate(int id) noexcept;

// The English text of string `id`, or empty text for an identifier the table does not hold
// (AfxLoadString gives it in the user's language).
using StringTableLookup = const char* (*)(int id) noexcept;
void AfxSetStringTable(StringTableLookup lookup) noexcept;

// One picture of an icon as PNG data. An icon has one per size, and each window draws the one
// that suits its size and its screen's scale.
struct IconPicture {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};
// The pictures of icon `id`, or none for an identifier that names no icon.
using IconResourceLookup = std::span<const IconPicture> (*)(int id) noexcept;
void AfxSetIconResources(IconResourceLookup lookup) noexcept;
IconResourceLookup AfxIconResources() noexcept;
