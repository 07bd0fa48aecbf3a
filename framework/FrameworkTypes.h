#pragma once

#include <cstdint>

// The vocabulary the dialogs speak: messages, notifications, states and flags. The values are
// those of the platform the dialogs were first written for, so that identifiers such as the
// help command (57670) and the system commands keep their meaning.

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr WPARAM MAKEWPARAM(int low, int high) noexcept {
    return (static_cast<WPARAM>(static_cast<std::uint16_t>(low))) |
           (static_cast<WPARAM>(static_cast<std::uint16_t>(high)) << 16);
}
constexpr int LOWORD(WPARAM value) noexcept {
    return static_cast<std::uint16_t>(value & 0xFFFF);
}
constexpr int HIWORD(WPARAM value) noexcept {
    return static_cast<std::uint16_t>((value >> 16) & 0xFFFF);
}

// Messages a window can be sent or posted.
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_SYSCOMMAND = 0x0112;

// Notification codes.
inline constexpr int BN_CLICKED = 0;
inline constexpr int EN_CHANGE = 0x0300;
inline constexpr int LVN_ITEMCHANGED = -101;

// Commands.
inline constexpr int ID_HELP = 0xE146;  // 57670
inline constexpr unsigned SC_CLOSE = 0xF060;

// Button check states.
inline constexpr unsigned BST_UNCHECKED = 0;
inline constexpr unsigned BST_CHECKED = 1;

// List-view item states, column formats and extended styles.
inline constexpr unsigned LVIS_FOCUSED = 0x1;
inline constexpr unsigned LVIS_SELECTED = 0x2;
inline constexpr unsigned LVIF_STATE = 0x8;
inline constexpr int LVCFMT_LEFT = 0;
inline constexpr unsigned LVS_EX_FULLROWSELECT = 0x20;
inline constexpr unsigned LVS_EX_INFOTIP = 0x400;

// Message boxes: buttons, icons and answers.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_ICONHAND = 0x10;
inline constexpr unsigned MB_ICONERROR = MB_ICONHAND;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr unsigned MB_ICONASTERISK = 0x40;
inline constexpr unsigned MB_ICONINFORMATION = MB_ICONASTERISK;
inline constexpr unsigned MB_ICONMASK = 0xF0;

// Menu item flags.
inline constexpr unsigned MF_STRING = 0x0;
inline constexpr unsigned MF_GRAYED = 0x1;
inline constexpr unsigned MF_SEPARATOR = 0x800;

// The header of every notification.
struct NMHDR {
    int idFrom = 0;
    int code = 0;
};

// LVN_ITEMCHANGED: one row's state changed from uOldState to uNewState.
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    unsigned uNewState = 0;
    unsigned uOldState = 0;
    unsigned uChanged = 0;
};

// A rectangle in pixels; right and bottom lie just outside it.
struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
};
