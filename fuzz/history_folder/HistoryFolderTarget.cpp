// The names of a history folder, which anything may have put there: one
// name a line, each with the write time its first byte gives. The scan
// lists every "H*.bmp" name, numbers the next page one above the highest
// number of the printing's own names only, and a name it makes for that
// number reads back as it.
#include "display/HistoryFolder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<CHistoryFolder::SEntry> entries;
    std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
    std::size_t history = 0;
    int highest = -1;
    for (std::string line; std::getline(lines, line);) {
        const std::uint64_t time = line.empty() ? 0 : static_cast<unsigned char>(line[0]);
        if (CHistoryFolder::IsHistoryName(line))
            ++history;
        if (const auto number = CHistoryFolder::NumberOf(line)) {
            if (*number < 0 || line[0] != 'H')
                std::abort();
            highest = std::max(highest, *number);
        }
        entries.push_back({line, time});
    }
    const CHistoryFolder::SScan scan = CHistoryFolder::Scan("/history/", entries);
    if (scan.paths.size() != history || scan.newest < 0 || scan.newest > static_cast<int>(history) ||
        (history > 0) != (scan.newest > 0) || scan.nextNumber != highest + 1)
        std::abort();
    SYSTEMTIME t;
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 12;
    if (scan.nextNumber <= CHistoryFolder::kMaxNumber &&
        CHistoryFolder::NumberOf(CHistoryFolder::FileName(scan.nextNumber, t)) != scan.nextNumber)
        std::abort();
    return 0;
}
