#pragma once

#include <span>

#include "framework/FrameworkTypes.h"

class CCmdTarget;

// A message map is an ordered table of (message, notification, control, handler). Dispatch
// walks a class's table top to bottom, then its base class's table, and runs the first entry
// that matches. Handlers are member functions; each entry holds a small function that calls
// its handler on the right class.

enum class MessageKind {
    kCommand,     // WM_COMMAND: a notification code and a control or command identifier
    kNotify,      // WM_NOTIFY: a notification code and a control identifier
    kSysCommand,  // WM_SYSCOMMAND: every system command
};

struct MessageArgs {
    unsigned sysCommand = 0;
    NMHDR* header = nullptr;
    LRESULT* result = nullptr;
};

using MessageHandlerCall = void (*)(CCmdTarget& target, const MessageArgs& args);

struct MessageMapEntry {
    MessageKind kind = MessageKind::kCommand;
    int code = 0;
    int id = 0;
    MessageHandlerCall call = nullptr;
};

struct MessageMap {
    const MessageMap* base = nullptr;
    std::span<const MessageMapEntry> entries;
};

namespace message_map_detail {

template <typename Handler>
struct HandlerClass;
template <typename Class, typename Result, typename... Args>
struct HandlerClass<Result (Class::*)(Args...)> {
    using type = Class;
};

}  // namespace message_map_detail

namespace msg {

// WM_COMMAND with this notification code from this control (or this menu command, code 0).
// Handler: void (Class::*)().
template <auto handler>
constexpr MessageMapEntry Command(int id, int code = BN_CLICKED) {
    using Class = typename message_map_detail::HandlerClass<decltype(handler)>::type;
    return {MessageKind::kCommand, code, id, [](CCmdTarget& target, const MessageArgs&) {
                (static_cast<Class&>(target).*handler)();
            }};
}

template <auto handler>
constexpr MessageMapEntry BnClicked(int id) {
    return Command<handler>(id, BN_CLICKED);
}

template <auto handler>
constexpr MessageMapEntry EnChange(int id) {
    return Command<handler>(id, EN_CHANGE);
}

// WM_NOTIFY with this code from this control. Handler: void (Class::*)(NMHDR*, LRESULT*).
template <auto handler>
constexpr MessageMapEntry Notify(int code, int id) {
    using Class = typename message_map_detail::HandlerClass<decltype(handler)>::type;
    return {MessageKind::kNotify, code, id, [](CCmdTarget& target, const MessageArgs& args) {
                (static_cast<Class&>(target).*handler)(args.header, args.result);
            }};
}

// WM_SYSCOMMAND. Handler: void (Class::*)(unsigned id).
template <auto handler>
constexpr MessageMapEntry SysCommand() {
    using Class = typename message_map_detail::HandlerClass<decltype(handler)>::type;
    return {MessageKind::kSysCommand, 0, 0, [](CCmdTarget& target, const MessageArgs& args) {
                (static_cast<Class&>(target).*handler)(args.sysCommand);
            }};
}

}  // namespace msg
