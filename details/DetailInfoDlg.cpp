#include "details/DetailInfoDlg.h"

#include "framework/DataExchange.h"
#include "framework/Translation.h"
#include "resources/Resource.h"

CDetailInfoDlg::CDetailInfoDlg() : CDialog(IDD_DETAIL_INFO) {}

void CDetailInfoDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DETAIL_TEXT, m_infoStatic);
}

bool CDetailInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_infoStatic.SetWindowText(BuildDetailInfoText(m_fields, [](const char* english) {
        return AfxTranslate(kDetailInfoLabelContext, english);
    }));
    // The focus goes to OK, the only control that takes it.
    return true;
}
