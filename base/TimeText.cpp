#include "base/TimeText.h"

#include "platform/FileTime.h"
#include "platform/NumberText.h"

#include <locale.h>

#include <algorithm>
#include <ctime>

std::string FormatTimeLocal(std::uint64_t fileTime, int decimals)
{
    SYSTEMTIME st;
    if (!CFileTime::ToLocalSystemTime(fileTime, st))
        return {};
    std::string text =
        CNumberText::Format("%02u:%02u:%02u", unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond));
    decimals = std::clamp(decimals, 0, 3);
    if (decimals == 0)
        return text;
    std::uint64_t fraction = fileTime % CFileTime::kTicksPerSecond;
    for (int d = decimals; d < 7; ++d)
        fraction /= 10;
    return text + CNumberText::Format(".%0*u", decimals, unsigned(fraction));
}

std::string FormatDateLocal(std::uint64_t fileTime)
{
    SYSTEMTIME st;
    if (!CFileTime::ToLocalSystemTime(fileTime, st))
        return {};
    std::tm tm{};
    tm.tm_year = st.wYear - 1900;
    tm.tm_mon = st.wMonth - 1;
    tm.tm_mday = st.wDay;
    tm.tm_wday = st.wDayOfWeek;
    char text[64] = {};
    // The user's date order, whatever locale the program set for its
    // numbers.
    const locale_t user = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (user) {
        ::strftime_l(text, sizeof text, "%x", &tm, user);
        ::freelocale(user);
    } else {
        std::strftime(text, sizeof text, "%x", &tm);
    }
    return text;
}
