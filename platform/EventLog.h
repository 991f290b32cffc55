// The system log of the program's diagnostic entries. Entries go to syslog
// under their source's name; when the environment variable
// ZELVAR_EVENTLOG_FILE names a file, they are appended to that file instead,
// one entry per line:
//   <source> TAB <type> TAB <category> TAB <event id> TAB <strings, blank-separated>
// with line breaks inside the strings turned into blanks.
#pragma once

#include "platform/WinTypes.h"

#include <string>
#include <vector>

constexpr WORD EVENTLOG_SUCCESS = 0x0000;
constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;

struct EventSource;
using HEVENTSOURCE = EventSource*;

// Null for an empty source name.
HEVENTSOURCE RegisterEventSource(const std::string& source);
// FALSE for a null source or when the entry could not be written.
BOOL ReportEvent(HEVENTSOURCE source, WORD type, WORD category, DWORD eventId, const std::vector<std::string>& strings);
BOOL DeregisterEventSource(HEVENTSOURCE source);
