#include "transceivers/NvuFirmware.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool Digits(const std::string& s, std::size_t at, std::size_t n, int& value)
{
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

bool FirmwareFileName(const std::string& name)
{
    constexpr std::string_view prefix = "nvu4_", suffix = ".xsvf";
    return name.size() >= prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::optional<std::vector<char>> ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<std::time_t> CNvuFirmware::TitleDate(const std::string& title)
{
    if (title.size() < 13)
        return std::nullopt;
    const std::size_t end = title.size();
    int day = 0, month = 0, year = 0;
    if (!Digits(title, end - 13, 2, day) || !Digits(title, end - 11, 2, month) || !Digits(title, end - 9, 4, year))
        return std::nullopt;
    if (year < 2000 || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_isdst = -1;
    const std::time_t time = std::mktime(&t);
    if (time == static_cast<std::time_t>(-1))
        return std::nullopt;
    return time;
}

CNvuFirmware::Newest CNvuFirmware::Search(const std::string& folder)
{
    Newest newest;
    std::error_code error;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (FirmwareFileName(name) && it->is_regular_file(error))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const auto time = TitleDate(file.stem().string());
        if (!time || (newest.found && *time <= newest.time))
            continue;
        newest.found = true;
        newest.time = *time;
        newest.path = file.string();
        newest.name = file.filename().string();
    }
    return newest;
}

std::optional<std::string> CNvuFirmware::UnitFirmwareName(const std::string& text)
{
    constexpr std::string_view key = "Firmware Filename:";
    const std::size_t at = text.find(key);
    if (at == std::string::npos)
        return std::nullopt;
    const std::size_t from = at + key.size();
    const std::size_t to = text.find(".xsvf", from);
    if (to == std::string::npos || text.find_first_of("\r\n", from) < to)
        return std::nullopt;
    std::string name = text.substr(from, to - from);
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    name.erase(name.begin(), std::find_if_not(name.begin(), name.end(), blank));
    name.erase(std::find_if_not(name.rbegin(), name.rend(), blank).base(), name.end());
    if (name.empty())
        return std::nullopt;
    return name;
}

bool CNvuFirmware::SameContents(const std::string& a, const std::string& b)
{
    const auto first = ReadWhole(a);
    const auto second = ReadWhole(b);
    return first && second && *first == *second;
}
