#include "framework/WindowStyles.h"
#include "resources/Resource.h"
#include "resources/Templates.h"

namespace {

constexpr ControlTemplate kControls[] = {
    {.id = IDC_STATIC,
     .kind = ControlKind::kStaticIcon,
     .rect = {11, 17, 20, 20},
     .style = SS_ICON,
     .iconId = IDR_MAINFRAME,
     .accessibleName = "Access Point Management icon"},
    {.id = IDC_STATIC,
     .kind = ControlKind::kStaticText,
     .text = "Access Point Management Version 1.0",
     .rect = {40, 10, 127, 8},
     .style = SS_LEFT | SS_NOPREFIX | WS_GROUP},
    {.id = IDC_STATIC,
     .kind = ControlKind::kStaticText,
     .text = "Finds and sets up access points",
     .rect = {40, 25, 119, 8},
     .style = SS_LEFT | WS_GROUP},
    {.id = IDOK,
     .kind = ControlKind::kDefPushButton,
     .text = "OK",
     .rect = {178, 7, 50, 14},
     .style = WS_GROUP | WS_TABSTOP},
};

}  // namespace

// Placed at 0, 0 without a centring style: it opens centred over its owner.
const DialogTemplate kAboutBoxTemplate = {
    .id = IDD_ABOUTBOX,
    .caption = "Access Point Management",
    .rect = {0, 0, 235, 55},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .exStyle = 0,
    .fontFace = "MS Sans Serif",
    .fontPointSize = 8,
    .controls = kControls,
};
