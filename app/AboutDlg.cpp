#include "app/AboutDlg.h"

#include "resources/Resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
