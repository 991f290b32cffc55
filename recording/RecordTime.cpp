#include "recording/RecordTime.h"

#include "platform/FileTime.h"
#include "platform/NumberText.h"

namespace zv::recording {

SYSTEMTIME CRecordTime::Local(std::uint64_t fileTime)
{
    SYSTEMTIME st{};
    if (!CFileTime::ToLocalSystemTime(fileTime, st))
        CFileTime::ToSystemTime(fileTime, st);
    return st;
}

std::string CRecordTime::LocalDate(std::uint64_t fileTime)
{
    const SYSTEMTIME st = Local(fileTime);
    return CNumberText::Format("%02u%02u%04u", unsigned(st.wDay), unsigned(st.wMonth), unsigned(st.wYear));
}

std::string CRecordTime::LocalTimeOfDay(std::uint64_t fileTime)
{
    const SYSTEMTIME st = Local(fileTime);
    return CNumberText::Format("%02u%02u%02u.%02u", unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond),
                               unsigned(st.wMilliseconds / 10));
}

std::string CRecordTime::UtcHundredths(std::uint64_t fileTime)
{
    SYSTEMTIME st{};
    CFileTime::ToSystemTime(fileTime, st);
    return CNumberText::Format("%02u%02u%02u%02u", unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond),
                               unsigned(st.wMilliseconds / 10));
}

}  // namespace zv::recording
