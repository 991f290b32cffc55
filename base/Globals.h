// Program-wide values built once, in this order, before the application
// object starts, and torn down in reverse order at process exit. Everything
// here is read-only after start-up except the timer map (with its lock) and
// the diagnostic socket.
#pragma once

#include "base/ZEBSocket.h"
#include "platform/WinTypes.h"

#include <array>
#include <mutex>
#include <string>
#include <unordered_map>

class CStdTimer;

struct CProgramGlobals
{
    CProgramGlobals();
    CProgramGlobals(const CProgramGlobals&) = delete;
    CProgramGlobals& operator=(const CProgramGlobals&) = delete;

    // Registered window messages; the receivers compare incoming ids with
    // these.
    const UINT exitMessage;  // "EXIT_ZELVAR_PELMARIS_NO_SHUTDOWN"
    const UINT helpMessage;  // "HELP_REQUIRED_FROM_COM"

    // Settings keys with their descriptions, "<key>=<description>".
    const std::array<std::string, 24> alarmColourKeys;
    const std::array<std::string, 25> systemColourKeys;

    const std::array<std::string, 6> paletteNames;
    const std::string paletteSection;
    const std::string blinkSection;
    const std::array<std::string, 4> blinkKeys;

    const std::string druDeviceName;
    const std::string historyPicturePattern;
    const std::string historyPictureNamePattern;

    CZEBSocket diagnosticSocket;

    // The one program-wide lock; re-entrant like the critical section it
    // stands for.
    std::recursive_mutex programLock;

    const std::string separator;

    // Timer id to timer object; every access holds timerMapLock.
    std::unordered_map<UINT, CStdTimer*> timerMap;
    std::mutex timerMapLock;

    const std::array<std::string, 12> channelSettingNames;
};

// Built on first use; the application calls it before anything else runs.
CProgramGlobals& ProgramGlobals();
