#include "platform/ClockSetter.h"

#include "platform/SystemClockSetter.h"

#include <atomic>

namespace {

std::atomic<IClockSetter*> g_installed{nullptr};

}  // namespace

bool CClockSetter::SetUtc(std::uint64_t fileTime)
{
    if (IClockSetter* setter = g_installed.load())
        return setter->SetUtc(fileTime);
    static CSystemClockSetter system;
    return system.SetUtc(fileTime);
}

void CClockSetter::Install(IClockSetter* setter)
{
    g_installed = setter;
}
