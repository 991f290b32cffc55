// One diagnostic record: an event with where and on which computer it
// happened, written as one entry to the event log. Built with its origin,
// given its text and written in one step.
//
// The entry text joins the fields with their tags:
//   @Computer:PC42 @Source:QY310 @Component:Ostrival @Version:1.0 @File:Status @Line:269 @Text:Bottom lost
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <string>

class CDiagRecord
{
public:
    static constexpr std::size_t kMaxText = 2047;
    // Longest computer name; a longer one is not a valid name and leaves the
    // field empty.
    static constexpr std::size_t kMaxComputerName = 15;

    CDiagRecord(std::string source, std::string component, std::string version, std::string file, int line);

    // Formats the text (printf rules, at most 2047 characters) and writes
    // the entry. FALSE when nothing was written (no source, log refused).
    BOOL Report(DWORD eventId, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Writes the entry with text as it stands: texts from tables or users may
    // hold '%' and are never taken for a format.
    BOOL ReportText(DWORD eventId, const std::string& text);

    std::string EntryText() const;
    const std::string& Computer() const { return m_computer; }
    const std::string& Text() const { return m_text; }
    DWORD EventId() const { return m_eventId; }
    unsigned Severity() const { return m_severity; }
    std::uint64_t Time() const { return m_time; }
    const std::string& TimeText() const { return m_timeText; }

    // The computer field for a host name: the name up to its first dot, or
    // empty when that is longer than 15 characters.
    static std::string ComputerNameFrom(const std::string& hostName);
    // " yy/mm/dd hh:mm:ss " of a file time, in local time.
    static std::string FormatTimeText(std::uint64_t fileTime);

private:
    BOOL Write();

    std::string m_computer;
    std::string m_source;
    std::string m_component;
    std::string m_version;
    WORD m_flags = 0;
    DWORD m_eventId = 0;
    std::string m_text;
    std::string m_file;
    int m_line = 0;
    std::string m_lineText;
    unsigned m_severity = 0;
    std::uint64_t m_time = 0;
    std::string m_timeText;
};
