#include "base/DiagRecord.h"

#include "platform/EventLog.h"
#include "platform/FileTime.h"

#include <cstdarg>
#include <cstdio>
#include <sys/utsname.h>

namespace {

std::string LocalComputerName()
{
    utsname u{};
    if (::uname(&u) != 0)
        return {};
    return CDiagRecord::ComputerNameFrom(u.nodename);
}

}  // namespace

CDiagRecord::CDiagRecord(std::string source, std::string component, std::string version, std::string file, int line)
    : m_computer(LocalComputerName()),
      m_source(std::move(source)),
      m_component(std::move(component)),
      m_version(std::move(version)),
      m_file(std::move(file)),
      m_line(line),
      m_time(CFileTime::Now()),
      m_timeText(FormatTimeText(m_time))
{}

std::string CDiagRecord::ComputerNameFrom(const std::string& hostName)
{
    std::string name = hostName.substr(0, hostName.find('.'));
    return name.size() > kMaxComputerName ? std::string() : name;
}

std::string CDiagRecord::FormatTimeText(std::uint64_t fileTime)
{
    SYSTEMTIME st;
    if (!CFileTime::ToLocalSystemTime(fileTime, st))
        return " ";
    char buf[64];
    std::snprintf(buf, sizeof buf, " %02u/%02u/%02u %02u:%02u:%02u ", static_cast<unsigned>(st.wYear % 100),
                  static_cast<unsigned>(st.wMonth), static_cast<unsigned>(st.wDay), static_cast<unsigned>(st.wHour),
                  static_cast<unsigned>(st.wMinute), static_cast<unsigned>(st.wSecond));
    return buf;
}

BOOL CDiagRecord::Report(DWORD eventId, const char* format, ...)
{
    char text[kMaxText + 1];
    text[0] = '\0';
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    m_eventId = eventId;
    m_text = text;
    return Write();
}

BOOL CDiagRecord::ReportText(DWORD eventId, const std::string& text)
{
    m_eventId = eventId;
    m_text = text.substr(0, kMaxText);
    return Write();
}

std::string CDiagRecord::EntryText() const
{
    return "@Computer:" + m_computer + " @Source:" + m_source + " @Component:" + m_component +
           " @Version:" + m_version + " @File:" + m_file + " @Line:" + m_lineText + " @Text:" + m_text;
}

BOOL CDiagRecord::Write()
{
    m_severity = m_eventId >> 30;
    m_lineText = std::to_string(m_line);
    HEVENTSOURCE source = RegisterEventSource(m_source);
    if (!source)
        return FALSE;
    BOOL ok = ReportEvent(source, EVENTLOG_ERROR_TYPE, 0, m_eventId, {EntryText()});
    DeregisterEventSource(source);
    return ok;
}
