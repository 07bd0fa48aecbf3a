#include "framework/AccessibleName.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>

#include "framework/StandardIds.h"

namespace {

// How far above a control, in dialog units, a label may end and still be its label.
constexpr int kMaxGapAbove = 10;

bool CanLabel(const ControlTemplate& control) {
    if (control.kind != ControlKind::kStaticText || control.text == nullptr) {
        return false;
    }
    const std::string_view text = control.text;
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

bool OverlapVertically(const DialogUnitRect& a, const DialogUnitRect& b) {
    return a.y < b.y + b.cy && b.y < a.y + a.cy;
}

bool OverlapHorizontally(const DialogUnitRect& a, const DialogUnitRect& b) {
    return a.x < b.x + b.cx && b.x < a.x + a.cx;
}

std::string LabelText(const char* text) {
    std::string label = text;
    while (!label.empty() && (label.back() == ':' || label.back() == ' ')) {
        label.pop_back();
    }
    return label;
}

}  // namespace

bool IsDecoration(const ControlTemplate& control) {
    return control.kind == ControlKind::kStaticText && control.id == IDC_STATIC &&
           control.text != nullptr && *control.text != '\0' && !CanLabel(control);
}

std::string AccessibleNameOf(const DialogTemplate& dialogTemplate, std::size_t index) {
    if (index >= dialogTemplate.controls.size()) {
        return {};
    }
    const ControlTemplate& control = dialogTemplate.controls[index];
    if (control.accessibleName != nullptr) {
        return control.accessibleName;
    }
    const int label = LabelIndexOf(dialogTemplate, index);
    return label >= 0 ? LabelText(dialogTemplate.controls[static_cast<std::size_t>(label)].text)
                      : std::string();
}

int LabelIndexOf(const DialogTemplate& dialogTemplate, std::size_t index) {
    if (index >= dialogTemplate.controls.size()) {
        return -1;
    }
    const ControlTemplate& control = dialogTemplate.controls[index];
    const ControlTemplate* left = nullptr;
    const ControlTemplate* above = nullptr;
    int leftGap = std::numeric_limits<int>::max();
    int aboveGap = std::numeric_limits<int>::max();
    for (const ControlTemplate& label : dialogTemplate.controls) {
        if (&label == &control || !CanLabel(label)) {
            continue;
        }
        const DialogUnitRect& at = label.rect;
        const DialogUnitRect& of = control.rect;
        const int gapLeft = of.x - (at.x + at.cx);
        if (gapLeft >= 0 && OverlapVertically(at, of) && gapLeft < leftGap) {
            left = &label;
            leftGap = gapLeft;
        }
        const int gapAbove = of.y - (at.y + at.cy);
        if (gapAbove >= 0 && gapAbove <= kMaxGapAbove && OverlapHorizontally(at, of) &&
            gapAbove < aboveGap) {
            above = &label;
            aboveGap = gapAbove;
        }
    }
    const ControlTemplate* label = left != nullptr ? left : above;
    return label != nullptr ? static_cast<int>(label - dialogTemplate.controls.data()) : -1;
}
