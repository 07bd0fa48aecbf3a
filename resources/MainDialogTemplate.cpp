#include "framework/WindowStyles.h"
#include "resources/Resource.h"
#include "resources/Templates.h"

namespace {

constexpr ControlTemplate kControls[] = {
    // Neither sorted nor single-selection: several rows can be selected and keep their order.
    {.id = IDC_DEVICE_LIST,
     .kind = ControlKind::kListView,
     .rect = {7, 47, 384, 110},
     .style = WS_BORDER | WS_TABSTOP | LVS_REPORT},
    {.id = IDC_REFRESH,
     .kind = ControlKind::kDefPushButton,
     .text = "Refresh",
     .rect = {48, 167, 50, 14},
     .style = WS_TABSTOP},
    {.id = IDC_DETAIL_INFO,
     .kind = ControlKind::kPushButton,
     .text = "Detail Info",
     .rect = {106, 167, 50, 14},
     .style = WS_TABSTOP},
    {.id = IDC_WEB_MANAGEMENT,
     .kind = ControlKind::kPushButton,
     .text = "Web Management",
     .rect = {164, 167, 64, 14},
     .style = WS_TABSTOP},
    {.id = IDC_SET_IP_ADDRESS,
     .kind = ControlKind::kPushButton,
     .text = "Set IP Address",
     .rect = {236, 167, 57, 14},
     .style = WS_TABSTOP},
    {.id = IDCANCEL,
     .kind = ControlKind::kPushButton,
     .text = "Exit",
     .rect = {301, 167, 50, 14},
     .style = WS_TABSTOP},
    {.id = IDC_BANNER,
     .kind = ControlKind::kStaticText,
     .text = "",
     .rect = {7, 5, 383, 26},
     .style = SS_LEFT | WS_GROUP},
    {.id = IDC_STATIC,
     .kind = ControlKind::kStaticText,
     .text = "Wireless Access Points",
     .rect = {7, 34, 116, 8},
     .style = SS_LEFT | WS_GROUP},
};

}  // namespace

// Placed at 0, 0 without a centring style: it opens centred in the screen's work area.
const DialogTemplate kMainDialogTemplate = {
    .id = IDD_ACCESSPOINT_DIALOG,
    .caption = "Access Point Management",
    .rect = {0, 0, 400, 195},
    .style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .exStyle = WS_EX_APPWINDOW,
    .fontFace = "MS Sans Serif",
    .fontPointSize = 8,
    .controls = kControls,
};
