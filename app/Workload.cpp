#include "app/Workload.h"

#include "platform/FileTime.h"

#include <sys/resource.h>

namespace {

std::uint64_t Ticks(const timeval& tv)
{
    return static_cast<std::uint64_t>(tv.tv_sec) * 10'000'000ULL + static_cast<std::uint64_t>(tv.tv_usec) * 10ULL;
}

}  // namespace

CWorkload::CWorkload() : CWorkload(&CWorkload::ReadOwnProcessTimes) {}

CWorkload::CWorkload(ProcessTimesSource source) : m_source(std::move(source)) {}

bool CWorkload::ReadOwnProcessTimes(std::uint64_t& kernel, std::uint64_t& user)
{
    rusage ru{};
    if (::getrusage(RUSAGE_SELF, &ru) != 0)
        return false;
    kernel = Ticks(ru.ru_stime);
    user = Ticks(ru.ru_utime);
    return true;
}

void CWorkload::Sample()
{
    const std::uint64_t now = CFileTime::Monotonic();
    std::uint64_t kernel = 0, user = 0;
    const bool read = m_source && m_source(kernel, user);

    std::lock_guard lk(m_lock);
    // Unread times leave the previous sample as it is: moving only its time
    // on would charge the processor time of two intervals to the next one.
    if (!read)
        return;
    if (m_bPrevious && now > m_prevNow) {
        const double busy =
            static_cast<double>(static_cast<std::int64_t>((kernel + user) - (m_prevKernel + m_prevUser)));
        m_load = busy / static_cast<double>(now - m_prevNow);
    }
    m_bPrevious = TRUE;
    m_prevKernel = kernel;
    m_prevUser = user;
    m_prevNow = now;
}

double CWorkload::GetLoad() const
{
    std::lock_guard lk(m_lock);
    return m_load;
}
