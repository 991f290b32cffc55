#include "platform/EventLog.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <syslog.h>
#include <unistd.h>

struct EventSource
{
    std::string name;
};

namespace {

// openlog keeps the name it is given and is process-wide state.
std::mutex& LogLock()
{
    static std::mutex* m = new std::mutex;
    return *m;
}

std::string OneLine(const std::string& s)
{
    std::string r = s;
    for (auto& c : r)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    return r;
}

bool WriteAll(int fd, const std::string& s)
{
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

const char* TypeName(WORD type)
{
    switch (type) {
    case EVENTLOG_ERROR_TYPE:
        return "error";
    case EVENTLOG_WARNING_TYPE:
        return "warning";
    case EVENTLOG_INFORMATION_TYPE:
        return "information";
    default:
        return "success";
    }
}

int Priority(WORD type)
{
    switch (type) {
    case EVENTLOG_ERROR_TYPE:
        return LOG_ERR;
    case EVENTLOG_WARNING_TYPE:
        return LOG_WARNING;
    default:
        return LOG_INFO;
    }
}

}  // namespace

HEVENTSOURCE RegisterEventSource(const std::string& source)
{
    if (source.empty())
        return nullptr;
    return new EventSource{source};
}

BOOL DeregisterEventSource(HEVENTSOURCE source)
{
    if (!source)
        return FALSE;
    delete source;
    return TRUE;
}

BOOL ReportEvent(HEVENTSOURCE source, WORD type, WORD category, DWORD eventId, const std::vector<std::string>& strings)
{
    if (!source)
        return FALSE;
    std::string text;
    for (const auto& s : strings) {
        if (!text.empty())
            text += ' ';
        text += s;
    }
    std::lock_guard lk(LogLock());
    if (const char* path = std::getenv("ZELVAR_EVENTLOG_FILE"); path && *path) {
        std::string line = OneLine(source->name) + '\t' + TypeName(type) + '\t' + std::to_string(category) + '\t' +
                           std::to_string(eventId) + '\t' + OneLine(text) + '\n';
        int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0)
            return FALSE;
        bool ok = WriteAll(fd, line);
        ::close(fd);
        return ok ? TRUE : FALSE;
    }
    ::openlog(source->name.c_str(), LOG_PID, LOG_USER);
    ::syslog(Priority(type), "%s", text.c_str());  // the text is data, never a format
    ::closelog();
    return TRUE;
}
