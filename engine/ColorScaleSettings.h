// The colour scale of one channel: where each echogram kind starts on the
// colour ladder and how many dB one colour step spans.
#pragma once

#include "engine/RawPower.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

class CArchive;

class CColorScaleSettings
{
public:
    static constexpr int kColorCount = 12;

    explicit CColorScaleSettings(std::string name = {});

    // Start level of selector 1-4; any other selector is the default start.
    double GetValueBySelector(int selector) const;
    void SetValueBySelector(int selector, double levelDb);
    // 0 below the start level (or for a value that is not a number), else
    // 1 + whole colour steps above it, at most 12.
    int GetColorIndex(double valueDb, int selector) const { return Level(valueDb, GetValueBySelector(selector)); }
    // The same for a start level already looked up: what a picture uses for
    // each sample of a column.
    int Level(double valueDb, double start) const
    {
        if (std::isnan(valueDb) || valueDb < start)
            return 0;
        // A zero or negative interval (a damaged layout) puts everything
        // above the start into the top colour rather than dividing by it.
        if (!(m_interval > 0.0))
            return kColorCount;
        const std::int64_t steps = rawpower::Trunc((valueDb - start) / m_interval);
        return static_cast<int>(std::min<std::int64_t>(1 + steps, kColorCount));
    }

    double GetInterval() const { return m_interval; }
    void SetInterval(double db) { m_interval = db; }
    bool GetLimit40Log() const { return m_limit40Log != 0; }
    // A change of the 40-log limit raises the change flag so that the next
    // ping rebuilds the TVG tables.
    void SetLimit40Log(bool on);
    // Returns the change flag and clears it.
    bool TakeChangeFlag();
    const std::string& GetName() const { return m_name; }

    // Field order of stored layouts: default start, selector-1 start, the
    // further level, selector-3 start, interval (doubles), 40-log switch
    // (32-bit), selector-4 start, selector-2 start. A load takes the values
    // only when the whole record was read and every level is a number.
    void Serialize(CArchive& ar);

private:
    std::string m_name;
    double m_interval = 3.0;
    double m_defaultStart = -70.0;
    double m_start1 = -70.0;
    double m_start2 = -60.0;
    double m_start3 = -60.0;
    double m_start4 = -60.0;
    double m_further = -50.0;
    std::int32_t m_limit40Log = 0;
    std::int32_t m_changed = 0;
};
