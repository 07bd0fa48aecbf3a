#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "framework/FrameworkTypes.h"

class QWidget;

// A modal box with one OK button over the window the user is working in. The caption is the
// application title; without an icon named in `type` it shows the exclamation icon. The text is
// UTF-8 and shown as plain text. Returns IDOK once the box is dismissed.
int AfxMessageBox(std::string_view text, unsigned type = MB_OK);
int AfxMessageBox(int stringId, unsigned type = MB_OK);

// What a box would show, as the test hook sees it.
struct MessageBoxRequest {
    std::string text;
    std::string caption;
    unsigned icon = MB_ICONEXCLAMATION;  // one of the MB_ICON* values
    int ownerId = 0;                     // template identifier of the owning dialog, or 0
};

// Tests: while a hook is set, boxes are not shown; the hook sees each one and its result is
// the box's answer. An empty hook shows boxes again.
using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxHook(MessageBoxHook hook);

// Framework use: a box owned by `owner` (null: the active window).
int ShowMessageBoxOver(QWidget* owner, std::string_view text, const char* caption, unsigned type);
