#pragma once

#include <cstdint>
#include <span>

// A dialog described as data: what the framework builds a dialog window from. Positions and
// sizes are in dialog units, which the framework scales by the dialog font. The application
// defines its templates with these types and registers them (ResourceRegistry.h).

enum class ControlKind {
    kPushButton,
    kDefPushButton,    // the button Enter presses
    kAutoRadioButton,  // checks itself; WS_GROUP starts a new group of radio buttons
    kGroupBox,         // a labelled frame, drawn behind the controls it surrounds
    kStaticText,
    kStaticIcon,  // shows the icon resource `iconId` at its own size
    kEdit,
    kListView,
};

struct DialogUnitRect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::kStaticText;
    const char* text = "";
    DialogUnitRect rect;
    std::uint32_t style = 0;
    int iconId = 0;
    // What a screen reader calls the control, for one whose caption or label does not say it
    // well enough (the octets of an address: "IP Address, octet 1"). Without it the control is
    // named by its caption, or when it has none by the static text that labels it.
    const char* accessibleName = nullptr;
};

struct DialogTemplate {
    int id = 0;
    const char* caption = "";
    DialogUnitRect rect;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    const char* fontFace = "";
    int fontPointSize = 8;
    // In tab order.
    std::span<const ControlTemplate> controls;
};
