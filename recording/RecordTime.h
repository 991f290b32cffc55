// The time texts of the recorder's text and binary products, from a file
// time (UTC, 100 ns units since 1601).
#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <string>

namespace zv::recording {

class CRecordTime
{
public:
    // The local date as "ddMMyyyy".
    static std::string LocalDate(std::uint64_t fileTime);
    // The local time of day as "HHmmss.cc" (hundredths truncated).
    static std::string LocalTimeOfDay(std::uint64_t fileTime);
    // The UTC time of day as the eight digits "HHMMSScc".
    static std::string UtcHundredths(std::uint64_t fileTime);
    // Broken-down local time; a time the zone cannot convert is taken as UTC.
    static SYSTEMTIME Local(std::uint64_t fileTime);
};

}  // namespace zv::recording
