#include "display/HistoryFolder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool Digits(const std::string& s, std::size_t from, std::size_t count)
{
    if (from + count > s.size())
        return false;
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from),
                       s.begin() + static_cast<std::ptrdiff_t>(from + count),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

bool EndsWithBmp(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return tail == ".bmp";
}

}  // namespace

std::string CHistoryFolder::FileName(int number, const SYSTEMTIME& t)
{
    char name[96];
    std::snprintf(name, sizeof name, "H%04d-D%04d%02d%02d-T%02d%02d%02d.bmp", number, t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return name;
}

std::optional<int> CHistoryFolder::NumberOf(const std::string& name)
{
    // H0012-D20260312-T143005.bmp: at least four digits of number (as many
    // as it took), then the date's eight digits and the time's six.
    if (name.empty() || name[0] != 'H')
        return std::nullopt;
    std::size_t end = 1;
    while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end])))
        ++end;
    const std::size_t digits = end - 1;
    // Past nine digits a number no longer fits.
    if (digits < 4 || digits > 9)
        return std::nullopt;
    const std::string tail = name.substr(end);
    if (tail.size() != 22 || tail.compare(0, 2, "-D") != 0 || !Digits(tail, 2, 8) || tail.compare(10, 2, "-T") != 0 ||
        !Digits(tail, 12, 6) || tail.compare(18, 4, ".bmp") != 0)
        return std::nullopt;
    return std::stoi(name.substr(1, digits));
}

bool CHistoryFolder::IsHistoryName(const std::string& name)
{
    return !name.empty() && (name[0] == 'H' || name[0] == 'h') && EndsWithBmp(name);
}

CHistoryFolder::SScan CHistoryFolder::Scan(const std::string& folder, std::vector<SEntry> entries)
{
    std::erase_if(entries, [](const SEntry& e) { return !IsHistoryName(e.name); });
    std::sort(entries.begin(), entries.end(), [](const SEntry& a, const SEntry& b) { return a.name < b.name; });
    SScan scan;
    std::uint64_t newestTime = 0;
    int highest = -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SEntry& e = entries[i];
        scan.paths.push_back(folder + e.name);
        // A later time wins; the first of equal times stays.
        if (scan.newest == 0 || e.writeTime > newestTime) {
            newestTime = e.writeTime;
            scan.newest = static_cast<int>(i) + 1;
        }
        if (const auto number = NumberOf(e.name))
            highest = std::max(highest, *number);
    }
    scan.nextNumber = highest < 0 ? 0 : highest + 1;
    return scan;
}

std::vector<CHistoryFolder::SEntry> CHistoryFolder::List(const std::string& folder)
{
    std::vector<SEntry> entries;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code fileError;
        if (!it->is_regular_file(fileError))
            continue;
        const auto written = it->last_write_time(fileError);
        if (fileError)
            continue;
        const auto since = std::chrono::file_clock::to_sys(written).time_since_epoch();
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(since).count();
        entries.push_back(
            {it->path().filename().string(), CFileTime::FromUnix(ns / 1'000'000'000, ns % 1'000'000'000)});
    }
    return entries;
}
