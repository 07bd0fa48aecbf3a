#pragma once

// Shows the wait cursor for its lifetime, over every window of the application; the previous
// cursor comes back when it ends, on every path out of the scope.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

    // Shows the wait cursor again after something in between changed the cursor.
    void Restore();
};
