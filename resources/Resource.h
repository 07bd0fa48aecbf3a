#pragma once

// Resource identifiers of the dialog templates, their controls, the icon and the commands.

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
// Controls that no code addresses.
inline constexpr int IDC_STATIC = -1;

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_ACCESSPOINT_DIALOG = 102;

// Icons.
inline constexpr int IDR_MAINFRAME = 128;

// Controls of the main dialog.
inline constexpr int IDC_DEVICE_LIST = 1000;
inline constexpr int IDC_BANNER = 1001;
inline constexpr int IDC_REFRESH = 1002;
inline constexpr int IDC_WEB_MANAGEMENT = 1003;
inline constexpr int IDC_SET_IP_ADDRESS = 1004;
inline constexpr int IDC_DETAIL_INFO = 1028;

// The main dialog's own system-menu command; system commands keep their low four bits free.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
