// Runs a driver's image as a process of its own for the service manager
// (platform/ServiceControl.h), detached from the caller (new session, not
// the caller's child, so nothing is left for the caller to wait for), and
// waits until the driver says on its standard output that it is ready.
#pragma once

#include "platform/WinTypes.h"

#include <memory>
#include <string>
#include <vector>

class CStopEvent;

class CDriverProcess
{
public:
    // The line a driver writes on its standard output once it is ready.
    static constexpr const char* kReadyLine = "READY";

    // Runs image with args (after the image's own name) and the environment
    // of the caller, plus ZELVAR_DEVICE_DIR=deviceFolder. 0 once the driver
    // is ready; ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED or
    // ERROR_BAD_EXE_FORMAT when the image cannot be run; ERROR_GEN_FAILURE
    // when the driver ends or closes its output before it is ready;
    // ERROR_SERVICE_NO_THREAD when no process can be made; ERROR_TIMEOUT
    // after timeoutMs; ERROR_OPERATION_ABORTED when stop (may be null) is
    // set. A driver given up on finds its output closed.
    static DWORD Launch(const std::string& image, const std::vector<std::string>& args, const std::string& deviceFolder,
                        int timeoutMs, const std::shared_ptr<CStopEvent>& stop);
};
