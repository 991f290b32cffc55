#include "display/PrinterTexts.h"

#include <cmath>
#include <cstdio>

namespace {

bool Meet(const SPrintedText& a, const SPrintedText& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string Trimmed(const std::string& unit)
{
    const std::size_t first = unit.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : unit.substr(first);
}

}  // namespace

void CPrinterTexts::Thin(std::vector<SPrintedText>& texts)
{
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].suppressed)
            continue;
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            if (texts[j].suppressed || !Meet(texts[i], texts[j]))
                continue;
            if (texts[i].priority < texts[j].priority) {
                texts[i].suppressed = true;
                break;
            }
            texts[j].suppressed = true;
        }
    }
}

std::string CPrinterTexts::SounderDetails(const std::string& channel, double watts, double pulseSeconds, double metres)
{
    char pulse[64];
    if (pulseSeconds <= 0.0001)
        std::snprintf(pulse, sizeof pulse, "%4.1f us", pulseSeconds * 1e6);
    else
        std::snprintf(pulse, sizeof pulse, "%4.1f ms", pulseSeconds * 1e3);
    char text[512];
    std::snprintf(text, sizeof text, "%s %d W %s %4.1f m", channel.c_str(), static_cast<int>(std::floor(watts)), pulse,
                  metres);
    return text;
}

std::string CPrinterTexts::Tvg(double from, double to, const std::string& unit, double db, int echogramType)
{
    const char* name = echogramType == 3 ? "20logR" : echogramType == 4 ? "30logR" : "NoTVG";
    char text[256];
    std::snprintf(text, sizeof text, "%.1f <-> %.1f %s %d dB %s", from, to, Trimmed(unit).c_str(), static_cast<int>(db),
                  name);
    return text;
}

std::string CPrinterTexts::RangeKey(double start, double end, const std::string& unit)
{
    char text[256];
    std::snprintf(text, sizeof text, "%.0f <> %.0f %s", start, end, Trimmed(unit).c_str());
    return text;
}

std::string CPrinterTexts::RangeValue(double value, const std::string& unit)
{
    char text[256];
    std::snprintf(text, sizeof text, "%.0f %s", value, Trimmed(unit).c_str());
    return std::string(text).substr(0, 10);
}

double CPrinterTexts::ScaleStep(double start, double end, int lines)
{
    if (lines <= 0 || !(end > start))
        return 0.0;
    const double step = (end - start) / lines;
    if (step < 0.5)
        return 0.25;
    if (step < 1.0)
        return 0.5;
    return std::round(step);
}

std::string CPrinterTexts::ScaleMark(double value, double step, double end)
{
    char text[64];
    if (step == 0.5 || (end > 10.0 && end < 100.0))
        std::snprintf(text, sizeof text, "%6.1f", value);
    else if (step == 0.25 || end < 10.0)
        std::snprintf(text, sizeof text, "%6.2f", value);
    else
        std::snprintf(text, sizeof text, "%d", static_cast<int>(std::lround(value)));
    return text;
}
