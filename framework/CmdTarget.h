#pragma once

#include "framework/FrameworkTypes.h"
#include "framework/MessageMap.h"

// Anything that receives commands through a message map: the application and every window.
class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Each runs the first matching handler of this object's map chain; false when none matches.
    bool OnCmdMsg(int id, int code);
    bool OnNotifyMsg(NMHDR* header, LRESULT* result);
    bool OnSysCommandMsg(unsigned id);

protected:
    // Overridden by every class that has handlers; the root map is empty.
    virtual const MessageMap* GetMessageMap() const;

private:
    bool Dispatch(MessageKind kind, int code, int id, const MessageArgs& args);
};
