#include "platform/SystemClockSetter.h"

#include "platform/EventLog.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "platform/Registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

namespace {

constexpr int kCapSysTime = 25;

int SetRealtimeClock(std::uint64_t fileTime)
{
    const timespec ts = CFileTime::ToTimespec(fileTime);
    return ::clock_settime(CLOCK_REALTIME, &ts) == 0 ? 0 : errno;
}

std::string UtcText(std::uint64_t fileTime)
{
    SYSTEMTIME st{};
    if (!CFileTime::ToSystemTime(fileTime, st))
        return "an invalid time";
    return CNumberText::Format("%04u-%02u-%02u %02u:%02u:%02u UTC", unsigned(st.wYear), unsigned(st.wMonth),
                               unsigned(st.wDay), unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond));
}

}  // namespace

CSystemClockSetter::CSystemClockSetter()
    : CSystemClockSetter(SSystem{std::getenv("ZELVAR_TEST") != nullptr, &ProcessMaySetClock, &SetRealtimeClock})
{}

CSystemClockSetter::CSystemClockSetter(SSystem system) : m_system(std::move(system)) {}

bool CSystemClockSetter::SetUtc(std::uint64_t fileTime)
{
    if (fileTime <= CFileTime::kUnixEpoch) {
        Refuse(fileTime, "the clock cannot take a time before 1970");
        return false;
    }
    if (m_system.testRun) {
        Refuse(fileTime, "a test run never sets it");
        return false;
    }
    if (!AllowedOnThisMachine()) {
        Refuse(fileTime, std::string("this machine does not allow it (") + kAllowValue + " under HKEY_LOCAL_MACHINE\\" +
                             kMachineKey + ")");
        return false;
    }
    if (!m_system.mayProcessSetClock || !m_system.mayProcessSetClock()) {
        Refuse(fileTime, "the program has no right to set it (CAP_SYS_TIME)");
        return false;
    }
    if (const int error = m_system.setClock ? m_system.setClock(fileTime) : ENOSYS) {
        Refuse(fileTime, std::strerror(error));
        return false;
    }
    return true;
}

bool CSystemClockSetter::AllowedOnThisMachine()
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kMachineKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD value = 0, type = 0, size = sizeof value;
    const bool read =
        RegQueryValueEx(key, kAllowValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value;
    RegCloseKey(key);
    return read && value != 0;
}

bool CSystemClockSetter::ProcessMaySetClock()
{
    // The effective capabilities, as the kernel shows them in hexadecimal.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) != 0)
            continue;
        const unsigned long long caps = CNumberText::ParseULong(line.c_str() + 7, nullptr, 16);
        return (caps >> kCapSysTime) & 1ULL;
    }
    return false;
}

void CSystemClockSetter::Refuse(std::uint64_t fileTime, const std::string& why) const
{
    if (HEVENTSOURCE log = RegisterEventSource("Ostrival")) {
        ReportEvent(log, EVENTLOG_WARNING_TYPE, 0, 0,
                    {"The computer's clock was not set to " + UtcText(fileTime) + ": " + why + "."});
        DeregisterEventSource(log);
    }
}
