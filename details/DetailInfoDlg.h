#pragma once

#include "details/DetailInfoText.h"
#include "framework/Dialog.h"
#include "framework/Static.h"

// Every stored field of one access point as labelled lines, read-only. It holds its own copies
// of the fields, filled by the opener; OK, Escape and the close box close it.
class CDetailInfoDlg : public CDialog {
public:
    CDetailInfoDlg();

    DetailInfoFields m_fields;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;

    CStatic m_infoStatic;
};
