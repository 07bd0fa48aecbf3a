#include "app/CurrentDeviceTable.h"

DeviceTablePtr g_deviceTable;
