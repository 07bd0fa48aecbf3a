#pragma once

#include "discovery/DeviceRecord.h"

// The device table the main window shows: row i of its list is record i. Null before the
// first Refresh and after the main window has been cancelled. The main window owns it; the
// device commands read records through it.
extern DeviceTablePtr g_deviceTable;
