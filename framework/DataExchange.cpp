#include "framework/DataExchange.h"

#include "framework/Dialog.h"

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (!control.IsWindow()) {
        pDX->m_pDlgWnd->BindControl(id, control);
    }
}
