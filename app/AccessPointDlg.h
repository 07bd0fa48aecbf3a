#pragma once

#include <atomic>

#include "discovery/DeviceRecord.h"
#include "framework/Button.h"
#include "framework/Dialog.h"
#include "framework/Font.h"
#include "framework/Icon.h"
#include "framework/ListCtrl.h"
#include "framework/Static.h"

// The main window: the access points of the latest discovery, one row per record of the
// current device table, and the commands that act on the selected one. It runs discovery once
// by itself as soon as it is on screen, and again on Refresh.
class CAccessPointDlg : public CDialog {
public:
    explicit CAccessPointDlg(CWnd* parent = nullptr);

    // The six columns' widths for a list `listWidth` pixels wide, border included.
    static int DeviceColumnWidth(int listWidth, int column);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    // Every way of closing the window ends here: the table is released before the loop ends.
    void OnCancel() override;
    const MessageMap* GetMessageMap() const override;

    void OnSysCommand(unsigned id);
    void OnRefresh();
    void OnDetailInfo();
    void OnWebManagement();
    void OnSetIpAddress();
    void OnDeviceListItemChanged(NMHDR* header, LRESULT* result);

    void InsertDeviceColumns();
    void FillDeviceList();
    // The record of the first selected row (the lowest index), or null without one. The device
    // commands act on it.
    const DeviceRecord* FirstSelectedRecord();

    CButton m_detailInfoButton;
    CButton m_setIpButton;
    CButton m_webButton;
    CStatic m_banner;
    CListCtrl m_deviceList;
    HICON m_hIcon = nullptr;
    int m_deviceCount = 0;
    // Set when the window is asked to close during a discovery, whose result then goes unused:
    // the discovery ends at its next look at the flag.
    std::atomic<bool> m_discoveryCancel = false;
    CFont m_bannerFont;
};
