#include "framework/WindowStyles.h"
#include "resources/Resource.h"
#include "resources/Templates.h"

namespace {

constexpr ControlTemplate kControls[] = {
    {.id = IDOK,
     .kind = ControlKind::kDefPushButton,
     .text = "OK",
     .rect = {69, 125, 50, 14},
     .style = WS_TABSTOP},
    // Filled when the dialog opens: labelled lines with tabs between label and value.
    {.id = IDC_DETAIL_TEXT,
     .kind = ControlKind::kStaticText,
     .text = "",
     .rect = {20, 15, 148, 97},
     .style = SS_LEFT},
};

}  // namespace

// Placed at 0, 0 without a centring style: it opens centred over its owner.
const DialogTemplate kDetailInfoTemplate = {
    .id = IDD_DETAIL_INFO,
    .caption = "Detail Info",
    .rect = {0, 0, 187, 146},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .exStyle = 0,
    .fontFace = "MS Sans Serif",
    .fontPointSize = 8,
    .controls = kControls,
};
