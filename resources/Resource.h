#pragma once

#include "framework/StandardIds.h"

// Resource identifiers of the dialog templates, their controls, the icon and the commands.

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_ACCESSPOINT_DIALOG = 102;
inline constexpr int IDD_IPCONFIG = 129;
inline constexpr int IDD_DETAIL_INFO = 130;

// Icons.
inline constexpr int IDR_MAINFRAME = 128;

// Controls of the main dialog.
inline constexpr int IDC_DEVICE_LIST = 1000;
inline constexpr int IDC_BANNER = 1001;
inline constexpr int IDC_REFRESH = 1002;
inline constexpr int IDC_WEB_MANAGEMENT = 1003;
inline constexpr int IDC_SET_IP_ADDRESS = 1004;
inline constexpr int IDC_DETAIL_INFO = 1028;

// Controls of the IP Configuration dialog. The 16 octet edits are numbered in entry order, IP
// address octets 1 to 4, then subnet mask, gateway and DNS server, so each one's successor in the
// chain of fields is the next identifier.
inline constexpr int IDC_DHCP_CLIENT = 1005;
inline constexpr int IDC_FIXED = 1006;
inline constexpr int IDC_IP_EDIT1 = 1009;
inline constexpr int IDC_IP_EDIT2 = 1010;
inline constexpr int IDC_IP_EDIT3 = 1011;
inline constexpr int IDC_IP_EDIT4 = 1012;
inline constexpr int IDC_MASK_EDIT1 = 1013;
inline constexpr int IDC_MASK_EDIT2 = 1014;
inline constexpr int IDC_MASK_EDIT3 = 1015;
inline constexpr int IDC_MASK_EDIT4 = 1016;
inline constexpr int IDC_GATEWAY_EDIT1 = 1017;
inline constexpr int IDC_GATEWAY_EDIT2 = 1018;
inline constexpr int IDC_GATEWAY_EDIT3 = 1019;
inline constexpr int IDC_GATEWAY_EDIT4 = 1020;
inline constexpr int IDC_DNS_EDIT1 = 1021;
inline constexpr int IDC_DNS_EDIT2 = 1022;
inline constexpr int IDC_DNS_EDIT3 = 1023;
inline constexpr int IDC_DNS_EDIT4 = 1024;
inline constexpr int IDC_DEVICE_NAME = 1025;
inline constexpr int IDC_MAC_ADDRESS = 1026;

// Controls of the Detail Info dialog.
inline constexpr int IDC_DETAIL_TEXT = 1001;

// The main dialog's own system-menu command; system commands keep their low four bits free.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
