#include "transceivers/NvuDiagnosticReport.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

std::string Format(const char* format, auto... args)
{
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

std::string CNvuDiagnosticReport::FileName(int reason, std::uint32_t serial, const std::tm& t)
{
    return Format("Diagnostic-%d-%X-D%04d%02d%02d-T%02d%02d%02d.txt", reason, static_cast<unsigned>(serial),
                  t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

std::string CNvuDiagnosticReport::SystemInfo()
{
    const long processors = sysconf(_SC_NPROCESSORS_ONLN);
    const long page = sysconf(_SC_PAGESIZE);
    utsname name{};
    uname(&name);
    const unsigned long long mask = processors >= 64 ? ~0ULL : (1ULL << std::max(processors, 1L)) - 1;
    Rows rows = {
        {"ActiveProcessorMask", Format("%llx", mask)},
        {"AllocationGranularity", Format("%ld", page)},
        {"NumberOfProcessors", Format("%ld", processors)},
        {"OemId", "0"},
        {"PageSize", Format("%ld", page)},
        {"ProcessorType", name.machine},
        {"MaximumApplicationAddress", Format("%p", reinterpret_cast<void*>(~std::uintptr_t{0} >> 17))},
        {"MinimumApplicationAddress", Format("%p", reinterpret_cast<void*>(std::uintptr_t(page)))},
        {"ProcessorArchitecture", name.machine},
        {"ProcessorLevel", "0"},
        {"ProcessorRevision", name.release},
    };
    return Block("SYSTEM INFO: ", rows);
}

std::string CNvuDiagnosticReport::Block(const std::string& heading, const Rows& rows)
{
    std::string text = heading + "\r\n";
    for (const auto& [label, value] : rows) {
        // One to four tabs: the values stand in a column as far as they can.
        const int tabs = std::clamp(4 - static_cast<int>(label.size() + 1) / 8, 1, 4);
        text += " " + label + std::string(static_cast<std::size_t>(tabs), '\t') + value + " \r\n";
    }
    return text + "\r\n";
}

std::string CNvuDiagnosticReport::Lines(const std::string& heading, const std::vector<std::string>& lines)
{
    std::string text = heading + "\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text + "\r\n";
}

CNvuDiagnosticReport::EResult CNvuDiagnosticReport::Write(const std::string& path, const std::string& text, int* error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error)
            *error = errno;
        return EResult::NotCreated;
    }
    std::size_t done = 0;
    int failure = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (error)
        *error = failure;
    if (failure == 0)
        return EResult::Written;
    return failure == ENOSPC || failure == EDQUOT ? EResult::DiskFull : EResult::WriteError;
}
