#pragma once

#include <cstdint>

// Window and control style bits of the dialog templates. The values are those of the platform
// the templates were first drawn for, so a template reads the same as its original; the
// framework gives each bit its meaning on this desktop.

// Any window.
inline constexpr std::uint32_t WS_POPUP = 0x80000000u;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t WS_DISABLED = 0x08000000u;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000u;
inline constexpr std::uint32_t WS_BORDER = 0x00800000u;
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000u;
inline constexpr std::uint32_t WS_GROUP = 0x00020000u;
inline constexpr std::uint32_t WS_TABSTOP = 0x00010000u;
// On a dialog rather than a control, the same two bits ask for the minimise and maximise boxes.
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000u;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000u;

// Dialogs.
inline constexpr std::uint32_t DS_MODALFRAME = 0x80u;
inline constexpr std::uint32_t DS_SETFONT = 0x40u;
// Extended style: the dialog is a top-level application window with its own task-bar entry.
inline constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000u;

// Static texts.
inline constexpr std::uint32_t SS_LEFT = 0x0u;
inline constexpr std::uint32_t SS_ICON = 0x3u;
inline constexpr std::uint32_t SS_NOPREFIX = 0x80u;

// Edits.
inline constexpr std::uint32_t ES_LEFT = 0x0u;
inline constexpr std::uint32_t ES_AUTOHSCROLL = 0x80u;
inline constexpr std::uint32_t ES_NUMBER = 0x2000u;

// List views.
inline constexpr std::uint32_t LVS_REPORT = 0x1u;
