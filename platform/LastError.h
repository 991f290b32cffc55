// The calling thread's last error, as the device and service calls leave it
// when they fail (platform/Device.h, platform/ServiceControl.h).
#pragma once

#include "platform/WinTypes.h"

DWORD GetLastError();
void SetLastError(DWORD error);
