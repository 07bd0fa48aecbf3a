#include "framework/CmdTarget.h"

const MessageMap* CCmdTarget::GetMessageMap() const {
    static const MessageMap kMap{};
    return &kMap;
}

bool CCmdTarget::OnCmdMsg(int id, int code) {
    return Dispatch(MessageKind::kCommand, code, id, MessageArgs{});
}

bool CCmdTarget::OnNotifyMsg(NMHDR* header, LRESULT* result) {
    MessageArgs args;
    args.header = header;
    args.result = result;
    return Dispatch(MessageKind::kNotify, header->code, header->idFrom, args);
}

bool CCmdTarget::OnSysCommandMsg(unsigned id) {
    MessageArgs args;
    args.sysCommand = id;
    return Dispatch(MessageKind::kSysCommand, 0, 0, args);
}

bool CCmdTarget::Dispatch(MessageKind kind, int code, int id, const MessageArgs& args) {
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
        for (const MessageMapEntry& entry : map->entries) {
            if (entry.kind == kind && entry.code == code && entry.id == id) {
                entry.call(*this, args);
                return true;
            }
        }
    }
    return false;
}
