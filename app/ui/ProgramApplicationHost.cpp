#include "app/ui/ProgramApplicationHost.h"

#include "app/ui/Program.h"
#include "outputs/QYNet.h"
#include "platform/FileTime.h"
#include "recording/Store.h"

#include <ctime>

namespace app {

void CProgramApplicationHost::LoadUserSettings()
{
    m_program.Environment().LoadUserSettings();
}

void CProgramApplicationHost::AnnotationToOutputs(const std::string& text, std::uint64_t fileTime)
{
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteAnnotationDatagram(text, fileTime); });
    if (CQYNet* net = m_program.Application().Sensor<CQYNet>(SensorId::NetworkOutput))
        net->SendCS(text, fileTime);
}

void CProgramApplicationHost::ProfileToOutputs(const std::string& text, std::uint64_t fileTime)
{
    // A profile for the outputs is the real-time one.
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, fileTime, 3); });
    if (CQYNet* net = m_program.Application().Sensor<CQYNet>(SensorId::NetworkOutput))
        net->SendSV(text);
}

int CProgramApplicationHost::RecordProfile(const std::string& text)
{
    return m_program.Recorder().With([&](zv::recording::CStore& store) {
        store.WriteSvpToFiles(text, CFileTime::Now(), 0);
    }) ? 1 : 0;
}

bool CProgramApplicationHost::SetSystemClock(std::uint64_t target)
{
    // 100 ns since 1601 to the Unix epoch.
    constexpr std::uint64_t kUnixEpoch = 116444736000000000ULL;
    if (target <= kUnixEpoch)
        return false;
    const std::uint64_t unix100ns = target - kUnixEpoch;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(unix100ns / 10'000'000);
    ts.tv_nsec = static_cast<long>((unix100ns % 10'000'000) * 100);
    return clock_settime(CLOCK_REALTIME, &ts) == 0;  // refused without the right: nothing changes
}

}  // namespace app
