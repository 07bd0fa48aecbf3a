#pragma once

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

// The text of string `id`, or empty text for an identifier the table does not hold.
using StringTableLookup = const char* (*)(int id) noexcept;
void AfxSetStringTable(StringTableLookup lookup) noexcept;

// The image of icon `id` as XPM lines, or null for an identifier that names no icon.
using IconResourceLookup = const char* const* (*)(int id) noexcept;
void AfxSetIconResources(IconResourceLookup lookup) noexcept;
IconResourceLookup AfxIconResources() noexcept;
