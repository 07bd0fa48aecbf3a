#include "framework/WindowStyles.h"
#include "resources/Resource.h"
#include "resources/Templates.h"

namespace {

constexpr std::uint32_t kOctetStyle = WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL;

// Each field of an address row is named for assistive technology by its row and its place in it:
// the row's label alone would name all four alike.
constexpr ControlTemplate OctetEdit(int id, int x, int y, const char* accessibleName) {
    return {.id = id,
            .kind = ControlKind::kEdit,
            .rect = {x, y, 20, 12},
            .style = kOctetStyle,
            .accessibleName = accessibleName};
}

constexpr ControlTemplate Label(const char* text, DialogUnitRect rect) {
    return {.id = IDC_STATIC,
            .kind = ControlKind::kStaticText,
            .text = text,
            .rect = rect,
            .style = SS_LEFT};
}

constexpr ControlTemplate Dot(int x, int y) {
    return Label(".", {x, y, 8, 8});
}

// The octet fields come right after the radio buttons, so that Tab walks them in entry order.
constexpr ControlTemplate kControls[] = {
    {.id = IDC_DEVICE_NAME,
     .kind = ControlKind::kStaticText,
     .text = "Static",
     .rect = {70, 10, 126, 8},
     .style = SS_LEFT},
    {.id = IDC_MAC_ADDRESS,
     .kind = ControlKind::kStaticText,
     .text = "Static",
     .rect = {69, 28, 129, 8},
     .style = SS_LEFT},
    {.id = IDC_DHCP_CLIENT,
     .kind = ControlKind::kAutoRadioButton,
     .text = "Dhcp client",
     .rect = {21, 61, 65, 10},
     // The group's tab stop, so that the mode can be chosen from the keyboard.
     .style = WS_GROUP | WS_TABSTOP},
    {.id = IDC_FIXED,
     .kind = ControlKind::kAutoRadioButton,
     .text = "Fixed",
     .rect = {21, 79, 56, 10}},
    OctetEdit(IDC_IP_EDIT1, 85, 97, "IP Address, octet 1"),
    OctetEdit(IDC_IP_EDIT2, 114, 97, "IP Address, octet 2"),
    OctetEdit(IDC_IP_EDIT3, 143, 97, "IP Address, octet 3"),
    OctetEdit(IDC_IP_EDIT4, 172, 97, "IP Address, octet 4"),
    OctetEdit(IDC_MASK_EDIT1, 85, 114, "Subnet Mask, octet 1"),
    OctetEdit(IDC_MASK_EDIT2, 113, 114, "Subnet Mask, octet 2"),
    OctetEdit(IDC_MASK_EDIT3, 143, 114, "Subnet Mask, octet 3"),
    OctetEdit(IDC_MASK_EDIT4, 171, 114, "Subnet Mask, octet 4"),
    OctetEdit(IDC_GATEWAY_EDIT1, 85, 131, "Gateway, octet 1"),
    OctetEdit(IDC_GATEWAY_EDIT2, 114, 131, "Gateway, octet 2"),
    OctetEdit(IDC_GATEWAY_EDIT3, 143, 131, "Gateway, octet 3"),
    OctetEdit(IDC_GATEWAY_EDIT4, 172, 131, "Gateway, octet 4"),
    OctetEdit(IDC_DNS_EDIT1, 85, 148, "DNS, octet 1"),
    OctetEdit(IDC_DNS_EDIT2, 114, 148, "DNS, octet 2"),
    OctetEdit(IDC_DNS_EDIT3, 143, 148, "DNS, octet 3"),
    OctetEdit(IDC_DNS_EDIT4, 172, 148, "DNS, octet 4"),
    {.id = IDOK,
     .kind = ControlKind::kDefPushButton,
     .text = "OK",
     .rect = {39, 183, 50, 14},
     .style = WS_TABSTOP},
    {.id = IDCANCEL,
     .kind = ControlKind::kPushButton,
     .text = "Cancel",
     .rect = {115, 182, 50, 14},
     .style = WS_TABSTOP},
    Label("Device Name:", {7, 10, 56, 8}),
    Label("Mac Address:", {7, 28, 55, 8}),
    {.id = IDC_STATIC,
     .kind = ControlKind::kGroupBox,
     .text = "IP Address",
     .rect = {7, 44, 191, 128}},
    Label("IP Address:", {37, 99, 45, 8}),
    Label("Subnet Mask:", {37, 116, 49, 8}),
    Label("Gateway:", {37, 133, 44, 8}),
    Label("DNS:", {37, 150, 33, 8}),
    Dot(108, 102),
    Dot(137, 102),
    Dot(167, 102),
    Dot(107, 119),
    Dot(137, 119),
    Dot(167, 119),
    Dot(108, 136),
    Dot(137, 136),
    Dot(167, 136),
    Dot(108, 153),
    Dot(137, 153),
    Dot(167, 153),
};

}  // namespace

// Placed at 0, 0 without a centring style: it opens centred over its owner.
const DialogTemplate kIpConfigTemplate = {
    .id = IDD_IPCONFIG,
    .caption = "IP Configuration",
    .rect = {0, 0, 206, 206},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .exStyle = 0,
    .fontFace = "MS Sans Serif",
    .fontPointSize = 8,
    .controls = kControls,
};
